#include "ModelChecksum.h"

#include <cstring>

namespace snipbrook {
namespace {

constexpr std::uint64_t prime1 = 11400714785074694791ULL;
constexpr std::uint64_t prime2 = 14029467366897019727ULL;
constexpr std::uint64_t prime3 = 1609587929392839161ULL;
constexpr std::uint64_t prime4 = 9650029242287828579ULL;
constexpr std::uint64_t prime5 = 2870177450012600261ULL;

std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

std::uint64_t read64(const unsigned char *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v); // little-endian host, as the format is defined
    return v;
}

std::uint32_t read32(const unsigned char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t round(std::uint64_t acc, std::uint64_t input)
{
    acc += input * prime2;
    acc = rotl(acc, 31);
    return acc * prime1;
}

std::uint64_t mergeRound(std::uint64_t acc, std::uint64_t value)
{
    acc ^= round(0, value);
    return acc * prime1 + prime4;
}

} // namespace

std::uint64_t xxHash64(const void *data, std::size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    const unsigned char *const end = p + size;
    std::uint64_t h;
    if (size >= 32) {
        std::uint64_t v1 = prime1 + prime2;
        std::uint64_t v2 = prime2;
        std::uint64_t v3 = 0;
        std::uint64_t v4 = 0 - prime1;
        const unsigned char *const limit = end - 32;
        do {
            v1 = round(v1, read64(p));
            v2 = round(v2, read64(p + 8));
            v3 = round(v3, read64(p + 16));
            v4 = round(v4, read64(p + 24));
            p += 32;
        } while (p <= limit);
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        h = mergeRound(h, v1);
        h = mergeRound(h, v2);
        h = mergeRound(h, v3);
        h = mergeRound(h, v4);
    } else {
        h = prime5;
    }
    h += static_cast<std::uint64_t>(size);
    while (p + 8 <= end) {
        h ^= round(0, read64(p));
        h = rotl(h, 27) * prime1 + prime4;
        p += 8;
    }
    if (p + 4 <= end) {
        h ^= static_cast<std::uint64_t>(read32(p)) * prime1;
        h = rotl(h, 23) * prime2 + prime3;
        p += 4;
    }
    while (p < end) {
        h ^= static_cast<std::uint64_t>(*p) * prime5;
        h = rotl(h, 11) * prime1;
        ++p;
    }
    h ^= h >> 33;
    h *= prime2;
    h ^= h >> 29;
    h *= prime3;
    h ^= h >> 32;
    return h;
}

} // namespace snipbrook
