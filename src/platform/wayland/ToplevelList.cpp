#include "ToplevelList.h"

#include <algorithm>

namespace snipbrook {

quint64 ToplevelList::add()
{
    const std::lock_guard lock(m_mutex);
    Entry entry;
    entry.current.id = entry.pending.id = m_nextId++;
    m_entries.push_back(entry);
    return entry.current.id;
}

ToplevelList::Entry *ToplevelList::entryLocked(quint64 id)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [id](const Entry &e) { return e.current.id == id; });
    return it == m_entries.end() ? nullptr : &*it;
}

void ToplevelList::setTitle(quint64 id, const QString &title)
{
    const std::lock_guard lock(m_mutex);
    if (Entry *entry = entryLocked(id))
        entry->pending.title = title;
}

void ToplevelList::setAppId(quint64 id, const QString &appId)
{
    const std::lock_guard lock(m_mutex);
    if (Entry *entry = entryLocked(id))
        entry->pending.appId = appId;
}

void ToplevelList::setActivated(quint64 id, bool activated)
{
    const std::lock_guard lock(m_mutex);
    if (Entry *entry = entryLocked(id))
        entry->pending.activated = activated;
}

void ToplevelList::done(quint64 id)
{
    const std::lock_guard lock(m_mutex);
    Entry *entry = entryLocked(id);
    if (!entry)
        return;
    if (entry->pending.activated && !entry->current.activated)
        entry->activatedAt = ++m_activations;
    entry->current = entry->pending;
    entry->listed = true;
}

void ToplevelList::remove(quint64 id)
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [id](const Entry &e) { return e.current.id == id; });
}

void ToplevelList::clear()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
}

QList<Toplevel> ToplevelList::toplevels() const
{
    const std::lock_guard lock(m_mutex);
    QList<Toplevel> listed;
    for (const Entry &entry : m_entries)
        if (entry.listed)
            listed.append(entry.current);
    return listed;
}

std::optional<Toplevel> ToplevelList::activated() const
{
    const std::lock_guard lock(m_mutex);
    const Entry *newest = nullptr;
    for (const Entry &entry : m_entries)
        if (entry.listed && entry.current.activated && (!newest || entry.activatedAt > newest->activatedAt))
            newest = &entry;
    return newest ? std::optional(newest->current) : std::nullopt;
}

std::optional<Toplevel> ToplevelList::find(quint64 id) const
{
    const std::lock_guard lock(m_mutex);
    for (const Entry &entry : m_entries)
        if (entry.listed && entry.current.id == id)
            return entry.current;
    return std::nullopt;
}

} // namespace snipbrook
