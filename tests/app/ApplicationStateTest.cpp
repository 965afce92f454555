#include "AppStateFixture.h"

#include "search/SimilaritySearchKitManager.h"

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

TEST_F(ApplicationStateTest, StatusSaysLoadingUntilTheHistoryIsThere)
{
    seed(3);
    create();
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("Items: loading")));
    ASSERT_TRUE(waitFor([&] { return state->clipboard().isLoaded(); }));
    EXPECT_TRUE(state->statusText().contains(QStringLiteral("Items: 3 (favourites: 0, limit: 1000)")));
}

} // namespace
