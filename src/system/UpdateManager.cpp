#include "UpdateManager.h"

#include "BuildInfo.h"
#include "model/Diagnostics.h"
#include "platform/Preferences.h"
#include "system/ReleaseFeed.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace snipbrook {

namespace {

const QString lastCheckKey = QStringLiteral("lastUpdateCheck");
// A feed is a few kilobytes; anything past this is not a feed and is not kept in memory.
constexpr qint64 maxFeedBytes = 1024 * 1024;

} // namespace

struct UpdateManager::Check {
    QByteArray body;
    // Why the transfer was stopped by us; empty when it ran its course.
    QString refusal;
    bool finished = false;
};

UpdateManager::UpdateManager(Preferences &preferences, Options options, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_options(std::move(options)),
      m_network(new QNetworkAccessManager(this)), m_lastCheckDate(preferences.date(lastCheckKey))
{
    if (m_options.currentVersion.isEmpty())
        m_options.currentVersion = QString::fromLatin1(build::version);
    if (!m_options.openUrl)
        m_options.openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    // Each redirect is checked before it is followed (see checkForUpdates).
    m_network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
}

UpdateManager::~UpdateManager()
{
    // Replies still running are torn down with the network manager; their outcome is not ours to
    // apply any more.
    for (QNetworkReply *reply : m_network->findChildren<QNetworkReply *>())
        reply->disconnect(this);
}

QUrl UpdateManager::configuredReleasesUrl()
{
    const QString fromEnvironment = qEnvironmentVariable("SNIPBROOK_RELEASES_URL").trimmed();
    if (!fromEnvironment.isEmpty())
        return QUrl(fromEnvironment, QUrl::StrictMode);
    return QUrl(QString::fromUtf8(build::releasesUrl), QUrl::StrictMode);
}

bool UpdateManager::isConfigured() const
{
    return !m_options.releasesUrl.isEmpty();
}

bool UpdateManager::hasCheckedToday() const
{
    return m_lastCheckDate && m_lastCheckDate->toLocalTime().date() == m_options.now().toLocalTime().date();
}

QString UpdateManager::currentVersionText() const
{
    return QStringLiteral("%1 (%2)").arg(m_options.currentVersion).arg(m_options.currentBuild);
}

void UpdateManager::recordCheckTime()
{
    m_lastCheckDate = m_options.now();
    m_preferences.setDate(lastCheckKey, *m_lastCheckDate);
}

void UpdateManager::checkForUpdates(bool force)
{
    if (!isConfigured()) {
        diag(QStringLiteral("ℹ️ Update checks are not set up for this build"));
        return;
    }
    if (!force && hasCheckedToday())
        return;
    const QUrl url = m_options.releasesUrl;
    if (!isAcceptableUpdateUrl(url)) {
        // Counts as the day's check, as any other failure does.
        diag(QStringLiteral("❌ Update check failed: the feed address is not HTTPS: ") + url.toDisplayString());
        recordCheckTime();
        emit stateChanged();
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(m_options.transferTimeoutMs);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply *reply = m_network->get(request);
    ++m_checksInFlight;
    emit stateChanged();

    auto check = std::make_shared<Check>();
    const auto stop = [check, reply](const QString &why) {
        // The deadline may still fire between the end of the transfer and the reply's deletion.
        if (check->finished)
            return;
        if (check->refusal.isEmpty())
            check->refusal = why;
        reply->abort();
    };
    // The transfer time-out only notices silence; a server that trickles a byte now and then is
    // stopped by this deadline for the whole check.
    QTimer::singleShot(m_options.transferTimeoutMs, reply, [this, stop] {
        stop(QStringLiteral("no answer within %1 s").arg(m_options.transferTimeoutMs / 1000.0));
    });
    connect(reply, &QNetworkReply::redirected, this, [reply, stop](const QUrl &target) {
        if (isAcceptableUpdateUrl(target))
            emit reply->redirectAllowed();
        else
            stop(QStringLiteral("redirected to an address that is not HTTPS: ") + target.toDisplayString());
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, stop] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxFeedBytes)
            stop(QStringLiteral("the feed is larger than 1 MiB"));
    });
    connect(reply, &QNetworkReply::readyRead, this, [check, reply, stop] {
        if (!check->refusal.isEmpty())
            return;
        check->body += reply->read(maxFeedBytes + 1 - check->body.size());
        if (check->body.size() > maxFeedBytes) {
            check->body.clear();
            stop(QStringLiteral("the feed is larger than 1 MiB"));
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, check, reply] {
        if (check->finished)
            return;
        check->finished = true;
        reply->deleteLater();
        finishCheck(*check, reply);
    });
}

void UpdateManager::finishCheck(Check &check, QNetworkReply *reply)
{
    --m_checksInFlight;
    recordCheckTime();
    const auto done = [this](const QString &line) {
        diag(line);
        emit stateChanged();
    };

    if (!check.refusal.isEmpty())
        return done(QStringLiteral("❌ Update check failed: ") + check.refusal);
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        return done(QStringLiteral("❌ Update check failed: no answer within %1 s").arg(m_options.transferTimeoutMs / 1000.0));
    if (reply->error() != QNetworkReply::NoError)
        return done(QStringLiteral("❌ Update check failed: ") + reply->errorString());
    check.body += reply->readAll();
    if (check.body.size() > maxFeedBytes)
        return done(QStringLiteral("❌ Update check failed: the feed is larger than 1 MiB"));

    QString error;
    const std::optional<QList<ReleaseInfo>> releases = decodeReleasesFile(check.body, &error);
    if (!releases)
        return done(QStringLiteral("❌ Update check failed: the feed is not valid: ") + error);
    if (releases->isEmpty())
        return done(QStringLiteral("ℹ️ Update check: the feed lists no releases"));

    const ReleaseInfo &newest = newestRelease(*releases);
    if (isNewerVersion(newest.version, newest.buildNumber, m_options.currentVersion, m_options.currentBuild)) {
        m_latestRelease = newest;
        m_updateAvailable = true;
        return done(QStringLiteral("ℹ️ Update available: %1 (%2)").arg(newest.version).arg(newest.buildNumber));
    }
    m_updateAvailable = false;
    m_latestRelease.reset();
    done(QStringLiteral("✅ Snipbrook is up to date: ") + currentVersionText());
}

void UpdateManager::openDownloadPage()
{
    if (!m_latestRelease)
        return;
    const QUrl url(m_latestRelease->downloadURL, QUrl::StrictMode);
    if (!isAcceptableUpdateUrl(url)) {
        diag(QStringLiteral("❌ Refused to open the download address, it is not HTTPS: ") + m_latestRelease->downloadURL);
        return;
    }
    if (!m_options.openUrl(url))
        diag(QStringLiteral("❌ Failed to open the download page: ") + url.toDisplayString());
}

} // namespace snipbrook
