#pragma once

#include "CommandLine.h"
#include "InstanceChannel.h"

#include <QFuture>
#include <QObject>

#include <functional>

namespace snipbrook {

class ClipboardManager;
class ConfigurationManager;
struct ClipboardItem;

// Carries out the command line's requests on the running instance's history and configuration.
// Runs on the main thread; commands that finish later (search, copy, add) reply when done.
class CommandHandler : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString()> statusText;
        std::function<void()> quit;
        // Opens the quick-access panel; false when there is none (no display).
        std::function<bool()> showQuickAccess;
        // Show or hide the main window; false when there is none (no display).
        std::function<bool()> showMainWindow;
        std::function<bool()> hideMainWindow;
        // Opens the settings window; false when there is none (no display).
        std::function<bool()> showSettings;
    };

    CommandHandler(ClipboardManager &clipboard, ConfigurationManager &configuration, Hooks hooks,
                   QObject *parent = nullptr);

    void handle(const CliRequest &request, const InstanceServer::Reply &reply);

    // The item a command names: a position in the history (0 = newest) or an id in any case.
    std::optional<ClipboardItem> resolveTarget(const QString &target, bool allowPosition) const;

private:
    void handleOnceLoaded(const CliRequest &request, const InstanceServer::Reply &reply);
    // Answers `done` once the future says the change is stored, a failure otherwise.
    void answerWhenStored(const QFuture<bool> &stored, const InstanceServer::Reply &reply, const QString &done);
    void list(const QJsonObject &args, const InstanceServer::Reply &reply);
    void search(const QJsonObject &args, const InstanceServer::Reply &reply);
    void copy(const QJsonObject &args, const InstanceServer::Reply &reply);
    void add(const QJsonObject &args, const InstanceServer::Reply &reply);
    void addLines(const QString &text, const InstanceServer::Reply &reply);
    void importFile(const QJsonObject &args, const InstanceServer::Reply &reply);
    void remove(const QJsonObject &args, const InstanceServer::Reply &reply);
    void favorite(const QJsonObject &args, const InstanceServer::Reply &reply);
    void dedupe(const InstanceServer::Reply &reply);
    void ignore(const QJsonObject &args, const InstanceServer::Reply &reply);

    ClipboardManager &m_clipboard;
    ConfigurationManager &m_configuration;
    const Hooks m_hooks;
};

} // namespace snipbrook
