// The command line against a running history, as a user types it.
#include "AppStateFixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace snipbrook;
using namespace snipbrook::test;

namespace {

// A control character other than a line break: what a terminal could act on.
bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c != u'\n' && c.category() == QChar::Other_Control; });
}

class CommandHandlerTest : public AppStateFixture {
protected:
    void start()
    {
        create();
        ASSERT_TRUE(waitFor([&] { return state->clipboard().isLoaded(); }));
    }
    // The id column of `list`, newest first.
    QStringList listedIds(const QStringList &args = {QStringLiteral("list")})
    {
        QStringList ids;
        for (const QString &line : lines(args))
            ids.append(line.section(QLatin1Char(' '), 2, 2));
        return ids;
    }
    QString add(const QString &text)
    {
        const CliResponse response = run({QStringLiteral("add"), text});
        EXPECT_EQ(response.exitCode, exitDone) << response.err.toStdString();
        return response.out.section(QLatin1Char(' '), 1, 1); // "Added ID (type)"
    }
};

// Tried as a new user would: start, then list at once. The answer waits for the first load.
TEST_F(CommandHandlerTest, ListRightAfterStartShowsTheStoredHistory)
{
    seed(20);
    create();
    ASSERT_FALSE(state->clipboard().isLoaded());
    const QStringList listed = lines({QStringLiteral("list")});
    ASSERT_EQ(listed.size(), 20);
    EXPECT_TRUE(listed.first().endsWith(QStringLiteral("stored item 19")));
}

