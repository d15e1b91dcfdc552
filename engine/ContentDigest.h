#pragma once
// A digest of a chunk's bytes, to file the files of a size class by their first chunk.
#include <cstddef>
#include <cstdint>

namespace parelix {

// A 64-bit digest of a chunk's bytes and of its length. Two chunks with different digests
// differ; equal digests prove nothing, the bytes are compared anyway.
std::uint64_t chunkDigest(const std::uint8_t* data, std::size_t length);

}  // namespace parelix
