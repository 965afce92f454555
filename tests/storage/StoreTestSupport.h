#pragma once

#include "model/ClipboardItem.h"
#include "storage/CoreDataManager.h"
#include "support/WaitFor.h"

#include <QTemporaryDir>

#include <memory>

namespace snipbrook::test {

inline ClipboardItem makeItem(const QString &content, qint64 msAfterEpoch,
                              ClipboardItemType type = ClipboardItemType::text)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.type = type;
    item.content = content;
    item.preview = content.left(100);
    item.timestamp = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + msAfterEpoch, Qt::UTC);
    return item;
}

// A store in a fresh temporary folder; fatal errors are recorded instead of ending the test.
struct TemporaryStore {
    TemporaryStore() { reopen(); }
    // Closes the connections and opens the same file again, as a restart would.
    void reopen()
    {
        store.reset();
        store = std::make_unique<CoreDataManager>(dataDir(), [this](const QString &m) { fatalMessages.append(m); });
    }
    QString dataDir() const { return folder.path() + QStringLiteral("/Snipbrook"); }
    CoreDataManager *operator->() const { return store.get(); }

    QTemporaryDir folder;
    QStringList fatalMessages;
    std::unique_ptr<CoreDataManager> store;
};

} // namespace snipbrook::test
