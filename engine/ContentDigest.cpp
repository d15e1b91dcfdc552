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

// Eight constants with no pattern, one per word of a stripe.
constexpr std::uint64_t kKeys[8] = {0xbe4ba423396cfeb8ull, 0x1cad21f72c81017cull, 0xdb979083e96dd4deull,
                                    0x1f67b3b7a4a44072ull, 0x78e5c0cc4ee679cbull, 0x2172ffcc7dd05a82ull,
                                    0x8e2443f7744608b8ull, 0x4c263a81e69035e0ull};

// The 128-bit product of a and b, its halves folded into one.
inline std::uint64_t fold(std::uint64_t a, std::uint64_t b) {
    __extension__ using Wide = unsigned __int128;
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
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
    // Four independent lanes over 64-byte stripes, each folding the 128-bit product of two
    // words, and adding the words themselves, so that a factor of zero loses nothing: one
    // multiply per 16 bytes, none waiting on another.
    std::uint64_t a = kMul1, b = kMul2, c = kMul3, d = kMul1 ^ kMul2;
    const std::uint8_t* p = data;
    std::size_t n = length;
    auto step = [](std::uint64_t& acc, const std::uint8_t* words, std::uint64_t key0, std::uint64_t key1) {
        const std::uint64_t lo = load64(words), hi = load64(words + 8);
        acc += fold(lo ^ key0, hi ^ key1) + (lo ^ hi);
    };
    for (; n >= 64; p += 64, n -= 64) {
        step(a, p, kKeys[0], kKeys[1]);
        step(b, p + 16, kKeys[2], kKeys[3]);
        step(c, p + 32, kKeys[4], kKeys[5]);
        step(d, p + 48, kKeys[6], kKeys[7]);
    }
    std::uint64_t h = rotl(a, 1) + rotl(b, 7) + rotl(c, 12) + rotl(d, 18);
    h ^= static_cast<std::uint64_t>(length) * kMul3;
    for (; n >= 8; p += 8, n -= 8) h = rotl(h ^ lane(0, load64(p)), 27) * kMul1 + kMul3;
    for (; n > 0; ++p, --n) h = rotl(h ^ (*p * kMul3), 11) * kMul1;
    return avalanche(h);
}

}  // namespace parelix
