// The main window as a user meets it on a desktop with a window manager: `snipbrook show` maps
// it, typing into the search bar narrows the grid, a click on a card puts its item on the
// clipboard, `snipbrook hide` unmaps it again.
#include "SnipbrookSession.h"
#include "X11TestEnvironment.h"
#include "support/WaitFor.h"

#include <QJsonArray>
#include <QPoint>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace snipbrook::test;

namespace {

// Where things sit in the window at its default size (1000 x 700), from the top-left of its
// client area: the search field runs from about x 306 to the right edge at y 64-84; the first
// card spans x 288-614 and y 118-299, 20 lower while the status row shows a search. Aiming at the
// card's middle leaves room for the rows above the grid to differ by a font size.
const QPoint searchFieldPoint(400, 74);
const QPoint firstCardPoint(420, 220);

std::optional<ProcessResult> xdotool(const QStringList &arguments)
{
    return runProcess(QStringLiteral("xdotool"), arguments);
}

// The main window while it is mapped: searched by its exact title among the viewable windows.
QString shownMainWindow()
{
    const auto found = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                QStringLiteral("^Snipbrook$")});
    if (!found || found->exitCode != 0)
        return {};
    return QString::fromLatin1(found->output.split('\n').value(0).trimmed());
}

bool clickAt(const QString &window, const QPoint &point)
{
    const auto result = xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                 QString::number(point.x()), QString::number(point.y()), QStringLiteral("click"),
                                 QStringLiteral("1")});
    return result && result->exitCode == 0;
}

class MainWindowE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        for (const char *tool : {"xdotool", "xclip"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup.sh)";
        ASSERT_TRUE(startWindowManager());
        ASSERT_TRUE(session.isValid());
    }

    void TearDown() override
    {
        if (session.isRunning()) {
            EXPECT_TRUE(session.quit()) << session.instanceOutput().toStdString();
        }
    }

    SnipbrookSession session;
};

} // namespace

// The match is neither the newest item nor the last: the first card holds it only once the
// search has narrowed the grid, so a click that lands before that copies something else and the
// wait goes on.
TEST_F(MainWindowE2E, ShowSearchClickCopiesTheMatchAndHideUnmaps)
{
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    const QByteArray match = "kumquat marmalade recipe";
    const QByteArray lines = "meeting notes for Thursday\n" + match + "\nssh deploy@build-server\n";
    ASSERT_EQ(session.cli({QStringLiteral("add"), QStringLiteral("--lines")}, lines).exitCode, 0);
    ASSERT_TRUE(session.waitForList(
        [](const QJsonArray &items) { return newestContent(items) == QStringLiteral("ssh deploy@build-server"); }));
    ASSERT_TRUE(shownMainWindow().isEmpty()) << "the window shows before it was asked for";

    EXPECT_EQ(session.cli({QStringLiteral("show")}).exitCode, 0);
    QString window;
    ASSERT_TRUE(waitFor([&] { return !(window = shownMainWindow()).isEmpty(); }, 10000))
        << session.instanceOutput().toStdString();

    ASSERT_TRUE(clickAt(window, searchFieldPoint));
    ASSERT_TRUE(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                         QStringLiteral("kumquat")}));

    QByteArray copied;
    const bool copiedTheMatch = waitFor(
        [&] {
            if (!clickAt(window, firstCardPoint))
                return false;
            // The copy lands on the clipboard a moment after the click.
            waitFor([&] { return (copied = xclipRead(QStringLiteral("UTF8_STRING")).value_or("")) == match; }, 500);
            return copied == match;
        },
        10000);
    EXPECT_TRUE(copiedTheMatch) << "clipboard: " << copied.toStdString() << "\n"
                                << session.instanceOutput().toStdString();

    EXPECT_EQ(session.cli({QStringLiteral("hide")}).exitCode, 0);
    EXPECT_TRUE(waitFor([] { return shownMainWindow().isEmpty(); }, 10000)) << session.instanceOutput().toStdString();
}