TEST_F(CommandHandlerTest, ListNarrowsByCategoryAndLimit)
{
    start();
    add(QStringLiteral("plain words"));
    const QString link = add(QStringLiteral("https://example.org/page"));
    add(QStringLiteral("more words"));
    EXPECT_EQ(listedIds({QStringLiteral("list"), QStringLiteral("--category"), QStringLiteral("Link")}), QStringList{link});
    EXPECT_EQ(lines({QStringLiteral("list"), QStringLiteral("--limit"), QStringLiteral("2")}).size(), 2);

    const CliResponse json = run({QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--limit"), QStringLiteral("1")});
    const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(array.size(), 1);
    EXPECT_EQ(array[0].toObject()[QStringLiteral("content")].toString(), QStringLiteral("more words"));

    EXPECT_EQ(run({QStringLiteral("list"), QStringLiteral("--limit"), QStringLiteral("lots")}).exitCode, exitBadUsage);
}

TEST_F(CommandHandlerTest, DeleteFavoriteAndTheirFailures)
{
    start();
    const QString keep = add(QStringLiteral("keep this"));
    const QString gone = add(QStringLiteral("delete this"));

    EXPECT_EQ(run({QStringLiteral("favorite"), keep.toLower()}).out, QStringLiteral("Marked %1 as a favourite.").arg(keep));
    EXPECT_TRUE(lines({QStringLiteral("list"), QStringLiteral("--category"), QStringLiteral("Favorites")}).first().endsWith(QStringLiteral("★")));
    EXPECT_EQ(run({QStringLiteral("favorite"), keep}).out, QStringLiteral("Unmarked %1 as a favourite.").arg(keep));
    EXPECT_TRUE(lines({QStringLiteral("list"), QStringLiteral("--category"), QStringLiteral("Favorites")}).isEmpty());

    EXPECT_EQ(run({QStringLiteral("delete"), gone}).exitCode, exitDone);
    EXPECT_EQ(listedIds(), QStringList{keep}) << "a list right after the answer no longer shows it";
    EXPECT_TRUE(state->storage().searchItems(QStringLiteral("delete this")).isEmpty()) << "answered once stored";

    const CliResponse missing = run({QStringLiteral("delete"), gone});
    EXPECT_EQ(missing.exitCode, exitFailed);
    EXPECT_EQ(missing.err, QStringLiteral("snipbrook: no item ") + gone);
    EXPECT_EQ(run({QStringLiteral("favorite"), QStringLiteral("0")}).exitCode, exitFailed) << "ids only, not positions";
    EXPECT_EQ(run({QStringLiteral("delete")}).exitCode, exitBadUsage);
}

TEST_F(CommandHandlerTest, DedupeAndClearReportWhatTheyDid)
{
    start();
    add(QStringLiteral("twice"));
    state->clipboard().addItem({QUuid::createUuid(), ClipboardItemType::code, QStringLiteral("twice"),
                                QStringLiteral("twice"), clock.now(), {}, false, {}}); // another kind: no duplicate
    EXPECT_EQ(run({QStringLiteral("dedupe")}).out, QStringLiteral("Removed 0 duplicate items."));
    EXPECT_EQ(listedIds().size(), 2);

    EXPECT_EQ(run({QStringLiteral("clear")}).out, QStringLiteral("Cleared the whole history."));
    EXPECT_TRUE(listedIds().isEmpty());
    EXPECT_TRUE(state->storage().loadItems(std::nullopt).isEmpty());
}

// Searches from the command line get their own results: neither a view's search nor another
// command's search in flight replaces them.
TEST_F(CommandHandlerTest, ConcurrentSearchesEachGetTheirOwnResults)
{
    start();
    add(QStringLiteral("alpha notes"));
    add(QStringLiteral("beta notes"));
    std::optional<CliResponse> first, second;
    const auto ask = [&](const QString &query, std::optional<CliResponse> &answer) {
        const auto parsed = parseCommandLine({QStringLiteral("search"), QStringLiteral("--keyword"), query}, {});
        commands->handle(std::get<CliRequest>(parsed), [&answer](const CliResponse &response) { answer = response; });
    };
    ask(QStringLiteral("alpha"), first);
    ask(QStringLiteral("beta"), second);
    state->clipboard().search(QStringLiteral("notes"), false); // a view searching meanwhile
    ASSERT_TRUE(waitFor([&] { return first && second; }));
    EXPECT_EQ(first->exitCode, exitDone);
    EXPECT_TRUE(first->out.contains(QStringLiteral("alpha notes")) && !first->out.contains(QStringLiteral("beta")));
    EXPECT_TRUE(second->out.contains(QStringLiteral("beta notes")) && !second->out.contains(QStringLiteral("alpha")));
    ASSERT_TRUE(waitFor([&] { return state->clipboard().searchResults().size() == 2; }));
}

// A window class holding ESC ] 2 ; … BEL used to retitle the terminal of whoever ran `list`.
TEST_F(CommandHandlerTest, FieldsFromOutsideReachTheTerminalWithoutControlCharacters)
{
    start();
    const QString hostile = QString::fromUtf8("Evil\x1b]2;pwned\x07 \xc2\x9b""31m\x7f\nClass");
    workspace.front = FakeWorkspace::app(hostile, hostile.toLower(), 4242, true, true);
    pasteboard.copyText(QStringLiteral("copied from a hostile window"));
    ASSERT_TRUE(waitFor([&] { return !state->clipboard().clipboardItems().isEmpty(); }));
    ASSERT_EQ(state->clipboard().clipboardItems().first().metadata->sourceApp, hostile);

    for (const QStringList &args : {QStringList{"list"}, QStringList{"search", "--keyword", "hostile"}}) {
        const CliResponse listed = run(args);
        EXPECT_FALSE(hasControlCharacter(listed.out)) << listed.out.toStdString();
        EXPECT_EQ(listed.out.count(u'\n'), 0) << "one item, one line";
        EXPECT_TRUE(listed.out.contains(QStringLiteral("(Evil ]2;pwned")));
    }

    // JSON keeps the value, escaped: the writer leaves DEL and C1 controls raw unless told.
    for (const QStringList &args : {QStringList{"list", "--json"}, QStringList{"search", "--keyword", "hostile", "--json"}}) {
        const CliResponse json = run(args);
        EXPECT_FALSE(std::any_of(json.out.begin(), json.out.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
            << json.out.toStdString();
        const QJsonObject first = QJsonDocument::fromJson(json.out.toUtf8()).array().first().toObject();
        const QJsonObject item = first.contains(QStringLiteral("item")) ? first[QStringLiteral("item")].toObject() : first;
        EXPECT_EQ(item[QStringLiteral("metadata")].toObject()[QStringLiteral("sourceApp")].toString(), hostile);
    }

    // Ignore entries from a hand-edited settings file, and the display name in status.
    state->configuration().setBlacklistedBundleIds({hostile, QStringLiteral("org.example.ok")});
    const QStringList ignored = lines({QStringLiteral("ignore")});
    EXPECT_EQ(ignored.size(), 2);
    EXPECT_FALSE(hasControlCharacter(ignored.join(u'\n')));
    const std::optional<QByteArray> display = qEnvironmentVariableIsSet("DISPLAY") ? std::optional(qgetenv("DISPLAY")) : std::nullopt;
    qputenv("DISPLAY", ":7\x1b]2;pwned\x07\nInjected: line");
    const CliResponse status = run({QStringLiteral("status")});
    display ? qputenv("DISPLAY", *display) : qunsetenv("DISPLAY");
    EXPECT_FALSE(hasControlCharacter(status.out));
    EXPECT_TRUE(status.out.contains(QStringLiteral("Clipboard: watching X11 display :7 ]2;pwned  Injected: line")));
}

// `ignore add` used to say it worked while the change lived only in memory, lost at the next start.
TEST_F(CommandHandlerTest, IgnoreFailsWhenTheSettingsFileCannotBeWritten)
{
    start();
    ASSERT_EQ(run({QStringLiteral("ignore"), QStringLiteral("add"), QStringLiteral("org.example.kept")}).exitCode, exitDone);
    preferences.failWrites = true;
    for (const QString &action : {QStringLiteral("add"), QStringLiteral("remove")}) {
        const QString bundle = action == QLatin1String("add") ? QStringLiteral("org.example.new") : QStringLiteral("org.example.kept");
        const CliResponse refused = run({QStringLiteral("ignore"), action, bundle});
        EXPECT_EQ(refused.exitCode, exitFailed) << action.toStdString();
        EXPECT_EQ(refused.err, QStringLiteral("snipbrook: the settings file could not be written, nothing changed"));
        EXPECT_TRUE(refused.out.isEmpty());
    }
    EXPECT_EQ(lines({QStringLiteral("ignore")}), QStringList{QStringLiteral("org.example.kept")}) << "nothing changed";

    preferences.failWrites = false;
    EXPECT_EQ(run({QStringLiteral("ignore"), QStringLiteral("add"), QStringLiteral("org.example.new")}).exitCode, exitDone);
}

TEST_F(CommandHandlerTest, CopyFailsWhenNothingReachedTheClipboard)
{
    start();
    add(QStringLiteral("to paste"));
    pasteboard.failWrites = true;
    const CliResponse refused = run({QStringLiteral("copy"), QStringLiteral("0")});
    EXPECT_EQ(refused.exitCode, exitFailed);
    EXPECT_EQ(refused.err, QStringLiteral("snipbrook: could not write to the clipboard"));

    pasteboard.failWrites = false;
    EXPECT_EQ(run({QStringLiteral("copy"), QStringLiteral("0")}).out, QStringLiteral("Copied Text to the clipboard."));
    EXPECT_EQ(pasteboard.contents().text, QStringLiteral("to paste"));
}

} // namespace

namespace {

// The history holds the newest 1000 items; older ones stay stored and searchable, and what a
// search finds can be acted on by its id like any other item.
TEST_F(CommandHandlerTest, ItemsFoundOlderThanTheHistoryCanBeCopiedFavouritedAndDeleted)
{
    seed(1001);
    start();
    const CliResponse found = run({QStringLiteral("search"), QStringLiteral("--keyword"), QStringLiteral("stored item 0"),
                                   QStringLiteral("--json")});
    const QJsonArray hits = QJsonDocument::fromJson(found.out.toUtf8()).array();
    ASSERT_EQ(hits.size(), 1);
    const QString id = hits[0].toObject()[QStringLiteral("item")].toObject()[QStringLiteral("id")].toString();
    ASSERT_FALSE(listedIds().contains(id));

    const CliResponse copied = run({QStringLiteral("copy"), id});
    EXPECT_EQ(copied.exitCode, exitDone) << copied.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("favorite"), id}).out, QStringLiteral("Marked %1 as a favourite.").arg(id));
    EXPECT_TRUE(state->storage().loadItem(QUuid(id))->isFavorite);
    EXPECT_EQ(run({QStringLiteral("delete"), id}).exitCode, exitDone);
    EXPECT_FALSE(state->storage().loadItem(QUuid(id)));
    EXPECT_EQ(run({QStringLiteral("delete"), id}).exitCode, exitFailed);
}

} // namespace

