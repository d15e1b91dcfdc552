#include "engine/ContentDigest.h"

#include <cstring>

namespace parelix {

namespace {

constexpr std::uint64_t kMul1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kMul2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kMul3 = 0x165667B19E3779F9ull;

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline std::uint64_t rotl(std::uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }

inline std::uint64_t lane(std::uint64_t acc, std::uint64_t word) {
    return rotl(acc + word * kMul2, 31) * kMul1;
}

inline std::uint64_t avalanche(std::uint64_t h) {
    h ^= h >> 33;
    h *= kMul2;
    h ^= h >> 29;
    h *= kMul3;
    h ^= h >> 32;
    return h;
}

}  // namespace

std::uint64_t chunkDigest(const std::uint8_t* data, std::size_t length) {
    // Four independent lanes over 32-byte stripes keep the multiplier pipelines busy:
    // a 65,528-byte chunk is hashed in a few microseconds.
    std::uint64_t a = kMul1 + kMul2, b = kMul2, c = 0, d = 0 - kMul1;
    const std::uint8_t* p = data;
    std::size_t n = length;
    for (; n >= 32; p += 32, n -= 32) {
        a = lane(a, load64(p));
        b = lane(b, load64(p + 8));
        c = lane(c, load64(p + 16));
        d = lane(d, load64(p + 24));
    }
    std::uint64_t h = rotl(a, 1) + rotl(b, 7) + rotl(c, 12) + rotl(d, 18);
    h ^= static_cast<std::uint64_t>(length) * kMul3;
    for (; n >= 8; p += 8, n -= 8) h = rotl(h ^ lane(0, load64(p)), 27) * kMul1 + kMul3;
    for (; n > 0; ++p, --n) h = rotl(h ^ (*p * kMul3), 11) * kMul1;
    return avalanche(h);
}

}  // namespace parelix
