#pragma once

#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "platform/AppPaths.h"
#include "platform/linux/SettingsPreferences.h"
#include "platform/linux/X11Pasteboard.h"
#include "platform/linux/X11Workspace.h"
#include "storage/CoreDataManager.h"
#include "storage/HybridDataManager.h"
#include "storage/VectorStoreManager.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <memory>

namespace snipbrook {

// Everything one running Snipbrook owns, built in start-up order: the configuration first, the
// desktop services, the item store, the vector index and the storage facade, then the history
// that captures and searches. The encoder loads in the background, so nothing here waits for it.
class ApplicationState : public QObject {
    Q_OBJECT
public:
    enum class ModelState { loading, loaded, unavailable };

    explicit ApplicationState(AppPaths paths, QObject *parent = nullptr);
    ~ApplicationState() override;

    const AppPaths &paths() const { return m_paths; }
    ConfigurationManager &configuration() { return m_configuration; }
    ClipboardManager &clipboard() { return m_clipboard; }
    HybridDataManager &storage() { return m_storage; }
    VectorStoreManager &vectorStore() { return m_vectorStore; }
    CoreDataManager &itemStore() { return m_itemStore; }
    ModelState modelState() const { return m_modelState->load(); }
    // Whether the clipboard of an X display is watched (false when there is no display).
    bool hasDisplay() const { return m_hasDisplay; }
    QString settingsFile() const;

    // Writes what is still only in memory (the vector index's latest changes); run at quit.
    void flush();

private:
    void loadModelInBackground();

    const AppPaths m_paths;
    const bool m_hasDisplay;
    SettingsPreferences m_preferences;
    ConfigurationManager m_configuration;
    X11Pasteboard m_pasteboard;
    X11Workspace m_workspace;
    CoreDataManager m_itemStore;
    VectorStoreManager m_vectorStore;
    HybridDataManager m_storage;
    ClipboardManager m_clipboard;
    std::shared_ptr<std::atomic<ModelState>> m_modelState = std::make_shared<std::atomic<ModelState>>(ModelState::loading);
};

QString modelStateText(ApplicationState::ModelState state);

} // namespace snipbrook
