#include "ReleaseFeed.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace snipbrook {

namespace {

// One piece of a dotted version as an integer of any size: its sign and its digits without
// leading zeros, so huge numbers compare exactly instead of overflowing.
struct BigNumber {
    bool negative = false;
    QString digits; // empty for zero
};

std::optional<BigNumber> parsePiece(const QString &piece)
{
    qsizetype at = 0;
    BigNumber number;
    if (piece.startsWith(u'+') || piece.startsWith(u'-')) {
        number.negative = piece.front() == u'-';
        at = 1;
    }
    if (at == piece.size())
        return std::nullopt;
    for (qsizetype i = at; i < piece.size(); ++i) {
        if (piece[i] < u'0' || piece[i] > u'9')
            return std::nullopt;
    }
    while (at < piece.size() && piece[at] == u'0')
        ++at;
    number.digits = piece.mid(at);
    if (number.digits.isEmpty())
        number.negative = false;
    return number;
}

QList<BigNumber> versionPieces(const QString &version)
{
    QList<BigNumber> pieces;
    for (const QString &text : version.split(u'.', Qt::SkipEmptyParts)) {
        if (auto number = parsePiece(text))
            pieces.append(*number);
    }
    return pieces;
}

// <0, 0, >0 as a is less than, equal to or greater than b.
int compare(const BigNumber &a, const BigNumber &b)
{
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int magnitude = 0;
    if (a.digits.size() != b.digits.size())
        magnitude = a.digits.size() < b.digits.size() ? -1 : 1;
    else
        magnitude = a.digits.compare(b.digits);
    return a.negative ? -magnitude : magnitude;
}

// JSON numbers are doubles: an integer is a whole number that fits a qint64 exactly enough.
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || d != std::floor(d) || d >= limit || d < -limit)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<ReleaseInfo> decodeRelease(const QJsonValue &value, QString *error)
{
    if (!value.isObject()) {
        *error = QStringLiteral("not an object");
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    ReleaseInfo release;
    const auto requiredString = [&](const char *key, QString *out) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (!v.isString()) {
            *error = QStringLiteral("\"%1\" %2").arg(QLatin1String(key), v.isUndefined() ? QStringLiteral("missing") : QStringLiteral("is not a string"));
            return false;
        }
        *out = v.toString();
        return true;
    };
    const auto optionalString = [&](const char *key, std::optional<QString> *out) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull())
            return true;
        if (!v.isString()) {
            *error = QStringLiteral("\"%1\" is not a string").arg(QLatin1String(key));
            return false;
        }
        *out = v.toString();
        return true;
    };
    if (!requiredString("version", &release.version) || !requiredString("downloadURL", &release.downloadURL)
        || !requiredString("releaseNotes", &release.releaseNotes))
        return std::nullopt;
    const QJsonValue build = object.value(QLatin1String("buildNumber"));
    const std::optional<qint64> buildNumber = integerValue(build);
    if (!buildNumber) {
        *error = build.isUndefined() ? QStringLiteral("\"buildNumber\" missing") : QStringLiteral("\"buildNumber\" is not an integer");
        return std::nullopt;
    }
    release.buildNumber = *buildNumber;
    const QJsonValue required = object.value(QLatin1String("isRequired"));
    if (!required.isBool()) {
        *error = required.isUndefined() ? QStringLiteral("\"isRequired\" missing") : QStringLiteral("\"isRequired\" is not a boolean");
        return std::nullopt;
    }
    release.isRequired = required.toBool();
    if (!optionalString("publishedDate", &release.publishedDate) || !optionalString("minimumOSVersion", &release.minimumOSVersion))
        return std::nullopt;
    return release;
}

} // namespace

bool isNewerVersion(const QString &versionA, qint64 buildA, const QString &versionB, qint64 buildB)
{
    const QList<BigNumber> a = versionPieces(versionA);
    const QList<BigNumber> b = versionPieces(versionB);
    const BigNumber zero;
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const int order = compare(i < a.size() ? a[i] : zero, i < b.size() ? b[i] : zero);
        if (order != 0)
            return order > 0;
    }
    return buildA > buildB;
}

std::optional<QList<ReleaseInfo>> decodeReleasesFile(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonValue releases = document.object().value(QLatin1String("releases"));
    if (!releases.isArray()) {
        *error = releases.isUndefined() ? QStringLiteral("\"releases\" missing") : QStringLiteral("\"releases\" is not an array");
        return std::nullopt;
    }
    const QJsonArray array = releases.toArray();
    QList<ReleaseInfo> decoded;
    decoded.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString entryError;
        std::optional<ReleaseInfo> release = decodeRelease(array.at(i), &entryError);
        if (!release) {
            *error = QStringLiteral("release %1: %2").arg(i).arg(entryError);
            return std::nullopt;
        }
        decoded.append(std::move(*release));
    }
    return decoded;
}

const ReleaseInfo &newestRelease(const QList<ReleaseInfo> &releases)
{
    const ReleaseInfo *newest = &releases.front();
    for (const ReleaseInfo &release : releases) {
        if (isNewerVersion(release.version, release.buildNumber, newest->version, newest->buildNumber))
            newest = &release;
    }
    return *newest;
}

bool isAcceptableUpdateUrl(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return true;
    if (scheme != u"http")
        return false;
    const QString host = url.host().toLower();
    if (host == u"localhost")
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace snipbrook
