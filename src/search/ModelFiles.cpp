#include "ModelFiles.h"

namespace snipbrook {

const ModelFileSet &ModelFileSet::published()
{
    static const ModelFileSet files{
        {QStringLiteral("model.json"), 247026, 0x5b6a24bbb3ee7bcfULL},
        {QStringLiteral("vocab.json"), 218327, 0x07f1183eac862886ULL},
        {
            {QStringLiteral("group1-shard1of7"), 4194304, 0x921061bdc1b8eaf3ULL},
            {QStringLiteral("group1-shard2of7"), 4194304, 0xdd3de612c19804c4ULL},
            {QStringLiteral("group1-shard3of7"), 4194304, 0x477c1d1ae37635f3ULL},
            {QStringLiteral("group1-shard4of7"), 4194304, 0xcb62b4b2e5abf1d8ULL},
            {QStringLiteral("group1-shard5of7"), 4194304, 0x5b2fdcd5f548fe6aULL},
            {QStringLiteral("group1-shard6of7"), 4194304, 0x69f5cfaa8056589dULL},
            {QStringLiteral("group1-shard7of7"), 2737832, 0xf2acb745e9a893aeULL},
        },
    };
    return files;
}

} // namespace snipbrook
