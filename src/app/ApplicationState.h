#pragma once

#include "capture/ClipboardManager.h"
#include "config/ConfigurationManager.h"
#include "core/Embedder.h"
#include "platform/AppPaths.h"
#include "platform/Clock.h"
#include "platform/Pasteboard.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "storage/CoreDataManager.h"
#include "storage/HybridDataManager.h"
#include "storage/VectorStoreManager.h"

#include <QObject>
#include <QPromise>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace snipbrook {

// The desktop services one running Snipbrook works through. The instance passes the session's;
// tests and windows under test pass fakes. Each must outlive the application state.
struct DesktopServices {
    Pasteboard &pasteboard;
    Workspace &workspace;
    Preferences &preferences;
    const Clock &clock;
    const Embedder &embedder;
    // Whether the clipboard is really watched (false without a display).
    bool watchesClipboard = true;
    // Where the preferences live, for status (empty when they live nowhere a user can look).
    QString settingsFile;
    // How the encoder becomes ready: run on a pool thread, true when the real model loaded.
    std::function<bool()> loadModel;
    // What status says after "Clipboard: " while watching; empty: the X11 display's name.
    QString clipboardStatus = {};
};

// Everything one running Snipbrook owns, built in start-up order: the configuration first, the
// item store, the vector index and the storage facade, then the history that captures and
// searches. The encoder loads in the background, so nothing here waits for it.
class ApplicationState : public QObject {
    Q_OBJECT
public:
    enum class ModelState { loading, loaded, unavailable };

    struct Options {
        CoreDataManager::FatalErrorHandler onStoreFailure = CoreDataManager::exitWithMessage;
        std::chrono::milliseconds storageStartDelay = HybridDataManager::defaultStartDelay;
        // How long after the history is listed the index, the model and the comparison of the
        // index with the store start (see the constructor).
        std::chrono::milliseconds backgroundWorkDelay{200};
        ClipboardTimings timings;
        QString resourceDirectory; // where a read-only configuration document may be installed
    };

    ApplicationState(AppPaths paths, DesktopServices services, Options options, QObject *parent = nullptr);
    ~ApplicationState() override;

    const AppPaths &paths() const { return m_paths; }
    ConfigurationManager &configuration() { return m_configuration; }
    ClipboardManager &clipboard() { return m_clipboard; }
    HybridDataManager &storage() { return m_storage; }
    VectorStoreManager &vectorStore() { return m_vectorStore; }
    CoreDataManager &itemStore() { return m_itemStore; }
    ModelState modelState() const { return m_modelState->load(); }
    bool watchesClipboard() const { return m_services.watchesClipboard; }

    // What `snipbrook status` prints.
    QString statusText() const;

    // Writes what is still only in memory (the vector index's latest changes); run at quit.
    void flush();

private:
    void loadModelInBackground();

    const AppPaths m_paths;
    const DesktopServices m_services;
    ConfigurationManager m_configuration;
    CoreDataManager m_itemStore;
    // Finished once the history's first load is done: the vector index and the model load after it.
    QPromise<void> m_historyListed;
    VectorStoreManager m_vectorStore;
    HybridDataManager m_storage;
    ClipboardManager m_clipboard;
    std::shared_ptr<std::atomic<ModelState>> m_modelState = std::make_shared<std::atomic<ModelState>>(ModelState::loading);
};

QString modelStateText(ApplicationState::ModelState state);

} // namespace snipbrook
