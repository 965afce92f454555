#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace snipbrook;

namespace {

ParsedCommandLine parse(const QStringList &args, const QString &stdinText = {})
{
    return parseCommandLine(args, [&] { return stdinText; });
}

CliRequest request(const QStringList &args, const QString &stdinText = {})
{
    const auto parsed = parse(args, stdinText);
    const auto *r = std::get_if<CliRequest>(&parsed);
    if (!r) {
        ADD_FAILURE() << "not a request: " << args.join(' ').toStdString();
        return {};
    }
    return *r;
}

int usageExit(const QStringList &args)
{
    const auto parsed = parse(args);
    const auto *p = std::get_if<PrintAndExit>(&parsed);
    return p ? p->exitCode : -1;
}

} // namespace

TEST(CommandLine, NoArgumentsRunsTheInstanceAndHelpVersionPrintLocally)
{
    EXPECT_TRUE(std::holds_alternative<RunInstance>(parse({})));
    const auto atLogin = parse({"--background"});
    ASSERT_TRUE(std::holds_alternative<RunInstance>(atLogin));
    EXPECT_TRUE(std::get<RunInstance>(atLogin).background);
    EXPECT_FALSE(std::get<RunInstance>(parse({})).background);
    EXPECT_EQ(usageExit({"--help"}), exitDone);
    const auto version = parse({"--version"});
    EXPECT_TRUE(std::get<PrintAndExit>(version).text.startsWith("snipbrook "));
}

TEST(CommandLine, ListAndSearchOptions)
{
    const CliRequest list = request({"list", "--limit", "5", "--category", "Link", "--json"});
    EXPECT_EQ(list.command, "list");
    EXPECT_EQ(list.args.value("limit").toInt(), 5);
    EXPECT_EQ(list.args.value("category").toString(), "Link");
    EXPECT_TRUE(list.args.value("json").toBool());
    EXPECT_FALSE(request({"list"}).args.contains("limit"));

    const CliRequest search = request({"search", "--keyword", "code", "from", "yesterday"});
    EXPECT_EQ(search.args.value("query").toString(), "code from yesterday");
    EXPECT_TRUE(search.args.value("keyword").toBool());
    EXPECT_FALSE(search.args.value("json").toBool());
    // After "--" an option-looking word is part of the query.
    EXPECT_EQ(request({"search", "--", "--json"}).args.value("query").toString(), "--json");
}

TEST(CommandLine, AddTakesArgumentsOrStandardInput)
{
    EXPECT_EQ(request({"add", "hello", "world"}).args.value("text").toString(), "hello world");
    EXPECT_EQ(request({"add"}, "from stdin\n").args.value("text").toString(), "from stdin\n");
    EXPECT_EQ(request({"add", "-"}, "piped").args.value("text").toString(), "piped");
}

// The instance reads no request over the limit: a text that large is turned away here, named
// for what it is, instead of going out and coming back as "Snipbrook is not running".
TEST(CommandLine, AddOverTheRequestLimitSaysTheTextIsTooLarge)
{
    const QString huge(maxRequestBytes, QLatin1Char('x'));
    const auto parsed = parse({"add"}, huge);
    const auto *refused = std::get_if<PrintAndExit>(&parsed);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->exitCode, exitFailed);
    EXPECT_TRUE(refused->toStderr);
    EXPECT_EQ(refused->text, "snipbrook: the text is too large to add (64.0 MB; the limit is 64 MB)");

    const QString large(maxRequestBytes / 2, QLatin1Char('x'));
    EXPECT_EQ(request({"add"}, large).args.value("text").toString().size(), large.size());
    EXPECT_EQ(megabytesText(100 * 1024 * 1024 + 300 * 1024), "100.3 MB");
}

// The last guard before the terminal: whatever the instance sends, no escape sequence is written.
TEST(CommandLine, PrintedTextCarriesNoControlCharacters)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&buffer, &size);
    ASSERT_TRUE(stream);
    printText(QString::fromUtf8("title \x1b]2;pwned\x07 and \xc2\x9b""31m red\r\nnext line\x7f"), stream);
    std::fclose(stream);
    EXPECT_EQ(QByteArray(buffer, qsizetype(size)), "title  ]2;pwned  and  31m red \nnext line \n");
    std::free(buffer);
}

TEST(CommandLine, IgnoreListsAddsOrRemoves)
{
    EXPECT_EQ(request({"ignore"}).args.value("action").toString(), "list");
    const CliRequest add = request({"ignore", "add", "org.example.vault"});
    EXPECT_EQ(add.args.value("action").toString(), "add");
    EXPECT_EQ(add.args.value("bundle").toString(), "org.example.vault");
}

TEST(CommandLine, BadUsageIsRejectedBeforeContactingTheInstance)
{
    const QList<QStringList> bad{
        {"frobnicate"},          {"list", "--limit"},          {"list", "--limit", "-1"},
        {"list", "--limit", "x"}, {"list", "extra"},           {"list", "--colour", "red"},
        {"search"},              {"search", "  "},             {"copy"},
        {"copy", "1", "2"},      {"delete"},                   {"favorite", "a", "b"},
        {"ignore", "add"},       {"ignore", "drop", "x"},      {"status", "now"},
        {"quit", "--force"},     {"show", "now"},              {"hide", "all"},
        {"settings", "x"},       {"--background", "x"},
    };
    for (const QStringList &args : bad)
        EXPECT_EQ(usageExit(args), exitBadUsage) << args.join(' ').toStdString();
}

TEST(CommandLine, RequestsAndResponsesSurviveTheWire)
{
    const CliRequest r = request({"copy", "3"});
    const auto back = CliRequest::fromJson(r.toJson());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->command, "copy");
    EXPECT_EQ(back->args, r.args);
    EXPECT_FALSE(CliRequest::fromJson(QJsonObject{{"command", 3}}));

    const CliResponse response{exitFailed, "out", "err"};
    const auto responseBack = CliResponse::fromJson(response.toJson());
    ASSERT_TRUE(responseBack);
    EXPECT_EQ(responseBack->exitCode, exitFailed);
    EXPECT_EQ(responseBack->err, "err");
}
