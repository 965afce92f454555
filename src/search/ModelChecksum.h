#pragma once

#include <cstddef>
#include <cstdint>

namespace snipbrook {

// XXH64 of a byte range (seed 0). Fast enough to check all model files on every load
// (several GB/s) while still catching any truncation or altered byte.
std::uint64_t xxHash64(const void *data, std::size_t size);

} // namespace snipbrook
