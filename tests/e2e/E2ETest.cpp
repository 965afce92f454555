// Snipbrook as a user meets it: the real program on a private X server, real X clients copying
// and pasting, and the command line.
#include "SnipbrookSession.h"
#include "TestSelectionOwner.h"
#include "X11TestEnvironment.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>


using namespace snipbrook::test;

namespace {

QJsonObject newest(const QJsonArray &items) { return items.isEmpty() ? QJsonObject() : items.first().toObject(); }

bool hasContent(const QJsonArray &items, const QString &content)
{
    return std::any_of(items.begin(), items.end(),
                       [&](const QJsonValue &v) { return v.toObject().value("content").toString() == content; });
}

QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_X_SERVER();
        ASSERT_TRUE(session.isValid());
        ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    }

    void TearDown() override
    {
        owners.clear();
        if (session.isRunning()) {
            EXPECT_TRUE(session.quit()) << session.instanceOutput().toStdString();
        }
    }

    // Another application copies: xclip stays the owner until the test ends.
    void copy(const QString &type, const QByteArray &bytes)
    {
        auto owner = startXclipOwner(type, bytes);
        ASSERT_TRUE(owner);
        owners.push_back(std::move(owner));
    }

    void copyAndWait(const QString &type, const QByteArray &bytes, const QString &expectedContent)
    {
        copy(type, bytes);
        ASSERT_TRUE(session.waitForList([&](const QJsonArray &items) { return newestContent(items) == expectedContent; }))
            << "not captured: " << expectedContent.toStdString() << "\n" << session.instanceOutput().toStdString();
    }

    SnipbrookSession session;
    std::vector<std::unique_ptr<QProcess>> owners;
};

} // namespace

TEST_F(EndToEnd, CapturesEachKindWithItsType)
{
    copyAndWait("UTF8_STRING", "hello from the end-to-end test", "hello from the end-to-end test");
    EXPECT_EQ(newest(*session.list()).value("type").toString(), "text");

    const QByteArray png = pngBytes(12, 7);
    copyAndWait("image/png", png, QString::fromLatin1(png.toBase64()));
    QJsonObject item = newest(*session.list());
    EXPECT_EQ(item.value("type").toString(), "image");
    EXPECT_EQ(item.value("metadata").toObject().value("size").toInt(), png.size());

    copyAndWait("text/uri-list", "file:///tmp/report%20final.pdf\r\n", "report final.pdf");
    item = newest(*session.list());
    EXPECT_EQ(item.value("type").toString(), "file");
    EXPECT_EQ(item.value("metadata").toObject().value("url").toString(), "file:///tmp/report%20final.pdf");

    copyAndWait("text/uri-list", "file:///tmp/a.txt\r\nfile:///tmp/b.txt\r\nfile:///tmp/c.txt\r\n", "3 files");
    EXPECT_EQ(newest(*session.list()).value("type").toString(), "multipleFiles");

    copyAndWait("UTF8_STRING", "https://example.org/docs?page=2", "https://example.org/docs?page=2");
    EXPECT_EQ(newest(*session.list()).value("type").toString(), "link");
}

TEST_F(EndToEnd, RecordsTheSourceApplicationAndSkipsIgnoredOnes)
{
    ASSERT_TRUE(startWindowManager());
    QFile entry(session.applicationsDir() + "/org.example.Notepad.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Test Notepad\nExec=true\nStartupWMClass=NotepadTest\n");
    entry.close();
    const auto window = openTestWindow("notepad", "NotepadTest");
    ASSERT_TRUE(window);
    ASSERT_TRUE(runProcess("xdotool", {"windowactivate", "--sync", QString::number(window->window)}));

    copyAndWait("UTF8_STRING", "typed in the notepad", "typed in the notepad");
    const QJsonObject metadata = newest(*session.list()).value("metadata").toObject();
    EXPECT_EQ(metadata.value("sourceApp").toString(), "Test Notepad");
    EXPECT_EQ(metadata.value("sourceAppBundle").toString(), "org.example.Notepad");
    EXPECT_EQ(metadata.value("sourceProcessID").toInteger(), window->pid);

    EXPECT_EQ(session.cli({"ignore", "add", "org.example.Notepad"}).exitCode, 0);
    EXPECT_TRUE(session.cli({"ignore"}).out.contains("org.example.Notepad"));
    copy("UTF8_STRING", "copied while ignored");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return session.instanceOutput().contains("🚫 Ignoring clipboard change from blacklisted app: org.example.Notepad");
    }, 10000));
    EXPECT_FALSE(hasContent(*session.list(), "copied while ignored"));

    EXPECT_EQ(session.cli({"ignore", "remove", "org.example.Notepad"}).exitCode, 0);
    copyAndWait("UTF8_STRING", "no longer ignored", "no longer ignored");
    window->process->kill();
    window->process->waitForFinished();
}

