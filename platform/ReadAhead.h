#pragma once
// Reads of searched files asked ahead of their use and served by a few threads, so that a
// disk with many reads in flight answers them together instead of one seek at a time. Each
// read opens the file, takes its identity and size, reads one piece from a given offset and
// closes it again: a bounded number of slots bounds both memory and open descriptors.
// Only the thread that asks touches the answers; the threads touch nothing but the slots.
// Waking a thread costs more than reading a small file from memory: readers can be told to
// wake only once a batch of reads is asked, and then take half of what waits, from the far
// end, while the asking thread reads the near end itself. A read no reader has started is
// read by the thread that waits for it.
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SearchedFile.h"

namespace parelix {

class ReadAhead {
public:
    using Ticket = std::uint32_t;

    struct Answer {
        bool opened = false;        // false: not a regular file that could be opened (or found)
        FileStat stat;              // when opened
        std::size_t length = 0;     // bytes read from the offset (the piece is read until full)
        const std::uint8_t* data = nullptr;
        int error = 0;              // an input/output error code raised by the read, or by an
                                    // open refused for want of descriptors or memory; else 0
        bool cached = false;        // the bytes were in memory already: no disk was waited for
    };

    // threads readers, slots reads asked at once at most, each of up to capacity bytes, read
    // through `call`; files are opened through `folders` when given.
    ReadAhead(unsigned threads, std::size_t slots, std::size_t capacity, ReadCall call = &::read,
              FolderHandles* folders = nullptr);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    unsigned threads() const { return static_cast<unsigned>(readers_.size()); }
    // How many of the threads take asked reads (at most threads()); the others sleep. All
    // of them at first. A reader wakes once `batch` reads wait unstarted, and takes half of
    // them, the last asked first (with a batch of 1: one at a time, the first asked first).
    void setServing(unsigned count, unsigned batch = 1);
    // Readers inside a read now (an instant's view, for counting this process's busy threads).
    unsigned busyReaders() const { return busy_.load(std::memory_order_relaxed); }
    ReadCall readCall() const { return read_; }
    // How the asking thread opens the files it reads itself, as the readers do.
    FolderHandles* folders() const { return folders_; }
    // The most threads told to serve at once so far (by setServing).
    unsigned mostServing() const;
    // True when every slot is asked and not yet released.
    bool full() const { return free_.empty(); }
    // Slots asked and not yet released.
    std::size_t slotsAsked() const { return slots_.size() - free_.size(); }
    // Asks for up to length bytes of the file from offset; the slot is the caller's until
    // released. Not to be called when full(). A length of 0 only looks the file up (stat):
    // it is not opened.
    Ticket ask(const std::string& posixPath, std::uint64_t offset, std::size_t length);
    // Waits for the read; the answer holds until release(). A read error is passed on as the
    // input/output error it raised.
    const Answer& wait(Ticket ticket);
    void release(Ticket ticket);

private:
    // Asked: waits in the queue; Taken: in a reader's batch, not started, so still the waiting
    // thread's to read if it comes first; Reading: a reader or the waiting thread reads it.
    enum class State : std::uint8_t { Free, Asked, Taken, Reading, Done };
    struct Slot {
        std::atomic<State> state = State::Free;   // changed under mutex_; read without it by a waiter that spins
        std::string path;
        std::uint64_t offset = 0;
        std::size_t length = 0;
        Answer answer;
        std::unique_ptr<std::uint8_t[]> buffer;
        std::size_t room = 0;       // the buffer's size
    };
    void serve(unsigned index);
    void takeBatch(std::vector<Ticket>& batch);   // under mutex_
    void unqueue(Ticket ticket);   // under mutex_: no reader will take it
    void waitDone(std::unique_lock<std::mutex>& lock, const Slot& slot);
    void read(Slot& slot);

    std::size_t capacity_;
    ReadCall read_;
    FolderHandles* folders_;
    std::vector<Slot> slots_;
    std::vector<Ticket> free_;        // the asking thread's alone
    std::deque<Ticket> queue_;        // asked, not yet taken by a reader (under mutex_)
    mutable std::mutex mutex_;
    std::condition_variable asked_;
    std::condition_variable done_;
    std::condition_variable parked_;  // threads not serving wait here
    bool ending_ = false;
    unsigned serving_ = UINT_MAX;     // threads with a lower index take reads (under mutex_)
    unsigned batch_ = 1;              // (under mutex_)
    unsigned idle_ = 0;               // serving readers asleep for want of reads (under mutex_)
    bool waiting_ = false;            // the asking thread sleeps until a read is done (under mutex_)
    unsigned mostServing_ = 0;        // (under mutex_)
    std::atomic<unsigned> busy_ = 0;
    std::vector<std::thread> readers_;
};

}  // namespace parelix
