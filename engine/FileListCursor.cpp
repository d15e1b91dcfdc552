#include "engine/FileListCursor.h"

#include <cstring>

namespace parelix {

FileListCursor::FileListCursor(WorkFile& list, std::uint8_t* buffer, std::size_t capacity)
    : list_(list), buffer_(buffer), capacity_(capacity), total_(list.fileSize()) {}

const std::uint8_t* FileListCursor::peek() {
    if (atEnd()) return nullptr;
    if (next_ < blockFirst_ || next_ >= blockFirst_ + static_cast<std::int64_t>(blockCount_)) {
        list_.seek(next_);
        blockFirst_ = next_;
        blockCount_ = list_.blockRead(buffer_, capacity_);
        if (blockCount_ == 0) raiseInOutError(100);
    }
    return buffer_ + static_cast<std::size_t>(next_ - blockFirst_) * kFileEntrySize;
}

const std::uint8_t* FileListCursor::next() {
    const std::uint8_t* record = peek();
    if (!record) return nullptr;
    std::memcpy(current_.data(), record, kFileEntrySize);
    ++next_;
    return current_.data();
}

void FileListCursor::recordAt(std::int64_t number, std::uint8_t* out) { list_.readAt(number, out); }

}  // namespace parelix
