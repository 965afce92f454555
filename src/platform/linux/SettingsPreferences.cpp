#include "SettingsPreferences.h"

#include "model/Diagnostics.h"
#include "platform/AppPaths.h"

#include <QFile>

namespace snipbrook {

namespace {

QString preparedFile(const QString &folder)
{
    const QString path = folder + QLatin1Char('/') + SettingsPreferences::fileName;
    if (!ensurePrivateDirectory(folder))
        diag(QStringLiteral("❌ Failed to create preferences folder: ") + folder);
    // Create the file private before the first write: QSettings replaces it through a temporary
    // file that takes over the existing file's permissions.
    QFile file(path);
    constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (file.open(QIODevice::ReadWrite, ownerOnly))
        file.close();
    // A file left by an older build may be readable by others.
    if (file.exists())
        file.setPermissions(ownerOnly);
    return path;
}

} // namespace

SettingsPreferences::SettingsPreferences(const QString &folder)
    : m_path(preparedFile(folder)), m_settings(std::make_unique<QSettings>(m_path, QSettings::IniFormat))
{
}

QVariant SettingsPreferences::value(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->value(key);
}

void SettingsPreferences::write(const QString &key, const QVariant &value)
{
    std::lock_guard lock(m_mutex);
    if (value.isValid())
        m_settings->setValue(key, value);
    else
        m_settings->remove(key);
    if (!syncLocked())
        diag(QStringLiteral("❌ Failed to write preferences: ") + m_path);
}

bool SettingsPreferences::sync()
{
    std::lock_guard lock(m_mutex);
    return syncLocked();
}

bool SettingsPreferences::syncLocked()
{
    // QSettings keeps reporting its first error for good. A fresh object on the same file, made
    // while the old one still holds it, shares the values waiting to be written and reports this
    // attempt on its own.
    if (m_failed)
        m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    m_settings->sync();
    const bool written = m_settings->status() == QSettings::NoError;
    if (written && m_failed)
        diag(QStringLiteral("✅ Preferences written again: ") + m_path);
    m_failed = !written;
    return written;
}

std::optional<QByteArray> SettingsPreferences::bytes(const QString &key) const
{
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

void SettingsPreferences::setBytes(const QString &key, const QByteArray &value) { write(key, value); }

bool SettingsPreferences::boolean(const QString &key) const
{
    // The INI form keeps booleans as the words true and false.
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    return v.typeId() == QMetaType::QString && v.toString() == QLatin1String("true");
}

void SettingsPreferences::setBoolean(const QString &key, bool value) { write(key, value); }

std::optional<QDateTime> SettingsPreferences::date(const QString &key) const
{
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QDateTime || !v.toDateTime().isValid())
        return std::nullopt;
    return v.toDateTime();
}

void SettingsPreferences::setDate(const QString &key, const QDateTime &value) { write(key, value); }

bool SettingsPreferences::contains(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->contains(key);
}

void SettingsPreferences::remove(const QString &key) { write(key, QVariant()); }

} // namespace snipbrook