namespace {

TEST_F(CommandHandlerTest, AddLinesRecordsEachLineAsIfCopiedInTurn)
{
    start();
    const CliResponse added = run({QStringLiteral("add"), QStringLiteral("--lines")},
                                  QStringLiteral("first\r\nsecond\n\n   \nfirst\nhttps://example.org\n"));
    EXPECT_EQ(added.out, QStringLiteral("Added 4 items."));
    QStringList texts;
    for (const ClipboardItem &item : state->clipboard().clipboardItems())
        texts.append(item.content);
    EXPECT_EQ(texts, (QStringList{"https://example.org", "first", "second"})) << "the later copy of a line wins";
    EXPECT_EQ(state->storage().loadItems(std::nullopt).size(), 3);
    EXPECT_EQ(lines({QStringLiteral("list"), QStringLiteral("--category"), QStringLiteral("Link")}).size(), 1);
    EXPECT_EQ(run({QStringLiteral("add"), QStringLiteral("--lines")}, QStringLiteral("\n \n")).exitCode, exitFailed);
}

TEST_F(CommandHandlerTest, ImportTakesWhatItCanAndSaysWhatItSkipped)
{
    start();
    const auto itemJson = [&](const QString &content, qint64 secondsAgo, QUuid id = QUuid::createUuid()) {
        return ClipboardItem{id, ClipboardItemType::text, content, content, clock.now().addSecs(-secondsAgo), {}, false, {}}.toJson();
    };
    const QUuid repeated = QUuid::createUuid();
    QJsonArray array{itemJson(QStringLiteral("imported older"), 7200), itemJson(QStringLiteral("imported newer"), 60, repeated),
                     itemJson(QStringLiteral("same id again"), 30, repeated), QJsonValue(42),
                     QJsonObject{{QStringLiteral("content"), QStringLiteral("no id")}}};
    add(QStringLiteral("captured now"));
    const QString path = folder.filePath(QStringLiteral("items.json"));
    const auto write = [&](const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    write(QJsonDocument(array).toJson());

    EXPECT_EQ(run({QStringLiteral("import"), path}).out,
              QStringLiteral("Imported 2 items. Skipped: 2 not in the item form, 1 with a repeated id."));
    QStringList texts;
    for (const ClipboardItem &item : state->clipboard().clipboardItems())
        texts.append(item.content);
    EXPECT_EQ(texts, (QStringList{"captured now", "imported newer", "imported older"})) << "placed by their time";
    EXPECT_EQ(run({QStringLiteral("import"), path}).out,
              QStringLiteral("Imported 0 items. Skipped: 2 already stored, 2 not in the item form, 1 with a repeated id."));

    write("[{\"truncated\": ");
    const CliResponse notJson = run({QStringLiteral("import"), path});
    EXPECT_EQ(notJson.exitCode, exitFailed);
    EXPECT_TRUE(notJson.err.contains(QStringLiteral("is not JSON"))) << notJson.err.toStdString();
    write("{\"items\": []}");
    EXPECT_EQ(run({QStringLiteral("import"), path}).exitCode, exitFailed);
    EXPECT_EQ(run({QStringLiteral("import"), folder.filePath(QStringLiteral("missing.json"))}).exitCode, exitFailed);
    EXPECT_EQ(state->storage().loadItems(std::nullopt).size(), 3) << "nothing half-imported";
}

// The history keeps an imported large image without its data; JSON output still carries it.
TEST_F(CommandHandlerTest, JsonListingsCarryTheDataOfImagesHeldInTheStore)
{
    start();
    const QString data = QString::fromLatin1(QByteArray(30000, '\x7f').toBase64());
    const ClipboardItem image{QUuid::createUuid(), ClipboardItemType::image, data, data, clock.now().addSecs(-5), {}, false, {}};
    const QString path = folder.filePath(QStringLiteral("image.json"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(QJsonArray{image.toJson()}).toJson());
    }
    ASSERT_EQ(run({QStringLiteral("import"), path}).exitCode, exitDone);
    ASSERT_TRUE(waitFor([&] { return state->clipboard().clipboardItems().value(0).isContentInStore(); }));

    const QJsonArray listed = QJsonDocument::fromJson(run({QStringLiteral("list"), QStringLiteral("--json")}).out.toUtf8()).array();
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].toObject()[QStringLiteral("content")].toString(), data);
    EXPECT_EQ(listed[0].toObject()[QStringLiteral("preview")].toString(), data);
}

} // namespace

