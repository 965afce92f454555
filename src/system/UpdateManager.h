#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace snipbrook {

class Preferences;

// One entry of the release feed.
struct ReleaseInfo {
    QString version;
    qint64 buildNumber = 0;
    QString downloadURL;
    QString releaseNotes;
    bool isRequired = false;
    std::optional<QString> publishedDate;
    std::optional<QString> minimumOSVersion;

    bool operator==(const ReleaseInfo &) const = default;
};

// Version A (with its build) is newer than version B: dotted numbers compared position by
// position, pieces that are not numbers dropped, missing positions 0; equal versions compare builds.
bool isNewerVersion(const QString &versionA, qint64 buildA, const QString &versionB, qint64 buildB);

// Finds out whether a newer Snipbrook has been published, from a small JSON feed. Checks at most
// once a day unless forced; a failed check counts as the day's check. Without a feed address
// (a build that sets none) it never goes to the network. Main thread only.
class UpdateManager : public QObject {
    Q_OBJECT
public:
    struct Options {
        // The feed; empty when this build has none.
        QUrl releasesUrl;
        // The running version; empty means this build's (BuildInfo.h).
        QString currentVersion;
        qint64 currentBuild = 1;
        // Hands a web address to the desktop's browser; true when it was handed over. Unset means
        // QDesktopServices::openUrl.
        std::function<bool(const QUrl &)> openUrl;
        // The clock (tests move it).
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
        // Added: a check that has not finished in this time fails (tests shorten it).
        int transferTimeoutMs = 10000;
    };

    // `preferences` holds "lastUpdateCheck" and must outlive the manager.
    UpdateManager(Preferences &preferences, Options options, QObject *parent = nullptr);
    ~UpdateManager() override;

    // The feed address of this build, overridden by SNIPBROOK_RELEASES_URL; empty when neither is set.
    static QUrl configuredReleasesUrl();

    // A feed address is set: checks are possible.
    bool isConfigured() const;
    bool updateAvailable() const { return m_updateAvailable; }
    const std::optional<ReleaseInfo> &latestRelease() const { return m_latestRelease; }
    bool isChecking() const { return m_checksInFlight > 0; }
    std::optional<QDateTime> lastCheckDate() const { return m_lastCheckDate; }
    bool hasCheckedToday() const;
    // "0.1.0 (1)", as the settings window shows it.
    QString currentVersionText() const;

    // Starts a check; without `force` nothing happens when there was a check today.
    void checkForUpdates(bool force);
    // Opens the latest release's download page when its address is acceptable.
    void openDownloadPage();

signals:
    // Any of the observable values above changed.
    void stateChanged();

private:
    // Added: one request's bookkeeping and its outcome.
    struct Check;
    void finishCheck(Check &check, QNetworkReply *reply);
    void recordCheckTime();

    Preferences &m_preferences;
    Options m_options;
    QNetworkAccessManager *m_network = nullptr;
    bool m_updateAvailable = false;
    std::optional<ReleaseInfo> m_latestRelease;
    int m_checksInFlight = 0;
    std::optional<QDateTime> m_lastCheckDate;
};

} // namespace snipbrook