TEST_F(EndToEnd, NeverRecordsContentMarkedSecret)
{
    TestSelectionOwner owner(testDisplay());
    ASSERT_TRUE(owner.isValid());
    owner.own({{"UTF8_STRING", "hunter2-password"}, {"x-kde-passwordManagerHint", "secret"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.requests().contains("TARGETS"); }, 10000));
    copyAndWait("UTF8_STRING", "after the secret", "after the secret");
    EXPECT_FALSE(hasContent(*session.list(), "hunter2-password"));
    EXPECT_FALSE(owner.requests().contains("UTF8_STRING"));
}

TEST_F(EndToEnd, CopyPutsEachKindBackWithoutRecordingItAgain)
{
    const QByteArray png = pngBytes(9, 4);
    copyAndWait("UTF8_STRING", "plain words to paste", "plain words to paste");
    copyAndWait("image/png", png, QString::fromLatin1(png.toBase64()));
    copyAndWait("text/uri-list", "file:///tmp/notes.txt\r\n", "notes.txt");
    copyAndWait("UTF8_STRING", "#ff8000", "#ff8000");
    owners.clear();

    const QJsonArray before = *session.list();
    ASSERT_EQ(before.size(), 4);
    const auto idOf = [&](int position) { return before.at(position).toObject().value("id").toString(); };

    ASSERT_EQ(session.cli({"copy", idOf(3)}).exitCode, 0);
    EXPECT_EQ(xclipRead("UTF8_STRING"), QByteArray("plain words to paste"));

    ASSERT_EQ(session.cli({"copy", "2"}).exitCode, 0); // by position
    const auto pasted = xclipRead("image/png");
    ASSERT_TRUE(pasted);
    EXPECT_EQ(QImage::fromData(*pasted).size(), QSize(9, 4));

    ASSERT_EQ(session.cli({"copy", idOf(1)}).exitCode, 0);
    EXPECT_TRUE(xclipRead("text/uri-list").value_or("").contains("file:///tmp/notes.txt"));

    ASSERT_EQ(session.cli({"copy", idOf(0).toLower()}).exitCode, 0);
    EXPECT_EQ(xclipRead("UTF8_STRING"), QByteArray("#ff8000"));
    EXPECT_TRUE(xclipRead("TARGETS").value_or("").contains("application/x-color"));

    // A new copy shows the program's own writes were not recorded: the four keep their ids.
    copyAndWait("UTF8_STRING", "sentinel", "sentinel");
    const QJsonArray after = *session.list();
    ASSERT_EQ(after.size(), 5);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(after.at(i + 1).toObject().value("id").toString(), idOf(i));

    EXPECT_EQ(session.cli({"copy", "99"}).exitCode, 1);
    EXPECT_EQ(session.cli({"copy", "00000000-0000-0000-0000-000000000000"}).exitCode, 1);
}

