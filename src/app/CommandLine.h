#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>
#include <variant>

namespace snipbrook {

// Exit codes of the command line.
enum ExitCode : int {
    exitDone = 0,
    exitFailed = 1,
    exitBadUsage = 2,
    exitNoInstance = 3,
};

// The largest request line the instance reads: as large as the largest item it records by
// default.
constexpr qint64 maxRequestBytes = 64 * 1024 * 1024;

// One request to the running instance, as it travels over the socket.
struct CliRequest {
    QString command;  // "list", "search", "copy", …; "activate" for a plain second start
    QJsonObject args; // the command's options, already checked

    QJsonObject toJson() const;
    static std::optional<CliRequest> fromJson(const QJsonObject &object);
    // The request as it travels: compact JSON and a line break.
    QByteArray toLine() const;
};

// "64 MB": a byte count as the command line says it.
QString megabytesText(qint64 bytes);

// What the instance answers: the exit code and the texts the command line prints.
struct CliResponse {
    int exitCode = exitDone;
    QString out;
    QString err;

    QJsonObject toJson() const;
    static std::optional<CliResponse> fromJson(const QJsonObject &object);

    static CliResponse ok(QString out = {}) { return {exitDone, std::move(out), {}}; }
    static CliResponse failed(QString err) { return {exitFailed, {}, std::move(err)}; }
};

// What the arguments ask for: run as the instance, print something locally, or send a request.
struct RunInstance {
    // Started at login: straight to the tray, without showing the main window.
    bool background = false;
};
struct PrintAndExit {
    int exitCode;
    QString text;
    bool toStderr = false;
};
using ParsedCommandLine = std::variant<RunInstance, PrintAndExit, CliRequest>;

// Parses the arguments after the program name. `readStdin` supplies the text of `add` when no
// text is given on the command line.
ParsedCommandLine parseCommandLine(const QStringList &arguments, const std::function<QString()> &readStdin);

QString usageText();

// Writes the text and a final line break (when it has none) to the stream; nothing for no text.
// Control characters other than line breaks are written as spaces.
void printText(const QString &text, FILE *stream);

} // namespace snipbrook
