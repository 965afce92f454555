#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace snipbrook {

// One file of the encoder's model set, with the size and XXH64 checksum it must have.
struct ModelFile {
    QString name;
    qint64 size;
    std::uint64_t checksum;
};

struct ModelFileSet {
    ModelFile manifest;           // model.json: the graph and the weights manifest
    ModelFile vocabulary;         // vocab.json: the SentencePiece pieces
    std::vector<ModelFile> shards; // the weight stream, cut into pieces; tensors cross them

    // The files as published in the model package (version 0.2.0). Any other content is not
    // this model, and loading refuses it.
    static const ModelFileSet &published();
};

} // namespace snipbrook
