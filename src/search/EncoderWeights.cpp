#include "EncoderWeights.h"

#include "ModelChecksum.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace snipbrook {
namespace {

// Reads exactly `size` bytes of `path` into `target`.
bool readExactly(const QString &path, qint64 size, unsigned char *target, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *error = QStringLiteral("missing %1").arg(QFileInfo(path).fileName());
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(QFileInfo(path).fileName(), file.errorString());
        return false;
    }
    if (file.size() != size) {
        *error = QStringLiteral("%1 has %2 bytes, expected %3").arg(QFileInfo(path).fileName()).arg(file.size()).arg(size);
        return false;
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(reinterpret_cast<char *>(target) + done, size - done);
        if (got <= 0) {
            *error = QStringLiteral("cannot read %1: %2").arg(QFileInfo(path).fileName(), file.errorString());
            return false;
        }
        done += got;
    }
    return true;
}

bool checksumMatches(const QString &path, const void *data, qint64 size, std::uint64_t checksum, QString *error)
{
    if (xxHash64(data, static_cast<std::size_t>(size)) == checksum)
        return true;
    *error = QStringLiteral("%1 is damaged or altered (checksum mismatch)").arg(QFileInfo(path).fileName());
    return false;
}

// Elements of a tensor of this shape, or nothing when more than `limit`.
std::optional<std::size_t> elementCount(const QList<qint64> &shape, std::size_t limit)
{
    std::size_t count = 1;
    for (const qint64 dimension : shape) {
        if (dimension < 1 || static_cast<std::size_t>(dimension) > limit / count)
            return std::nullopt;
        count *= static_cast<std::size_t>(dimension);
    }
    return count;
}

QString shapeText(const QList<qint64> &shape)
{
    QStringList parts;
    for (const qint64 dimension : shape)
        parts << QString::number(dimension);
    return u'[' + parts.join(u", ") + u']';
}

} // namespace

QByteArray readModelFile(const QString &dir, const ModelFile &file, QString *error)
{
    const QString path = QDir(dir).filePath(file.name);
    QByteArray bytes(file.size, Qt::Uninitialized);
    if (!readExactly(path, file.size, reinterpret_cast<unsigned char *>(bytes.data()), error)
        || !checksumMatches(path, bytes.constData(), file.size, file.checksum, error))
        return {};
    return bytes;
}

void EncoderWeights::FreeAligned::operator()(unsigned char *p) const { std::free(p); }

std::unique_ptr<EncoderWeights> EncoderWeights::load(const QString &dir, const ModelFileSet &files, QString *error)
{
    const QDir folder(dir);
    const QByteArray manifestBytes = readModelFile(dir, files.manifest, error);
    if (manifestBytes.isEmpty())
        return nullptr;
    const QJsonArray groups = QJsonDocument::fromJson(manifestBytes).object().value(QLatin1String("weightsManifest")).toArray();
    if (groups.size() != 1) {
        *error = QStringLiteral("model.json does not hold exactly one weight group");
        return nullptr;
    }
    const QJsonObject group = groups.first().toObject();
    const QJsonArray paths = group.value(QLatin1String("paths")).toArray();
    if (paths.size() != qsizetype(files.shards.size())) {
        *error = QStringLiteral("model.json names %1 shards, expected %2").arg(paths.size()).arg(files.shards.size());
        return nullptr;
    }

    auto weights = std::unique_ptr<EncoderWeights>(new EncoderWeights);
    std::size_t total = 0;
    for (const ModelFile &shard : files.shards)
        total += static_cast<std::size_t>(shard.size);
    // 64-byte alignment for the vector loads; every tensor starts at a multiple of 4 bytes.
    weights->m_data.reset(static_cast<unsigned char *>(std::aligned_alloc(64, (total + 63) / 64 * 64)));
    if (!weights->m_data) {
        *error = QStringLiteral("out of memory for %1 bytes of weights").arg(total);
        return nullptr;
    }
    weights->m_size = total;

    // The manifest's order is the stream's order.
    std::size_t offset = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const ModelFile &shard = files.shards[static_cast<std::size_t>(i)];
        if (paths.at(i).toString() != shard.name) {
            *error = QStringLiteral("model.json lists shard %1 as %2").arg(i + 1).arg(paths.at(i).toString());
            return nullptr;
        }
        const QString path = folder.filePath(shard.name);
        unsigned char *target = weights->m_data.get() + offset;
        if (!readExactly(path, shard.size, target, error) || !checksumMatches(path, target, shard.size, shard.checksum, error))
            return nullptr;
        offset += static_cast<std::size_t>(shard.size);
    }

    std::size_t position = 0;
    for (const QJsonValue &value : group.value(QLatin1String("weights")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString name = entry.value(QLatin1String("name")).toString();
        const QString dtype = entry.value(QLatin1String("dtype")).toString();
        if (name.isEmpty() || (dtype != QLatin1String("float32") && dtype != QLatin1String("int32"))
            || entry.contains(QLatin1String("quantization"))) {
            *error = QStringLiteral("model.json has an unsupported weight entry: %1").arg(name);
            return nullptr;
        }
        Tensor tensor{position, {}, dtype == QLatin1String("float32")};
        for (const QJsonValue &dimension : entry.value(QLatin1String("shape")).toArray()) {
            if (!dimension.isDouble() || dimension.toDouble() != std::floor(dimension.toDouble())) {
                *error = QStringLiteral("model.json gives %1 a bad shape").arg(name);
                return nullptr;
            }
            tensor.shape.append(static_cast<qint64>(std::clamp(dimension.toDouble(), -1.0, 1e15)));
        }
        const std::optional<std::size_t> count = elementCount(tensor.shape, (total - position) / 4);
        if (!count) {
            *error = QStringLiteral("model.json describes more weights than the shards hold");
            return nullptr;
        }
        position += *count * 4;
        weights->m_tensors.insert(name, tensor);
    }
    if (position != total) {
        *error = QStringLiteral("model.json describes %1 bytes of weights, the shards hold %2").arg(position).arg(total);
        return nullptr;
    }
    return weights;
}

const float *EncoderWeights::floats(const QString &name, std::initializer_list<qint64> shape, QString *error) const
{
    const auto found = m_tensors.constFind(name);
    const QList<qint64> expected(shape);
    const auto fail = [&](const QString &reason) -> const float * {
        if (error->isEmpty())
            *error = reason;
        return nullptr;
    };
    if (found == m_tensors.constEnd())
        return fail(QStringLiteral("model.json has no tensor %1").arg(name));
    if (!found->isFloat || found->shape != expected)
        return fail(QStringLiteral("tensor %1 has shape %2, expected float32 %3").arg(name, shapeText(found->shape), shapeText(expected)));
    return reinterpret_cast<const float *>(m_data.get() + found->offset);
}

} // namespace snipbrook
