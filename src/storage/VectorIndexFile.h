#pragma once

#include "VectorItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace snipbrook {

// The index file "clipboard_vector_index.json": one pretty-printed JSON object whose members are
// the entries by key, each {"id", "text", "embedding", "metadata", "timestamp"}. Embedding
// components are strings holding the shortest text that reads back to the same float; timestamps
// are whole-second UTC date-times. The file is written and read without a general JSON tree, so
// indexes of many thousands of vectors stay fast to save and load.

// Entries are written in key order, members in the order above, with two-space indentation.
QByteArray encodeVectorIndex(std::vector<VectorItem> entries);

class VectorIndex;
// Writes the index in the same form straight to the device, a bounded buffer at a time: saving
// never holds a copy of the whole index or of the whole file. False when a write failed.
bool writeVectorIndex(const VectorIndex &index, QIODevice &device);

struct DecodedVectorIndex {
    // Set when the bytes are not one well-formed JSON document; nothing is read then.
    std::optional<QString> error;
    // The well-formed members in file order (a repeated key keeps its last value). A member needs
    // a string "text", an array of number strings "embedding", an object of strings "metadata"
    // and a date-time string "timestamp"; its key becomes the id (a stored "id" is not read) and
    // unknown members are ignored. When any top-level member is not an object, or the document
    // is not an object, there are no entries.
    std::vector<VectorItem> entries;
};

DecodedVectorIndex decodeVectorIndex(QByteArrayView bytes);

// The same reading, handing each member over as it is read, so that a caller filling its own
// index never holds the whole file's entries at once. `entry` gets each well-formed member (a
// later member of the same key replaces it; the item is reused afterwards, so copy what you
// keep), `dropped` the key of a malformed or non-object member, which removes an earlier one.
struct VectorIndexEntrySink {
    std::function<void(const VectorItem &)> entry;
    std::function<void(const QString &key)> dropped;
};
struct VectorIndexDecoding {
    std::optional<QString> error;
    // False when a top-level member is not an object, or the document is not an object: then the
    // file holds no entries, whatever was handed over.
    bool allObjects = true;
};
VectorIndexDecoding decodeVectorIndex(QByteArrayView bytes, const VectorIndexEntrySink &sink);

} // namespace snipbrook
