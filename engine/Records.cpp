#include "engine/Records.h"

#include <algorithm>
#include <cstring>

namespace parelix {

namespace {

void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void putShortString(std::string_view s, std::uint8_t* field) {
    const std::size_t n = std::min<std::size_t>(s.size(), 255);
    field[0] = static_cast<std::uint8_t>(n);
    std::memcpy(field + 1, s.data(), n);
}

std::string_view getShortString(const std::uint8_t* field) {
    return {reinterpret_cast<const char*>(field + 1), field[0]};
}

}  // namespace

void encodeFileEntry(const FileEntry& entry, std::uint8_t* record) {
    encodeFileEntry(entry.name, entry.size, entry.dirIndex, entry.node, record);
}

void encodeFileEntry(std::string_view name, std::int32_t size, std::uint32_t dirIndex, NodeId node,
                     std::uint8_t* record) {
    putShortString(name, record);
    putU32(record + 256, static_cast<std::uint32_t>(size));
    // Low half of the directory index at 260, high half in the former padding at 262.
    putU32(record + 260, dirIndex);
    putU32(record + 264, node);
}

FileEntry decodeFileEntry(const std::uint8_t* record) {
    const FileEntryView view(record);
    return FileEntry{std::string(view.name()), view.size(), view.dirIndex(), view.node()};
}

void encodeDirRecord(std::string_view path, std::uint8_t* record) { putShortString(path, record); }

std::string decodeDirRecord(const std::uint8_t* record) { return std::string(getShortString(record)); }

}  // namespace parelix