TEST_F(EndToEnd, HistoryAndSearchByMeaningSurviveARestart)
{
    for (const char *text : {"pizza dough recipe with tomatoes and mozzarella", "git rebase tutorial for beginners",
                             "quarterly tax return deadline reminder"})
        ASSERT_EQ(session.cli({"add", text}).exitCode, 0);
    EXPECT_EQ(session.cli({"add"}, "from standard input\n").exitCode, 0);
    ASSERT_TRUE(session.waitForList([](const QJsonArray &items) { return items.size() == 4; }));
    ASSERT_TRUE(session.quit());

    ASSERT_TRUE(session.start());
    ASSERT_TRUE(session.waitForList([](const QJsonArray &items) { return items.size() == 4; }));
    EXPECT_EQ(newestContent(*session.list()), "from standard input");

    QJsonArray results;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const CliResult r = session.cli({"search", "italian cooking", "--json"});
        results = QJsonDocument::fromJson(r.out).array();
        return r.exitCode == 0 && !results.isEmpty();
    }, 20000)) << session.instanceOutput().toStdString();
    const QJsonObject best = results.first().toObject();
    EXPECT_EQ(best.value("item").toObject().value("content").toString(), "pizza dough recipe with tomatoes and mozzarella");
    EXPECT_EQ(best.value("searchType").toString(), "semantic");
    EXPECT_GT(best.value("similarity").toDouble(), 0.1);

    const CliResult keyword = session.cli({"search", "--keyword", "REBASE", "--json"});
    ASSERT_EQ(keyword.exitCode, 0);
    const QJsonArray hits = QJsonDocument::fromJson(keyword.out).array();
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(hits.first().toObject().value("searchType").toString(), "keyword");
}

TEST_F(EndToEnd, ASecondStartHandsOverToTheRunningInstance)
{
    const CliResult second = session.cli({});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains("already running"));
    EXPECT_TRUE(session.isRunning());
    EXPECT_EQ(session.cli({"status"}).exitCode, 0);
}

TEST_F(EndToEnd, KillingTheProcessLosesNothingAlreadyListed)
{
    QStringList listed;
    for (int i = 0; i < 30; ++i) {
        const QString text = QStringLiteral("burst item %1").arg(i);
        copy("UTF8_STRING", text.toUtf8());
        if (i % 5 == 4) {
            const auto items = session.list();
            ASSERT_TRUE(items);
            for (const QJsonValue &v : *items)
                listed.append(v.toObject().value("id").toString());
        }
    }
    session.killHard();
    owners.clear();
    ASSERT_FALSE(listed.isEmpty());

    ASSERT_TRUE(session.start());
    ASSERT_TRUE(session.waitForList([&](const QJsonArray &items) {
        QStringList ids;
        for (const QJsonValue &v : items)
            ids.append(v.toObject().value("id").toString());
        return std::all_of(listed.begin(), listed.end(), [&](const QString &id) { return ids.contains(id); });
    })) << "items listed before the kill are missing";
}

TEST_F(EndToEnd, AHungOwnerDoesNotStallTheCommandLine)
{
    copyAndWait("UTF8_STRING", "before the hang", "before the hang");
    qint64 baseline = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i)
        baseline = std::min(baseline, session.cli({"status"}).elapsedMs);

    // An application that takes the clipboard and then never answers, like a frozen one.
    TestSelectionOwner hung(testDisplay());
    ASSERT_TRUE(hung.isValid());
    hung.setHung(true);
    hung.own({{"UTF8_STRING", "never delivered"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return hung.requests().contains("TARGETS"); }, 10000));

    // The read is outstanding now; the command line answers as fast as before.
    const CliResult status = session.cli({"status"});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_LT(status.elapsedMs, baseline + 100) << "baseline " << baseline << " ms";

    copyAndWait("UTF8_STRING", "after the hang", "after the hang");
    EXPECT_FALSE(hasContent(*session.list(), "never delivered"));
}

TEST_F(EndToEnd, TheLastCopyStaysPasteableAfterItsOwnerQuits)
{
    copyAndWait("UTF8_STRING", "keep me pasteable", "keep me pasteable");
    owners.back()->terminate();
    owners.back()->waitForFinished();
    ASSERT_TRUE(QTest::qWaitFor([&] { return xclipRead("UTF8_STRING") == QByteArray("keep me pasteable"); }, 10000));
    // Offered again as its own write: not a new item.
    EXPECT_EQ(session.list()->size(), 1);
}
