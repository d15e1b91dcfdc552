#include "engine/FileListCursor.h"

#include <algorithm>
#include <cstring>

namespace parelix {

FileListCursor::FileListCursor(WorkFile& list, std::uint8_t* buffer, std::size_t capacity)
    : list_(list), buffer_(buffer), capacity_(capacity), total_(list.fileSize()) {}

FileListCursor::FileListCursor(WorkFile& list, std::uint8_t* buffer, std::size_t capacity,
                               RecordGate& written, std::int64_t total)
    : list_(list), written_(&written), buffer_(buffer), capacity_(capacity), total_(total) {}

bool FileListCursor::ready(std::int64_t count) const {
    return !written_ || written_->handedOver() >= std::min(next_ + count, total_);
}

const std::uint8_t* FileListCursor::peek() {
    if (atEnd()) return nullptr;
    if (next_ < blockFirst_ || next_ >= blockFirst_ + static_cast<std::int64_t>(blockCount_)) {
        std::size_t wanted = capacity_;
        // Never past what the writer has handed over: a record it is still writing could
        // be read half written.
        if (written_) {
            const std::int64_t there = written_->waitFor(next_ + 1);
            wanted = static_cast<std::size_t>(std::min<std::int64_t>(there - next_, static_cast<std::int64_t>(capacity_)));
        }
        list_.seek(next_);
        blockFirst_ = next_;
        blockCount_ = list_.blockRead(buffer_, wanted);
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
