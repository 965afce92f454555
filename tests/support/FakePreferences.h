#pragma once

#include "platform/Preferences.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <mutex>

namespace snipbrook::test {

// Preferences held in memory. Values keep their type as the real store does; every write and
// removal is logged by key so tests can tell which saves happened. While `failWrites` is set,
// writes change memory only and sync() reports them unsaved until a sync after it is cleared.
class FakePreferences : public Preferences {
public:
    std::optional<QByteArray> bytes(const QString &key) const override;
    void setBytes(const QString &key, const QByteArray &value) override { write(key, value); }
    bool boolean(const QString &key) const override { return typed(key, QMetaType::Bool).toBool(); }
    void setBoolean(const QString &key, bool value) override { write(key, value); }
    std::optional<QDateTime> date(const QString &key) const override;
    void setDate(const QString &key, const QDateTime &value) override { write(key, value); }
    bool contains(const QString &key) const override { return typed(key, QMetaType::UnknownType).isValid(); }
    void remove(const QString &key) override { write(key, QVariant()); }
    bool sync() override;

    std::atomic<bool> failWrites = false;

    // Keys written or removed, in order.
    QStringList writes() const;
    int writeCount(const QString &key) const { return writes().count(key); }
    void clearWrites();

private:
    // The stored value when it has the type (any type for UnknownType), else an invalid one.
    QVariant typed(const QString &key, QMetaType::Type type) const;
    void write(const QString &key, const QVariant &value);

    mutable std::mutex m_mutex;
    QHash<QString, QVariant> m_values;
    QStringList m_writes;
    bool m_unsaved = false;
};

} // namespace snipbrook::test
