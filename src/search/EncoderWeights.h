#pragma once

#include "ModelFiles.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <cstddef>
#include <initializer_list>
#include <memory>

namespace snipbrook {

// The encoder's weight stream: the shards of the manifest as one contiguous range (tensors cross
// shard boundaries) and the place of each named tensor in it. The shards are mapped read-only
// side by side where their sizes allow, so the weights cost resident memory only while the
// encoder runs and the kernel can reclaim them; otherwise they are read into one buffer.
class EncoderWeights {
public:
    // Reads the manifest and the shards from `dir`, checking each file's size and checksum
    // against `files` and the manifest's layout. Null with a reason on any mismatch.
    static std::unique_ptr<EncoderWeights> load(const QString &dir, const ModelFileSet &files, QString *error);

    // The float32 tensor `name` when it has exactly `shape`; null (and the first such reason in
    // `error`) otherwise. Scalars have the empty shape.
    const float *floats(const QString &name, std::initializer_list<qint64> shape, QString *error) const;

    std::size_t byteSize() const { return m_size; }
    bool isMapped() const { return m_storage.mappedLength != 0; }

    // Drops the mapped weights from this process's resident memory; they are paged in again from
    // the files (usually still in the page cache) on the next read. Safe while other threads read
    // them. Nothing for weights read into a buffer.
    void releaseResidentPages() const;
    // Maps the weights in with one call ahead of a pass, far cheaper than faulting them in page
    // by page. Nothing for weights read into a buffer, or on kernels without it.
    void prefetchResidentPages() const;

private:
    struct Tensor {
        std::size_t offset;
        QList<qint64> shape;
        bool isFloat;
    };
    // Either a mapping of mappedLength bytes or an aligned heap buffer.
    struct Storage {
        Storage() = default;
        Storage(const Storage &) = delete;
        Storage &operator=(const Storage &) = delete;
        ~Storage();
        unsigned char *data = nullptr;
        std::size_t mappedLength = 0;
    };

    bool mapShards(const QString &dir, const ModelFileSet &files, QString *error);
    bool readShards(const QString &dir, const ModelFileSet &files, QString *error);

    Storage m_storage;
    std::size_t m_size = 0;
    QHash<QString, Tensor> m_tensors;
};

// Reads one file of the model set, accepting it only with the expected size and checksum.
QByteArray readModelFile(const QString &dir, const ModelFile &file, QString *error);

} // namespace snipbrook
