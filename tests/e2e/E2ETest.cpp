// Snipbrook as a user meets it: the real program on a private X server, real X clients copying
// and pasting, and the command line.
#include "SnipbrookSession.h"
#include "TestSelectionOwner.h"
#include "X11TestEnvironment.h"
#include "support/TestImages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace snipbrook::test;

namespace {

int occurrences(const QJsonArray &items, const QString &content)
{
    return int(std::count_if(items.begin(), items.end(),
                             [&](const QJsonValue &v) { return v.toObject().value("content").toString() == content; }));
}

// A small file system of its own over a folder, unmounted (lazily, so never blocked by a
// process still inside) when it goes.
class SmallFileSystem {
public:
    SmallFileSystem(const QString &folder, const QByteArray &size) : m_folder(QFile::encodeName(folder))
    {
        const QByteArray options = "size=" + size + ",mode=0700";
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0)
            m_mounted = true;
        else
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_mounted; }
    const QString &error() const { return m_error; }
    qint64 freeBytes() const
    {
        struct statvfs info {};
        return ::statvfs(m_folder.constData(), &info) == 0 ? qint64(info.f_bavail) * qint64(info.f_frsize) : -1;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_error;
};

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

    const QByteArray png = pngBytes({12, 7});
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
    const QByteArray png = pngBytes({9, 4});
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
    })) << "items listed before the kill are missing" << session.instanceOutput().toStdString();
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

