#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace snipbrook {

// Which of the clipboard owner's targets to fetch, in the order the reader tries them. Built
// from the TARGETS list alone, so each representation is asked for at most once.
struct ClipboardReadPlan {
    // The password-manager hint, fetched first: a secret is never read further.
    std::optional<QString> secretHintTarget;
    // Image types present, most preferred first; only the first that delivers is kept.
    QStringList imageTargets;
    // text/uri-list, else the GNOME file-manager list.
    std::optional<QString> urlTarget;
    // Text encodings present, most preferred first.
    QStringList textTargets;
};

// Targets that describe the selection rather than hold content.
bool isPseudoTarget(const QString &target);

ClipboardReadPlan planClipboardRead(const QStringList &targets);
// For an owner that does not answer TARGETS: ask for text the old way.
ClipboardReadPlan fallbackClipboardReadPlan();

bool isSecretHint(const QByteArray &value);
QString decodeClipboardText(const QString &target, QByteArray bytes);
// The URLs of a uri-list (comments and blank lines skipped) or of the GNOME list, whose first
// line says "copy" or "cut".
QList<QUrl> decodeClipboardUrls(const QString &target, const QByteArray &bytes);

} // namespace snipbrook
