#pragma once
// Reads the sorted file list front to back in blocks of records, with one record of look-ahead
// (where a size class ends), and single records by number for the comparison's second look.
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/RecordGate.h"
#include "engine/Records.h"
#include "platform/WorkFile.h"

namespace parelix {

class FileListCursor {
public:
    // The list must be open for reading; buffer holds `capacity` records.
    FileListCursor(WorkFile& list, std::uint8_t* buffer, std::size_t capacity);
    // The same over a list another thread is still writing, `total` records in the end: a
    // record is read only once `written` has it.
    FileListCursor(WorkFile& list, std::uint8_t* buffer, std::size_t capacity, RecordGate& written,
                   std::int64_t total);

    bool atEnd() const { return next_ >= total_; }
    // Record number of the record next() gives.
    std::int64_t position() const { return next_; }
    // The record next() will give, or nullptr at the end; valid until next(). Waits for it
    // while the list is being written.
    const std::uint8_t* peek();
    // The next `count` records (or those up to the end) can be read without waiting.
    bool ready(std::int64_t count) const;
    // Takes the next record; the pointer stays valid until the following call of next().
    const std::uint8_t* next();
    // The front-to-back reading goes on from this record.
    void moveTo(std::int64_t number) { next_ = number; }
    // Any record by number, into out; the front-to-back reading is not disturbed.
    void recordAt(std::int64_t number, std::uint8_t* out);

private:
    WorkFile& list_;
    RecordGate* written_ = nullptr;
    std::uint8_t* buffer_;
    std::size_t capacity_;
    std::int64_t total_ = 0;
    std::int64_t next_ = 0;          // record number of the next record
    std::int64_t blockFirst_ = 0;    // record number of the buffer's first record
    std::size_t blockCount_ = 0;     // records in the buffer
    std::array<std::uint8_t, kFileEntrySize> current_{};
};

}  // namespace parelix
