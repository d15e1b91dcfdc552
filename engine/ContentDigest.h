#pragma once
// What the content compare remembers of the files of one size class, so that a pair whose
// first chunks are known to differ is answered without opening either file again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace parelix {

// A 64-bit digest of a chunk's bytes and of its length. Two chunks with different digests
// differ; equal digests prove nothing, the bytes are compared anyway.
std::uint64_t chunkDigest(const std::uint8_t* data, std::size_t length);

struct FileFacts {
    std::string posixPath;        // empty when the Windows-style path names no file
    bool statOk = false;          // identity and type below are known
    bool regular = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool digestKnown = false;     // the first chunk was read once
    std::uint64_t digest = 0;
};

// Facts keyed by full Windows-style path, for one size class at a time.
class SizeClassMemory {
public:
    // Forgets everything when size is not the class remembered.
    void enterClass(std::int32_t size);
    // The facts of path, looked up (stat, path mapping) on first use within the class.
    FileFacts& facts(const std::string& fullPath);
    std::size_t fileCount() const { return facts_.size(); }
    void clear();

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    bool inClass_ = false;
    std::int32_t size_ = 0;
    std::unordered_map<std::string, FileFacts, Hash, std::equal_to<>> facts_;
};

}  // namespace parelix
