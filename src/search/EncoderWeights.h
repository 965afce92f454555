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

// The encoder's weight stream: the shards of the manifest read into one buffer (tensors cross
// shard boundaries) and the place of each named tensor in it.
class EncoderWeights {
public:
    // Reads the manifest and the shards from `dir`, checking each file's size and checksum
    // against `files` and the manifest's layout. Null with a reason on any mismatch.
    static std::unique_ptr<EncoderWeights> load(const QString &dir, const ModelFileSet &files, QString *error);

    // The float32 tensor `name` when it has exactly `shape`; null (and the first such reason in
    // `error`) otherwise. Scalars have the empty shape.
    const float *floats(const QString &name, std::initializer_list<qint64> shape, QString *error) const;

    std::size_t byteSize() const { return m_size; }

private:
    struct Tensor {
        std::size_t offset;
        QList<qint64> shape;
        bool isFloat;
    };
    struct FreeAligned {
        void operator()(unsigned char *p) const;
    };

    std::unique_ptr<unsigned char[], FreeAligned> m_data;
    std::size_t m_size = 0;
    QHash<QString, Tensor> m_tensors;
};

// Reads one file of the model set, accepting it only with the expected size and checksum.
QByteArray readModelFile(const QString &dir, const ModelFile &file, QString *error);

} // namespace snipbrook
