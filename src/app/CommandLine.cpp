#include "CommandLine.h"

#include <QFileInfo>

#include "BuildInfo.h"
#include "model/TerminalText.h"

#include <QJsonDocument>
#include <QJsonValue>

namespace snipbrook {
namespace {

PrintAndExit badUsage(const QString &message)
{
    return {exitBadUsage, QStringLiteral("snipbrook: ") + message + QStringLiteral("\nTry 'snipbrook --help'."), true};
}

// Splits "--flag" options from positional words; "--" ends the options.
struct Words {
    QStringList positional;
    QStringList flags;
    QHash<QString, QString> values;
    QString error;
};

Words splitWords(const QStringList &arguments, const QStringList &flagNames, const QStringList &valueNames)
{
    Words words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        if (optionsEnded || !word.startsWith(QLatin1String("--")) || word == QLatin1String("-")) {
            words.positional.append(word);
        } else if (word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (flagNames.contains(word)) {
            words.flags.append(word);
        } else if (valueNames.contains(word)) {
            if (i + 1 >= arguments.size()) {
                words.error = word + QStringLiteral(" needs a value");
                return words;
            }
            words.values.insert(word, arguments.at(++i));
        } else {
            words.error = QStringLiteral("unknown option ") + word;
            return words;
        }
    }
    return words;
}

ParsedCommandLine parseList(const QStringList &rest)
{
    const Words w = splitWords(rest, {QStringLiteral("--json")}, {QStringLiteral("--limit"), QStringLiteral("--category")});
    if (!w.error.isEmpty())
        return badUsage(w.error);
    if (!w.positional.isEmpty())
        return badUsage(QStringLiteral("list takes no arguments besides its options"));
    QJsonObject args;
    if (w.values.contains(QStringLiteral("--limit"))) {
        bool ok = false;
        const int limit = w.values.value(QStringLiteral("--limit")).toInt(&ok);
        if (!ok || limit < 0)
            return badUsage(QStringLiteral("--limit needs a whole number of 0 or more"));
        args.insert(QLatin1String("limit"), limit);
    }
    if (w.values.contains(QStringLiteral("--category")))
        args.insert(QLatin1String("category"), w.values.value(QStringLiteral("--category")));
    args.insert(QLatin1String("json"), w.flags.contains(QStringLiteral("--json")));
    return CliRequest{QStringLiteral("list"), args};
}

ParsedCommandLine parseSearch(const QStringList &rest)
{
    const Words w = splitWords(rest, {QStringLiteral("--json"), QStringLiteral("--keyword")}, {});
    if (!w.error.isEmpty())
        return badUsage(w.error);
    const QString query = w.positional.join(QLatin1Char(' '));
    if (query.trimmed().isEmpty())
        return badUsage(QStringLiteral("search needs a query"));
    QJsonObject args;
    args.insert(QLatin1String("query"), query);
    args.insert(QLatin1String("keyword"), w.flags.contains(QStringLiteral("--keyword")));
    args.insert(QLatin1String("json"), w.flags.contains(QStringLiteral("--json")));
    return CliRequest{QStringLiteral("search"), args};
}

ParsedCommandLine parseOneTarget(const QString &command, const QStringList &rest, const QString &what)
{
    const Words w = splitWords(rest, {}, {});
    if (!w.error.isEmpty())
        return badUsage(w.error);
    if (w.positional.size() != 1)
        return badUsage(command + QStringLiteral(" needs exactly one ") + what);
    QJsonObject args;
    args.insert(QLatin1String("target"), w.positional.first());
    return CliRequest{command, args};
}

ParsedCommandLine parseNoArguments(const QString &command, const QStringList &rest)
{
    if (!rest.isEmpty())
        return badUsage(command + QStringLiteral(" takes no arguments"));
    return CliRequest{command, {}};
}

// A text the instance would refuse is told here, before it travels.
ParsedCommandLine parseAdd(const QStringList &rest, const std::function<QString()> &readStdin)
{
    const bool lines = rest == QStringList{QStringLiteral("--lines")};
    const bool fromStdin = lines || rest.isEmpty() || rest == QStringList{QStringLiteral("-")};
    CliRequest request{QStringLiteral("add"), {{QLatin1String("text"), fromStdin ? readStdin() : rest.join(QLatin1Char(' '))}}};
    if (lines)
        request.args.insert(QLatin1String("lines"), true);
    // A UTF-16 unit takes at most six bytes in the line, so most texts need no measuring.
    const qsizetype textSize = request.args.value(QLatin1String("text")).toString().size();
    if (textSize * 6 + 1024 < maxRequestBytes)
        return request;
    const qint64 lineSize = request.toLine().size();
    if (lineSize <= maxRequestBytes)
        return request;
    return PrintAndExit{exitFailed,
                        QStringLiteral("snipbrook: the text is too large to add (%1; the limit is %2)")
                            .arg(megabytesText(lineSize), megabytesText(maxRequestBytes)),
                        true};
}

ParsedCommandLine parseIgnore(const QStringList &rest)
{
    if (rest.isEmpty())
        return CliRequest{QStringLiteral("ignore"), {{QLatin1String("action"), QStringLiteral("list")}}};
    const QString action = rest.first();
    if ((action != QLatin1String("add") && action != QLatin1String("remove")) || rest.size() != 2 ||
        rest.at(1).trimmed().isEmpty())
        return badUsage(QStringLiteral("usage: snipbrook ignore [add|remove BUNDLE_ID]"));
    QJsonObject args;
    args.insert(QLatin1String("action"), action);
    args.insert(QLatin1String("bundle"), rest.at(1).trimmed());
    return CliRequest{QStringLiteral("ignore"), args};
}

} // namespace

QJsonObject CliRequest::toJson() const
{
    return {{QLatin1String("command"), command}, {QLatin1String("args"), args}};
}

std::optional<CliRequest> CliRequest::fromJson(const QJsonObject &object)
{
    const QJsonValue command = object.value(QLatin1String("command"));
    const QJsonValue args = object.value(QLatin1String("args"));
    if (!command.isString() || !(args.isObject() || args.isUndefined()))
        return std::nullopt;
    return CliRequest{command.toString(), args.toObject()};
}

QByteArray CliRequest::toLine() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact) + '\n';
}

