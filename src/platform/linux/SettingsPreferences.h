#pragma once

#include "platform/Preferences.h"

#include <QSettings>

#include <memory>
#include <mutex>

namespace snipbrook {

// Preferences in an INI file in the given folder (the program passes $XDG_CONFIG_HOME/Snipbrook).
// The folder is private to the user (0700) and the file readable by the user only (0600), since
// preferences may name what the user copies. Bytes and dates keep their type across restarts.
// Every write reaches the file at once, so a crash loses nothing; a write the file refused stays
// in memory, is logged, and goes out with the next write or sync(). Safe to call from any thread.
class SettingsPreferences : public Preferences {
public:
    static constexpr QLatin1StringView fileName{"Snipbrook.conf"};

    explicit SettingsPreferences(const QString &folder);

    std::optional<QByteArray> bytes(const QString &key) const override;
    void setBytes(const QString &key, const QByteArray &value) override;
    bool boolean(const QString &key) const override;
    void setBoolean(const QString &key, bool value) override;
    std::optional<QDateTime> date(const QString &key) const override;
    void setDate(const QString &key, const QDateTime &value) override;
    bool contains(const QString &key) const override;
    void remove(const QString &key) override;
    bool sync() override;

    QString filePath() const { return m_path; }

private:
    QVariant value(const QString &key) const;
    void write(const QString &key, const QVariant &value);
    bool syncLocked();

    mutable std::mutex m_mutex;
    const QString m_path;
    std::unique_ptr<QSettings> m_settings;
    bool m_failed = false;
};

} // namespace snipbrook
