#pragma once
// What the content compare remembers of the files of one size class, so that a pair whose
// first chunks are known to differ is answered without opening either file again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace parelix {

// A 64-bit digest of a chunk's bytes and of its length. Two chunks with different digests
// differ; equal digests prove nothing, the bytes are compared anyway.
std::uint64_t chunkDigest(const std::uint8_t* data, std::size_t length);

struct FileFacts {
    std::string fullPath;         // Windows-style, as shown and logged
    std::string posixPath;        // empty when the Windows-style path names no file
    bool identityKnown = false;   // device, inode and type below are known
    bool regular = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool digestKnown = false;     // the first chunk was read once
    std::uint64_t digest = 0;

    // Learns identity and type from the path, for files that are never opened (empty ones).
    void statIdentity();
};

// Facts of the files of one size class, keyed by the file's DirList node (one node per
// collected file), so that a pair already settled costs two lookups and no path building.
class SizeClassMemory {
public:
    // Forgets everything when size is not the class remembered; true then.
    bool enterClass(std::int32_t size);
    FileFacts* find(std::uint32_t node) {
        auto it = facts_.find(node);
        return it == facts_.end() ? nullptr : &it->second;
    }
    // Records a file met for the first time in the class.
    FileFacts& add(std::uint32_t node, std::string fullPath);
    std::size_t fileCount() const { return facts_.size(); }
    void clear();

private:
    bool inClass_ = false;
    std::int32_t size_ = 0;
    std::unordered_map<std::uint32_t, FileFacts> facts_;
};

}  // namespace parelix
