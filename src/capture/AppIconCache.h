#pragma once

#include "platform/Workspace.h"

#include <QImage>
#include <QString>

#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace snipbrook {

// Application icons by bundle identifier for the views. Each installed application is looked
// up once; misses are not cached, so an application installed later is found. Safe to call
// from several threads.
class AppIconCache {
public:
    static constexpr std::size_t countLimit = 100;

    explicit AppIconCache(const Workspace &workspace) : m_workspace(workspace) {}

    std::optional<QImage> icon(const QString &bundleIdentifier);

    std::size_t size() const;

private:
    const Workspace &m_workspace;
    mutable std::mutex m_mutex;
    // Most recently used first; the least recently used entry is evicted beyond the limit.
    std::list<std::pair<QString, QImage>> m_entries;
    std::unordered_map<QString, std::list<std::pair<QString, QImage>>::iterator> m_index;
};

} // namespace snipbrook
