#include "EncoderWeights.h"

#include "ModelChecksum.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

EncoderWeights::Storage::~Storage()
{
    if (mappedLength)
        munmap(data, mappedLength);
    else
        std::free(data);
}

void EncoderWeights::releaseResidentPages() const
{
    // The pages are private, read-only and never written, so dropping them loses nothing: the
    // next read faults them in again from the file.
    if (m_storage.mappedLength)
        madvise(m_storage.data, m_storage.mappedLength, MADV_DONTNEED);
}

void EncoderWeights::prefetchResidentPages() const
{
    if (m_storage.mappedLength)
        madvise(m_storage.data, m_storage.mappedLength, MADV_POPULATE_READ);
}

// Maps the shards one after another into one reserved range. False with `error` empty when the
// sizes or the system do not allow it (the caller reads the shards instead), with `error` set
// when a shard is missing, cut short or altered.
bool EncoderWeights::mapShards(const QString &dir, const ModelFileSet &files, QString *error)
{
    const auto page = static_cast<qint64>(sysconf(_SC_PAGESIZE));
    if (page <= 0 || m_size == 0)
        return false;
    // A shard can only follow the previous one directly when that one ends on a page boundary.
    for (std::size_t i = 0; i + 1 < files.shards.size(); ++i) {
        if (files.shards[i].size % page != 0)
            return false;
    }
    void *reserved = mmap(nullptr, m_size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED)
        return false;
    m_storage.data = static_cast<unsigned char *>(reserved);
    m_storage.mappedLength = m_size;

    const QDir folder(dir);
    std::size_t offset = 0;
    for (const ModelFile &shard : files.shards) {
        const QString path = folder.filePath(shard.name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = errno == ENOENT ? QStringLiteral("missing %1").arg(shard.name)
                                     : QStringLiteral("cannot read %1: %2").arg(shard.name, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        struct stat status {};
        const bool sized = fstat(fd, &status) == 0;
        if (sized && status.st_size != shard.size) {
            ::close(fd);
            *error = QStringLiteral("%1 has %2 bytes, expected %3").arg(shard.name).arg(qint64(status.st_size)).arg(shard.size);
            return false;
        }
        void *mapped = !sized ? MAP_FAILED
                     : shard.size == 0
                         ? m_storage.data + offset
                         : mmap(m_storage.data + offset, static_cast<std::size_t>(shard.size), PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0);
        ::close(fd);
        if (mapped == MAP_FAILED) {
            // Leave the reservation to the destructor and read the shards instead.
            munmap(m_storage.data, m_storage.mappedLength);
            m_storage.data = nullptr;
            m_storage.mappedLength = 0;
            return false;
        }
        if (!checksumMatches(path, m_storage.data + offset, shard.size, shard.checksum, error))
            return false;
        offset += static_cast<std::size_t>(shard.size);
    }
    // Checking the sums read every page; the encoder pages in what it needs when it first runs.
    releaseResidentPages();
    return true;
}

bool EncoderWeights::readShards(const QString &dir, const ModelFileSet &files, QString *error)
{
    // 64-byte alignment for the vector loads; every tensor starts at a multiple of 4 bytes.
    m_storage.data = static_cast<unsigned char *>(std::aligned_alloc(64, (m_size + 63) / 64 * 64));
    if (!m_storage.data) {
        *error = QStringLiteral("out of memory for %1 bytes of weights").arg(m_size);
        return false;
    }
    const QDir folder(dir);
    std::size_t offset = 0;
    for (const ModelFile &shard : files.shards) {
        const QString path = folder.filePath(shard.name);
        unsigned char *target = m_storage.data + offset;
        if (!readExactly(path, shard.size, target, error) || !checksumMatches(path, target, shard.size, shard.checksum, error))
            return false;
        offset += static_cast<std::size_t>(shard.size);
    }
    return true;
}

std::unique_ptr<EncoderWeights> EncoderWeights::load(const QString &dir, const ModelFileSet &files, QString *error)
{
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

    // The manifest's order is the stream's order.
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const ModelFile &shard = files.shards[static_cast<std::size_t>(i)];
        if (paths.at(i).toString() != shard.name) {
            *error = QStringLiteral("model.json lists shard %1 as %2").arg(i + 1).arg(paths.at(i).toString());
            return nullptr;
        }
    }

    auto weights = std::unique_ptr<EncoderWeights>(new EncoderWeights);
    std::size_t total = 0;
    for (const ModelFile &shard : files.shards)
        total += static_cast<std::size_t>(shard.size);
    weights->m_size = total;
    QString reason;
    if (!weights->mapShards(dir, files, &reason) && (!reason.isEmpty() || !weights->readShards(dir, files, &reason))) {
        *error = reason;
        return nullptr;
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
    return reinterpret_cast<const float *>(m_storage.data + found->offset);
}

} // namespace snipbrook