QString megabytesText(qint64 bytes)
{
    const double megabytes = double(bytes) / (1024 * 1024);
    return QString::number(megabytes, 'f', bytes % (1024 * 1024) == 0 ? 0 : 1) + QStringLiteral(" MB");
}

QJsonObject CliResponse::toJson() const
{
    return {{QLatin1String("exitCode"), exitCode}, {QLatin1String("out"), out}, {QLatin1String("err"), err}};
}

std::optional<CliResponse> CliResponse::fromJson(const QJsonObject &object)
{
    const QJsonValue code = object.value(QLatin1String("exitCode"));
    if (!code.isDouble())
        return std::nullopt;
    return CliResponse{code.toInt(exitFailed), object.value(QLatin1String("out")).toString(),
                       object.value(QLatin1String("err")).toString()};
}

ParsedCommandLine parseCommandLine(const QStringList &arguments, const std::function<QString()> &readStdin)
{
    if (arguments.isEmpty())
        return RunInstance{};
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help"))
        return PrintAndExit{exitDone, usageText()};
    if (command == QLatin1String("--background")) {
        if (!rest.isEmpty())
            return badUsage(QStringLiteral("--background takes no arguments"));
        return RunInstance{true};
    }
    if (command == QLatin1String("--version"))
        return PrintAndExit{exitDone, QStringLiteral("snipbrook ") + QString::fromLatin1(build::version)};
    if (command == QLatin1String("list"))
        return parseList(rest);
    if (command == QLatin1String("search"))
        return parseSearch(rest);
    if (command == QLatin1String("copy"))
        return parseOneTarget(command, rest, QStringLiteral("ID or position"));
    if (command == QLatin1String("delete") || command == QLatin1String("favorite"))
        return parseOneTarget(command, rest, QStringLiteral("ID"));
    if (command == QLatin1String("add"))
        return parseAdd(rest, readStdin);
    if (command == QLatin1String("import")) {
        if (rest.size() != 1 || rest.first().isEmpty())
            return badUsage(QStringLiteral("import needs exactly one FILE"));
        // The instance may run in another folder: it gets the absolute path.
        return CliRequest{command, {{QLatin1String("file"), QFileInfo(rest.first()).absoluteFilePath()}}};
    }
    if (command == QLatin1String("ignore"))
        return parseIgnore(rest);
    if (command == QLatin1String("dedupe") || command == QLatin1String("clear") ||
        command == QLatin1String("status") || command == QLatin1String("quit") || command == QLatin1String("popup") ||
        command == QLatin1String("show") || command == QLatin1String("hide") ||
        command == QLatin1String("settings"))
        return parseNoArguments(command, rest);
    return badUsage(QStringLiteral("unknown command '") + command + QStringLiteral("'"));
}

void printText(const QString &text, FILE *stream)
{
    if (text.isEmpty())
        return;
    // The last guard before the terminal, whatever the instance sent.
    QByteArray bytes = terminalLines(text).toUtf8();
    if (!bytes.endsWith('\n'))
        bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

QString usageText()
{
    return QStringLiteral(
        "Usage: snipbrook [COMMAND]\n"
        "\n"
        "Without a command, starts Snipbrook (or hands over to the one already running).\n"
        "\n"
        "Commands (they talk to the running Snipbrook):\n"
        "  list [--limit N] [--category NAME] [--json]\n"
        "                         the history, newest first, numbered from 0\n"
        "  search [--keyword] QUERY [--json]\n"
        "                         search by meaning, or by keyword with --keyword\n"
        "  copy ID|POSITION       put an item back on the clipboard\n"
        "  add [TEXT]             record TEXT (or standard input) like a copy\n"
        "  add --lines            record each line of standard input as one item\n"
        "  import FILE            record the items of a JSON array (the history file's form)\n"
        "  delete ID              delete an item\n"
        "  favorite ID            mark or unmark an item as a favourite\n"
        "  dedupe                 keep only the newest of duplicate items\n"
        "  clear                  delete the whole history\n"
        "  ignore [add|remove APP]\n"
        "                         list, add or remove ignored applications\n"
        "  popup                  open the quick-access panel (bind it to a key of your desktop)\n"
        "  show, hide             show the main window, or hide it to the tray\n"
        "  settings               open the settings window\n"
        "  status                 counts, file locations, model state, shortcut, tray, version\n"
        "  quit                   stop the running Snipbrook\n"
        "  --background           start in the tray without showing the main window\n"
        "  --help, --version\n"
        "\n"
        "Exit codes: 0 done, 1 failed, 2 bad usage, 3 Snipbrook is not running.");
}

} // namespace snipbrook
