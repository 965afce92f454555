#include "AppStateFixture.h"

#include "search/SimilaritySearchKitManager.h"
#include "support/FullDisk.h"

#include <QDir>
#include <QFile>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

using ApplicationStateTest = AppStateFixture;

// Starting and quitting while the history loads and its mirror is being built in the background
// once crashed about one start in fifteen; each round quits at a different point of that work.
TEST_F(ApplicationStateTest, FiftyStartsWithAThousandStoredItemsLoadAndQuitCleanly)
{
    seed(1000);
    for (int round = 0; round < 50; ++round) {
        create();
        ASSERT_TRUE(waitFor([&] { return state->clipboard().isLoaded(); }, 20000)) << "round " << round;
        ASSERT_EQ(state->clipboard().clipboardItems().size(), 1000);
        if (round % 2 == 0) { // every other round also waits for the mirror
            ASSERT_TRUE(waitFor([&] { return state->clipboard().similaritySearchManager().indexedItemsCount() == 1000; }, 20000));
        }
        destroy();
    }
}

// Quitting while the first load still reads the store once left that read holding a store
// that was gone.
TEST_F(ApplicationStateTest, QuittingDuringTheFirstLoadLeavesNoReadBehind)
{
    seed(200);
    for (int round = 0; round < 20; ++round) {
        create();
        waitFor([&] { return false; }, round % 4); // quit at different points of the start
        destroy();
    }
}

TEST_F(ApplicationStateTest, StatusSaysLoadingUntilTheHistoryIsThere)
{
    seed(3);
    create();
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("Items: loading")));
    ASSERT_TRUE(waitFor([&] { return state->clipboard().isLoaded(); }));
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("Items: 3 (favourites: 0, limit: 1000)")));
}

TEST_F(ApplicationStateTest, StatusSaysTheStorageIsFailingWhileWritesFail)
{
    seed(3);
    const FullDisk full;
    create();
    ASSERT_TRUE(waitFor([&] { return state->storage().isInitialized(); }));
    ClipboardItem large{QUuid::createUuid(), ClipboardItemType::text, QStringLiteral("no room ").repeated(30000),
                        QStringLiteral("no room"), clock.now(), {}, false, {}};
    QFuture<bool> saved = state->storage().saveItem(large);
    ASSERT_TRUE(waitFor([&] { return saved.isFinished(); }));
    EXPECT_FALSE(saved.result());
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("\nStorage: failing (database or disk is full)\n")))
        << state->statusText().toStdString();
}

TEST_F(ApplicationStateTest, StatusNamesADamagedStoreKeptAside)
{
    ASSERT_TRUE(QDir().mkpath(paths().dataDir));
    QFile damaged(paths().dataDir + QStringLiteral("/Snipbrook.sqlite"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(4096, 'x')) == 4096);
    damaged.close();
    create();
    ASSERT_TRUE(waitFor([&] { return state->storage().isInitialized(); }));
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("\nStorage: ready (a damaged store was kept as ") +
                                             paths().dataDir + QStringLiteral("/Snipbrook.sqlite.damaged-")))
        << state->statusText().toStdString();
}

} // namespace