// A window class holding an escape sequence (here one that retitles the terminal) used to be
// written raw into `list`.
TEST_F(EndToEnd, AHostileWindowClassNeverReachesTheTerminal)
{
    ASSERT_TRUE(startWindowManager());
    const QString hostile = QStringLiteral("Evil\x1b]2;pwned\x07" "Class");
    const auto window = openTestWindow("evil", hostile);
    ASSERT_TRUE(window);
    ASSERT_TRUE(runProcess("xdotool", {"windowactivate", "--sync", QString::number(window->window)}));
    copyAndWait("UTF8_STRING", "copied under a hostile window", "copied under a hostile window");
    EXPECT_EQ(newest(*session.list()).value("metadata").toObject().value("sourceApp").toString(), hostile)
        << "JSON keeps the name, escaped";

    for (const QStringList &args : {QStringList{"list"}, QStringList{"list", "--json"},
                                    QStringList{"search", "--keyword", "hostile"}}) {
        const CliResult result = session.cli(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_FALSE(result.out.contains('\x1b') || result.out.contains('\x07')) << args.join(' ').toStdString();
    }
    const QByteArray listed = session.cli({"list"}).out;
    EXPECT_TRUE(listed.contains("(Evil ]2;pwned Class)")) << listed.toStdString();
    EXPECT_FALSE(session.instanceOutput().contains(QChar(0x1b))) << "nor the instance's log";
    window->process->kill();
    window->process->waitForFinished();
}

// With the data folder full, `add` used to answer "Added" while the store refused the item, and
// the items were gone after a restart.
TEST_F(EndToEnd, AFullDiskFailsTheAddAndLosesNothingReportedAsDone)
{
    ASSERT_TRUE(session.quit());
    ASSERT_TRUE(QDir().mkpath(session.dataDir()));
    SmallFileSystem disk(session.dataDir(), "2m");
    if (!disk.isMounted())
        GTEST_SKIP() << "cannot mount a small file system on the data folder: " << disk.error().toStdString();
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    ASSERT_TRUE(session.waitForList([](const QJsonArray &items) { return items.isEmpty(); }));

    // Leave the store a little room, then add until it runs out.
    QFile filler(session.dataDir() + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const qint64 fillerSize = disk.freeBytes() - 96 * 1024;
    const QByteArray block(64 * 1024, 'f');
    for (qint64 written = 0; written < fillerSize;)
        written += filler.write(block.constData(), std::min<qint64>(block.size(), fillerSize - written));
    ASSERT_TRUE(filler.flush());
    filler.close();

    QStringList reportedDone;
    std::optional<CliResult> failed;
    const QByteArray padding(8 * 1024, 'p');
    for (int i = 0; i < 200 && !failed; ++i) {
        const CliResult result = session.cli({"add"}, QByteArray("full disk item ") + QByteArray::number(i) + ' ' + padding);
        if (result.exitCode == 0)
            reportedDone.append(QString::fromUtf8(result.out).section(' ', 1, 1));
        else
            failed = result;
    }
    ASSERT_TRUE(failed) << "the store never ran out of room";
    EXPECT_EQ(failed->exitCode, 1) << failed->err.toStdString();
    EXPECT_TRUE(failed->err.startsWith("snipbrook: ")) << failed->err.toStdString();
    EXPECT_EQ(failed->err.count('\n'), 1) << "one line: " << failed->err.toStdString();
    EXPECT_TRUE(failed->out.isEmpty()) << failed->out.toStdString();

    ASSERT_TRUE(QFile::remove(session.dataDir() + "/filler"));
    ASSERT_TRUE(session.quit()) << session.instanceOutput().toStdString();
    ASSERT_TRUE(session.start()) << session.instanceOutput().toStdString();
    QStringList listed;
    ASSERT_TRUE(session.waitForList([&](const QJsonArray &items) {
        listed.clear();
        for (const QJsonValue &v : items)
            listed.append(v.toObject().value("id").toString());
        return std::all_of(reportedDone.begin(), reportedDone.end(), [&](const QString &id) { return listed.contains(id); });
    })) << "added " << reportedDone.size() << ", listed after the restart: " << listed.join(' ').toStdString();
    ASSERT_TRUE(session.quit()); // before the small file system goes
}

// Copying a text again used to hide the older copy only in memory: deleting the visible one let
// the text come back from the store after a restart, and keyword search found it meanwhile.
TEST_F(EndToEnd, ADeletedReCopiedTextStaysDeletedAfterARestart)
{
    const QString twice = "copied twice and then deleted";
    copyAndWait("UTF8_STRING", twice.toUtf8(), twice);
    copyAndWait("UTF8_STRING", "something in between", "something in between");
    copyAndWait("UTF8_STRING", twice.toUtf8(), twice);
    owners.clear();
    const QJsonArray before = *session.list();
    EXPECT_EQ(occurrences(before, twice), 1);
    ASSERT_EQ(session.cli({"delete", newest(before).value("id").toString()}).exitCode, 0);

    const auto traces = [&] {
        const CliResult found = session.cli({"search", "--keyword", "copied twice", "--json"});
        const auto items = session.list();
        return found.exitCode != 0 || !items || !QJsonDocument::fromJson(found.out).array().isEmpty() ||
               occurrences(*items, twice) != 0;
    };
    EXPECT_FALSE(traces()) << "found before the restart";
    ASSERT_TRUE(session.quit());
    ASSERT_TRUE(session.start());
    EXPECT_FALSE(traces()) << "back after the restart";
    EXPECT_TRUE(hasContent(*session.list(), "something in between"));
}

// A crash after a deletion, before the index's next save (2 s later), used to leave the text in
// the index file for good: nothing checked the index against the store.
TEST_F(EndToEnd, ACrashRightAfterADeletionLeavesNoTraceInTheIndexFile)
{
    const QByteArray text = "ephemeral quokka phrase that must not outlive its deletion";
    const CliResult added = session.cli({"add", QString::fromUtf8(text)});
    ASSERT_EQ(added.exitCode, 0);
    const QString id = QString::fromUtf8(added.out).section(' ', 1, 1);
    const auto indexHoldsText = [&] {
        QFile index(session.documentsDir() + "/clipboard_vector_index.json");
        return index.open(QIODevice::ReadOnly) && index.readAll().contains(text);
    };
    ASSERT_TRUE(QTest::qWaitFor(indexHoldsText, 20000)) << "never indexed\n" << session.instanceOutput().toStdString();

    ASSERT_EQ(session.cli({"delete", id}).exitCode, 0);
    session.killHard();
    ASSERT_TRUE(indexHoldsText()) << "the index was saved before the kill: nothing left to clean up";

    ASSERT_TRUE(session.start());
    ASSERT_TRUE(session.waitForList([&](const QJsonArray &items) { return !hasContent(items, QString::fromUtf8(text)); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !indexHoldsText(); }, 10000))
        << "the deleted text is still in the index file\n" << session.instanceOutput().toStdString();
}
