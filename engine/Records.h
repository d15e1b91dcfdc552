#pragma once
// Record formats of the work files. All integers little-endian.
//
// File entry, 268 bytes:
//   0   256  name, length-prefixed (length byte, then up to 255 bytes)
//   256   4  size: low 32 bits of the size, signed
//   260   2  directory index, low half
//   262   2  directory index, high half (widened into what was padding, so a run may
//            walk any number of directories)
//   264   4  node of the file in DirList
// Directory record, 256 bytes: the directory's full path with its backslash, length-prefixed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "results/TreeStore.h"

namespace parelix {

constexpr std::size_t kFileEntrySize = 268;
constexpr std::size_t kDirRecordSize = 256;
constexpr std::size_t kBlockBufferSize = 65528;   // 0xFFF8
constexpr std::size_t kSortBlockRecords = 243;    // 65,124 bytes
constexpr std::size_t kCompareWindowRecords = 244;   // 65,392 bytes

struct FileEntry {
    std::string name;          // cut to 255 bytes when written
    std::int32_t size = 0;
    std::uint32_t dirIndex = 0;
    NodeId node = kNoNode;
};

void encodeFileEntry(const FileEntry& entry, std::uint8_t* record);   // 268 bytes
// The same from the fields, for the collection walk, which has no FileEntry to build.
void encodeFileEntry(std::string_view name, std::int32_t size, std::uint32_t dirIndex, NodeId node,
                     std::uint8_t* record);
FileEntry decodeFileEntry(const std::uint8_t* record);

// A file-entry record where it lies (a block buffer, a window of the list), read field by
// field without a copy: the sort and the comparison read sizes in their hot loops.
class FileEntryView {
public:
    explicit FileEntryView(const std::uint8_t* record) : record_(record) {}

    std::int32_t size() const { return static_cast<std::int32_t>(u32(256)); }
    std::uint32_t dirIndex() const { return u32(260); }
    NodeId node() const { return u32(264); }
    std::string_view name() const { return {reinterpret_cast<const char*>(record_ + 1), record_[0]}; }

private:
    std::uint32_t u32(std::size_t at) const {
        const std::uint8_t* p = record_ + at;
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    const std::uint8_t* record_;
};

void encodeDirRecord(std::string_view path, std::uint8_t* record);     // 256 bytes
std::string decodeDirRecord(const std::uint8_t* record);

}  // namespace parelix
