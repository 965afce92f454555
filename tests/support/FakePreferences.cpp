#include "FakePreferences.h"

namespace snipbrook::test {

QVariant FakePreferences::typed(const QString &key, QMetaType::Type type) const
{
    std::lock_guard lock(m_mutex);
    const QVariant value = m_values.value(key);
    return type == QMetaType::UnknownType || value.typeId() == type ? value : QVariant();
}

void FakePreferences::write(const QString &key, const QVariant &value)
{
    std::lock_guard lock(m_mutex);
    if (value.isValid())
        m_values.insert(key, value);
    else
        m_values.remove(key);
    m_writes.append(key);
    // Like the real store, each write tries to save everything still pending.
    m_unsaved = failWrites;
}

bool FakePreferences::sync()
{
    std::lock_guard lock(m_mutex);
    m_unsaved = m_unsaved && failWrites;
    return !m_unsaved;
}

std::optional<QByteArray> FakePreferences::bytes(const QString &key) const
{
    const QVariant value = typed(key, QMetaType::QByteArray);
    return value.isValid() ? std::optional(value.toByteArray()) : std::nullopt;
}

std::optional<QDateTime> FakePreferences::date(const QString &key) const
{
    const QVariant value = typed(key, QMetaType::QDateTime);
    return value.isValid() ? std::optional(value.toDateTime()) : std::nullopt;
}

QStringList FakePreferences::writes() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void FakePreferences::clearWrites()
{
    std::lock_guard lock(m_mutex);
    m_writes.clear();
}

} // namespace snipbrook::test
