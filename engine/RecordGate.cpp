#include "engine/RecordGate.h"

namespace parelix {

void RecordGate::handOver(std::int64_t records) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) throw Cancelled{};
    if (records <= records_) return;
    records_ = records;
    if (waitingFor_ >= 0 && records_ >= waitingFor_) changed_.notify_all();
}

void RecordGate::finish(std::int64_t records) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (records > records_) records_ = records;
    finished_ = true;
    changed_.notify_all();
}

void RecordGate::fail(std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = std::move(error);
    changed_.notify_all();
}

std::int64_t RecordGate::waitFor(std::int64_t records) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (cancelled_) throw Cancelled{};
        if (error_) std::rethrow_exception(error_);
        if (records_ >= records || finished_) break;
        waitingFor_ = records;
        changed_.wait(lock);
        waitingFor_ = -1;
    }
    return records_;
}

std::int64_t RecordGate::handedOver() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_ ? 0 : records_;
}

bool RecordGate::finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_ && !error_;
}

void RecordGate::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

bool RecordGate::cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

void RecordGate::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_ = 0;
    waitingFor_ = -1;
    finished_ = cancelled_ = false;
    error_ = nullptr;
}

}  // namespace parelix
