#pragma once
// The records of a work file that one thread writes while another reads it: how many the
// writer has handed to the system so far, whether it is done, and what ended it.
//
// The reader never reads past the count: a record the writer is still copying in could be
// read half old, half new. Waits are short (a block of records), and the writer wakes the
// reader only when it waits.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>

namespace parelix {

class RecordGate {
public:
    // The writer was told to give up (the run no longer needs what it makes).
    struct Cancelled {};

    // Writer: `records` of the file are in the system's hands (never fewer than before).
    void handOver(std::int64_t records);
    // Writer: the file is complete with `records`.
    void finish(std::int64_t records);
    // Writer: an error ended the writing; every reader that waits raises it.
    void fail(std::exception_ptr error);

    // Reader: waits until at least `records` are handed over, or the file is complete; gives
    // the count handed over. Raises the writer's error; Cancelled once cancelled.
    std::int64_t waitFor(std::int64_t records);
    // Reader: the count handed over now, without waiting (0 after a failure).
    std::int64_t handedOver() const;
    bool finished() const;

    // Either side: the writer gives up at its next wait or hand-over; readers raise
    // Cancelled. For good, until reset.
    void cancel();
    bool cancelled() const;
    // Writer side, before writing a new file: nothing handed over, nothing ended.
    void reset();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t records_ = 0;
    std::int64_t waitingFor_ = -1;   // what a reader waits for, -1 when none waits
    bool finished_ = false;
    bool cancelled_ = false;
    std::exception_ptr error_;
};

}  // namespace parelix
