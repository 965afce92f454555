#include "ApplicationState.h"

#include "BuildInfo.h"
#include "model/Diagnostics.h"
#include "search/EmbeddingManager.h"
#include "search/ModelLocator.h"

#include <QDir>
#include <QGuiApplication>
#include <QThreadPool>

namespace snipbrook {
namespace {

// The documents folder is the user's own: created when missing, its mode left alone.
const AppPaths &withFolders(const AppPaths &paths)
{
    ensurePrivateDirectory(paths.configDir);
    QDir().mkpath(paths.documentsDir);
    return paths;
}

} // namespace

ApplicationState::ApplicationState(AppPaths paths, QObject *parent)
    : QObject(parent),
      m_paths(std::move(paths)),
      m_hasDisplay(QGuiApplication::platformName() == QLatin1String("xcb")),
      m_preferences(withFolders(m_paths).configDir),
      m_configuration(m_preferences, QString::fromLatin1(build::installedDataDir)),
      m_itemStore(m_paths.dataDir),
      m_vectorStore(EmbeddingManager::shared(), m_paths.documentsDir),
      m_storage(m_itemStore, m_vectorStore, m_preferences, m_paths.documentsDir),
      m_clipboard(m_configuration, m_pasteboard, m_workspace, m_storage, m_vectorStore, SystemClock::instance())
{
    if (!m_hasDisplay)
        diag(QStringLiteral("⚠️ No X11 display, clipboard capture is off: the command line still works"));
    loadModelInBackground();
}

ApplicationState::~ApplicationState() = default;

QString ApplicationState::settingsFile() const { return m_preferences.filePath(); }

void ApplicationState::flush() { m_vectorStore.flush(); }

void ApplicationState::loadModelInBackground()
{
    // The encoder is loaded once per process; asking for it early keeps the first search fast.
    // The state is shared with the task, which may outlive this object at a quick quit.
    QThreadPool::globalInstance()->start([state = m_modelState] {
        state->store(sharedSentenceEncoder() ? ModelState::loaded : ModelState::unavailable);
    });
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