TEST_F(CommandHandlerTest, WindowCommandsReachTheirWindowsAndFailWithoutThem)
{
    start();
    for (const char *command : {"show", "hide", "settings"}) // no display, no windows
        EXPECT_EQ(run({QString::fromLatin1(command)}).exitCode, exitFailed) << command;

    QStringList calls;
    CommandHandler::Hooks hooks;
    hooks.showMainWindow = [&] { calls.append(QStringLiteral("show")); return true; };
    hooks.hideMainWindow = [&] { calls.append(QStringLiteral("hide")); return true; };
    hooks.showSettings = [&] { calls.append(QStringLiteral("settings")); return true; };
    commands = std::make_unique<CommandHandler>(state->clipboard(), state->configuration(), hooks);
    for (const char *command : {"show", "hide", "settings"})
        EXPECT_EQ(run({QString::fromLatin1(command)}).exitCode, exitDone) << command;
    EXPECT_EQ(calls, QStringList({QStringLiteral("show"), QStringLiteral("hide"), QStringLiteral("settings")}));

    // Started again from the menu, the running one shows its window; started at login, it does not.
    calls.clear();
    const auto activate = [&](bool background) {
        std::optional<int> exitCode;
        commands->handle(CliRequest{QStringLiteral("activate"), {{QStringLiteral("background"), background}}},
                         [&](const CliResponse &response) { exitCode = response.exitCode; });
        return exitCode;
    };
    EXPECT_EQ(activate(false), exitDone);
    EXPECT_EQ(activate(true), exitDone);
    EXPECT_EQ(calls, QStringList({QStringLiteral("show")}));
}
