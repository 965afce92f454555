#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace snipbrook {

// The per-user preferences store: a few typed values under string keys. A value reads back with
// the type it was written with; asking for another type finds nothing. A write changes what
// reads see at once; whether it also reached storage, sync() tells.
class Preferences {
public:
    virtual ~Preferences() = default;

    virtual std::optional<QByteArray> bytes(const QString &key) const = 0;
    virtual void setBytes(const QString &key, const QByteArray &value) = 0;

    // An absent key (or a value of another type) reads as false.
    virtual bool boolean(const QString &key) const = 0;
    virtual void setBoolean(const QString &key, bool value) = 0;

    virtual std::optional<QDateTime> date(const QString &key) const = 0;
    virtual void setDate(const QString &key, const QDateTime &value) = 0;

    virtual bool contains(const QString &key) const = 0;
    virtual void remove(const QString &key) = 0;

    // Writes what is still pending; true when everything written so far is in storage. A store
    // that failed keeps the values in memory and tries again at the next write or sync.
    virtual bool sync() = 0;
};

} // namespace snipbrook
