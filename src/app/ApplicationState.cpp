#include "ApplicationState.h"
#include "core/BackgroundPool.h"

#include "BuildInfo.h"
#include "core/Async.h"
#include "model/Diagnostics.h"
#include "model/TerminalText.h"

#include <QCoreApplication>
#include <QDir>
#include <QThreadPool>
#include <QTimer>

namespace snipbrook {
namespace {

QFuture<void> startedFuture(QPromise<void> &promise)
{
    promise.start();
    return promise.future();
}

// The documents folder is the user's own: created when missing, its mode left alone.
const AppPaths &withFolders(const AppPaths &paths)
{
    ensurePrivateDirectory(paths.configDir);
    QDir().mkpath(paths.documentsDir);
    return paths;
}

} // namespace

ApplicationState::ApplicationState(AppPaths paths, DesktopServices services, Options options, QObject *parent)
    : QObject(parent),
      m_paths(withFolders(paths)),
      m_services(std::move(services)),
      m_configuration(m_services.preferences, options.resourceDirectory),
      m_itemStore(m_paths.dataDir, options.onStoreFailure),
      m_vectorStore(m_services.embedder, m_paths.documentsDir, m_services.clock, nullptr, startedFuture(m_historyListed)),
      m_storage(m_itemStore, m_vectorStore, m_services.preferences, m_paths.documentsDir, options.storageStartDelay, nullptr,
                m_historyListed.future()),
      m_clipboard(m_configuration, m_services.pasteboard, m_services.workspace, m_storage, m_vectorStore,
                  m_services.clock, options.timings)
{
    // Listing the history comes first; the model and the index take the processor after it, a
    // moment later still, so that the commands that waited for the history (and the first ones
    // after it) are answered before a hundred milliseconds of loading take both cores.
    whenFinished(m_clipboard.loaded(), this, [this, delay = options.backgroundWorkDelay](const QFuture<void> &) {
        QTimer::singleShot(delay, this, [this] {
            m_historyListed.finish();
            loadModelInBackground();
        });
    });
}

ApplicationState::~ApplicationState()
{
    // A quit before the history was listed must not leave the index load waiting for it.
    m_historyListed.finish();
    // Reads of the history still running in the background are answered by the item store on
    // this thread: serve them until they are done, so none is left holding a store that is gone.
    while (!backgroundPool().waitForDone(5))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ApplicationState::flush() { m_vectorStore.flush(); }

void ApplicationState::loadModelInBackground()
{
    if (!m_services.loadModel) {
        m_modelState->store(ModelState::unavailable);
        return;
    }
    // Asking for the encoder early keeps the first search fast. The state is shared with the
    // task, which may outlive this object at a quick quit.
    backgroundPool().start([state = m_modelState, load = m_services.loadModel] {
        state->store(load() ? ModelState::loaded : ModelState::unavailable);
    });
}

QString ApplicationState::statusText() const
{
    const QString storageState = m_storage.isInitialized() ? QStringLiteral("ready")
                                 : m_storage.isMigrating() ? QStringLiteral("importing earlier history")
                                                           : QStringLiteral("starting");
    const QString items = m_clipboard.isLoaded()
                              ? QStringLiteral("Items: %1 (favourites: %2, limit: %3)")
                                    .arg(m_clipboard.clipboardItems().size())
                                    .arg(m_clipboard.favoriteItems().size())
                                    .arg(m_clipboard.maxItems())
                              : QStringLiteral("Items: loading (limit: %1)").arg(m_clipboard.maxItems());
    const QString clipboard = !m_services.watchesClipboard       ? QStringLiteral("off (no display)")
                              : !m_services.clipboardStatus.isEmpty() ? m_services.clipboardStatus
                                                                      : QStringLiteral("watching X11 display ") +
                                                                            qEnvironmentVariable("DISPLAY");
    QStringList lines{
        QStringLiteral("Snipbrook %1").arg(QString::fromLatin1(build::version)),
        items,
        QStringLiteral("Indexed for search by meaning: %1").arg(m_vectorStore.indexedItemsCount()),
        QStringLiteral("Storage: ") + m_itemStore.healthText(storageState),
        QStringLiteral("Model: ") + modelStateText(modelState()),
        QStringLiteral("Clipboard: ") + clipboard,
        QStringLiteral("Item store: ") + m_itemStore.storePath(),
        QStringLiteral("Vector index: ") + m_vectorStore.indexFilePath(),
    };
    if (!m_services.settingsFile.isEmpty())
        lines.append(QStringLiteral("Settings: ") + m_services.settingsFile);
    // Paths and the display name come from the environment: one clean line each.
    for (QString &line : lines)
        line = terminalField(line);
    return lines.join(QLatin1Char('\n'));
}

QString modelStateText(ApplicationState::ModelState state)
{
    switch (state) {
    case ApplicationState::ModelState::loading:
        return QStringLiteral("loading");
    case ApplicationState::ModelState::loaded:
        return QStringLiteral("loaded");
    case ApplicationState::ModelState::unavailable:
        return QStringLiteral("unavailable (search by meaning uses the simple fallback)");
    }
    return {};
}

} // namespace snipbrook
