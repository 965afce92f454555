#include "ui/StartupFlow.h"

#include "support/FakePreferences.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

namespace snipbrook::test {
namespace {

class StartupFlowTest : public ::testing::Test {
protected:
    FakePreferences preferences;
    int hides = 0;
    int welcomes = 0;
    int accessibilityMessages = 0;
    int autoStarts = 0;
    int updateChecks = 0;
    bool chooseAutoStart = false;
    std::unique_ptr<StartupFlow> flow;

    void run(bool canPaste)
    {
        StartupFlow::Hooks hooks;
        hooks.hideMainWindow = [this] { ++hides; };
        hooks.showWelcome = [this](std::function<void(bool)> closed) {
            ++welcomes;
            closed(chooseAutoStart);
        };
        hooks.enableAutoStart = [this] { ++autoStarts; };
        hooks.showAccessibilityMessage = [this] { ++accessibilityMessages; };
        hooks.checkForUpdates = [this] { ++updateChecks; };
        flow = std::make_unique<StartupFlow>(preferences, canPaste, std::move(hooks), StartupTimings{10, 20});
        flow->run();
    }
    bool welcomeDone() { return waitFor([&] { return preferences.boolean(StartupFlow::hasShownWelcomeKey); }); }
};

TEST_F(StartupFlowTest, FirstLaunchWithoutXTestTellsAboutPastingAtOnceAndWelcomesLater)
{
    run(false);
    EXPECT_EQ(accessibilityMessages, 1);
    EXPECT_EQ(welcomes, 0); // it waits for the window to settle
    EXPECT_TRUE(preferences.boolean(StartupFlow::hasPromptedForAccessibilityKey));
    EXPECT_EQ(updateChecks, 1);
    ASSERT_TRUE(welcomeDone());
    EXPECT_EQ(welcomes, 1);
    EXPECT_EQ(hides, 0);
    EXPECT_EQ(autoStarts, 0); // "Get Started" changes nothing
}

TEST_F(StartupFlowTest, WithXTestThePastingMessageNeverShowsAndStaysUnasked)
{
    run(true);
    ASSERT_TRUE(welcomeDone());
    EXPECT_EQ(accessibilityMessages, 0);
    EXPECT_FALSE(preferences.boolean(StartupFlow::hasPromptedForAccessibilityKey));
}

TEST_F(StartupFlowTest, ASecondLaunchShowsNeitherMessage)
{
    preferences.setBoolean(StartupFlow::hasShownWelcomeKey, true);
    preferences.setBoolean(StartupFlow::hasPromptedForAccessibilityKey, true);
    run(false);
    QObject later;
    bool waited = false;
    QTimer::singleShot(60, &later, [&] { waited = true; });
    ASSERT_TRUE(waitFor([&] { return waited; }));
    EXPECT_EQ(welcomes, 0);
    EXPECT_EQ(accessibilityMessages, 0);
    EXPECT_EQ(updateChecks, 1);
}

TEST_F(StartupFlowTest, ABackgroundStartHidesTheWindowAfterItShowedAndOnlyOnce)
{
    preferences.setBoolean(StartupFlow::startInBackgroundKey, true);
    preferences.setBoolean(StartupFlow::hasShownWelcomeKey, true);
    run(true);
    EXPECT_EQ(hides, 0);
    ASSERT_TRUE(waitFor([&] { return hides == 1; }));
    flow->run();
    QObject later;
    bool waited = false;
    QTimer::singleShot(40, &later, [&] { waited = true; });
    ASSERT_TRUE(waitFor([&] { return waited; }));
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(updateChecks, 1);
}

TEST_F(StartupFlowTest, EnableAutoStartInTheWelcomeTurnsLaunchAtLoginOn)
{
    chooseAutoStart = true;
    run(true);
    ASSERT_TRUE(welcomeDone());
    EXPECT_EQ(autoStarts, 1);
}

} // namespace
} // namespace snipbrook::test
