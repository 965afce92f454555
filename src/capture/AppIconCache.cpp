#include "AppIconCache.h"

namespace snipbrook {

std::optional<QImage> AppIconCache::icon(const QString &bundleIdentifier)
{
    // The lookup runs under the lock so that two threads asking for the same application at
    // once do not both ask the desktop.
    std::lock_guard lock(m_mutex);
    if (const auto it = m_index.find(bundleIdentifier); it != m_index.end()) {
        m_entries.splice(m_entries.begin(), m_entries, it->second);
        return it->second->second;
    }
    const std::optional<QString> location = m_workspace.applicationLocation(bundleIdentifier);
    if (!location)
        return std::nullopt;
    QImage image = m_workspace.iconForFile(*location);
    m_entries.emplace_front(bundleIdentifier, image);
    m_index[bundleIdentifier] = m_entries.begin();
    if (m_entries.size() > countLimit) {
        m_index.erase(m_entries.back().first);
        m_entries.pop_back();
    }
    return image;
}

std::size_t AppIconCache::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

} // namespace snipbrook
