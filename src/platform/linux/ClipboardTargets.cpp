#include "ClipboardTargets.h"

#include "platform/Pasteboard.h"

#include <algorithm>

namespace snipbrook {
namespace {

const QString utf8String = QStringLiteral("UTF8_STRING");
const QString latin1String = QStringLiteral("STRING");
const QString plainTextUtf8 = QStringLiteral("text/plain;charset=utf-8");
const QString textString = QStringLiteral("TEXT");

} // namespace

bool isPseudoTarget(const QString &target)
{
    static const QStringList pseudo{
        QStringLiteral("TARGETS"), QStringLiteral("MULTIPLE"),         QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"), QStringLiteral("DELETE"),      QStringLiteral("INSERT_SELECTION"),
        QStringLiteral("INSERT_PROPERTY"),
    };
    return pseudo.contains(target);
}

ClipboardReadPlan planClipboardRead(const QStringList &targets)
{
    QStringList offered;
    for (const QString &target : targets) {
        if (!target.isEmpty() && !isPseudoTarget(target))
            offered.append(target);
    }
    ClipboardReadPlan plan;
    for (const QString &hint : {mime::passwordManagerHint, mime::passwordManagerHintText}) {
        if (offered.contains(hint)) {
            plan.secretHintTarget = hint;
            break;
        }
    }
    for (const QString &image : {mime::png, mime::jpeg, mime::tiff}) {
        if (offered.contains(image))
            plan.imageTargets.append(image);
    }
    for (const QString &list : {mime::uriList, mime::gnomeCopiedFiles}) {
        if (offered.contains(list)) {
            plan.urlTarget = list;
            break;
        }
    }
    // Wayland applications spell the charset parameter in either case, some with a space.
    const auto utf8Plain = std::find_if(offered.begin(), offered.end(), [](const QString &target) {
        return target.toLower().remove(QLatin1Char(' ')) == plainTextUtf8;
    });
    if (utf8Plain != offered.end())
        plan.textTargets.append(*utf8Plain);
    // TEXT last: on X11 it may come as compound text; XWayland and Wayland sources send UTF-8.
    for (const QString &text : {utf8String, mime::plainText, latin1String, textString}) {
        if (offered.contains(text))
            plan.textTargets.append(text);
    }
    return plan;
}

ClipboardReadPlan fallbackClipboardReadPlan()
{
    ClipboardReadPlan plan;
    plan.textTargets = {utf8String, latin1String};
    return plan;
}

bool isSecretHint(const QByteArray &value)
{
    QByteArray trimmed = value;
    while (trimmed.endsWith('\0'))
        trimmed.chop(1);
    return trimmed.trimmed() == "secret";
}

QString decodeClipboardText(const QString &target, QByteArray bytes)
{
    // Some owners count the C string terminator in the length.
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (target == latin1String)
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(bytes);
}

QList<QUrl> decodeClipboardUrls(const QString &target, const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (target == mime::gnomeCopiedFiles && !lines.isEmpty())
        lines.removeFirst(); // "copy" or "cut"
    QList<QUrl> urls;
    for (QByteArray line : lines) {
        line = line.trimmed();
        while (line.endsWith('\0'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        urls.append(QUrl::fromEncoded(line, QUrl::StrictMode));
    }
    return urls;
}

} // namespace snipbrook
