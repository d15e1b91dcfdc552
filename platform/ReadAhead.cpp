#include "platform/ReadAhead.h"

#include <signal.h>

#include <algorithm>
#include <cassert>
#include <system_error>

#include "platform/WorkFile.h"

namespace parelix {

ReadAhead::ReadAhead(unsigned threads, std::size_t slots, std::size_t capacity, ReadCall call)
    : capacity_(capacity), read_(call), slots_(slots) {
    free_.reserve(slots);
    for (std::size_t i = slots; i-- > 0;) free_.push_back(static_cast<Ticket>(i));
    queue_.reserve(slots);
    // The quit signals are the window's: readers leave them to the thread that handles them.
    sigset_t quiet, before;
    sigemptyset(&quiet);
    for (const int s : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&quiet, s);
    pthread_sigmask(SIG_BLOCK, &quiet, &before);
    // Fewer readers than asked (threads refused) only means less in flight; with none at
    // all, wait() reads on the asking thread.
    for (unsigned t = 0; t < threads; ++t) {
        try {
            readers_.emplace_back([this, t] { serve(t); });
        } catch (const std::system_error&) {
            break;
        }
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    parked_.notify_all();
    asked_.notify_all();
    for (auto& t : readers_)
        if (t.joinable()) t.join();
    readers_.clear();
}

ReadAhead::Ticket ReadAhead::ask(const std::string& posixPath, std::uint64_t offset, std::size_t length) {
    assert(!free_.empty() && "asked when full");
    const Ticket ticket = free_.back();
    free_.pop_back();
    Slot& slot = slots_[ticket];
    slot.path = posixPath;
    slot.offset = offset;
    slot.length = length < capacity_ ? length : capacity_;
    // As large as the reads asked of the slot so far: probes are small, and a slot that never
    // serves a chunk never holds one.
    if (!slot.buffer || slot.room < slot.length) {
        slot.room = std::max<std::size_t>(slot.length, 1);
        slot.buffer = std::make_unique<std::uint8_t[]>(slot.room);
    }
    {
        std::lock_guard lock(mutex_);
        slot.state = State::Asked;
        queue_.push_back(ticket);
    }
    asked_.notify_one();
    return ticket;
}

void ReadAhead::unqueue(Ticket ticket) {
    const auto it = std::find(queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_), queue_.end(), ticket);
    if (it != queue_.end()) queue_.erase(it);
}

const ReadAhead::Answer& ReadAhead::wait(Ticket ticket) {
    assert(ticket < slots_.size());
    Slot& slot = slots_[ticket];
    {
        std::unique_lock lock(mutex_);
        assert(slot.state != State::Free && "waited for after its release");
        if (slot.state == State::Asked) {
            // Nobody has taken it yet: read it here rather than wait behind the others.
            unqueue(ticket);
            slot.state = State::Reading;
            lock.unlock();
            read(slot);
            lock.lock();
            slot.state = State::Done;
        }
        done_.wait(lock, [&] { return slot.state == State::Done; });
    }
    if (slot.answer.error != 0) raiseInOutError(slot.answer.error);
    return slot.answer;
}

void ReadAhead::release(Ticket ticket) {
    // A slot still being read is waited for: its buffer must not be handed out again.
    assert(ticket < slots_.size());
    Slot& slot = slots_[ticket];
    {
        std::unique_lock lock(mutex_);
        assert(slot.state != State::Free && "released twice");
        if (slot.state == State::Asked) {
            unqueue(ticket);
        } else {
            done_.wait(lock, [&] { return slot.state == State::Done; });
        }
        slot.state = State::Free;
    }
    free_.push_back(ticket);
}

void ReadAhead::setServing(unsigned count) {
    {
        std::lock_guard lock(mutex_);
        if (count == serving_) return;
        serving_ = count;
        mostServing_ = std::max(mostServing_, std::min<unsigned>(count, threads()));
    }
    parked_.notify_all();
    asked_.notify_all();
}

unsigned ReadAhead::mostServing() const {
    std::lock_guard lock(mutex_);
    return mostServing_;
}

void ReadAhead::serve(unsigned index) {
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex_);
            parked_.wait(lock, [&] { return ending_ || index < serving_; });
            asked_.wait(lock, [&] { return ending_ || index >= serving_ || queueHead_ < queue_.size(); });
            if (ending_) return;
            if (index >= serving_) {
                // Parked meanwhile: a wake-up meant for a read goes on to a thread that serves.
                if (queueHead_ < queue_.size()) asked_.notify_one();
                continue;
            }
            slot = &slots_[queue_[queueHead_++]];
            if (queueHead_ == queue_.size()) {
                queue_.clear();
                queueHead_ = 0;
            }
            slot->state = State::Reading;
        }
        read(*slot);
        {
            std::lock_guard lock(mutex_);
            slot->state = State::Done;
        }
        done_.notify_all();
    }
}

void ReadAhead::read(Slot& slot) {
    Answer& a = slot.answer;
    a = Answer{};
    a.data = slot.buffer.get();
    if (slot.length == 0) {
        // Nothing to read: only the file's identity and size, without opening it.
        const auto st = statRegularFile(slot.path);
        a.opened = st.has_value();
        if (st) a.stat = *st;
        a.cached = true;
        return;
    }
    SearchedFile file;
    if (!file.open(slot.path, read_)) return;
    a.opened = true;
    a.stat = file.stat();
    try {
        if (slot.offset != 0 && !file.seek(slot.offset)) {
            a.opened = false;
            return;
        }
        const auto cached = file.readChunkIfCached(slot.buffer.get(), slot.length);
        a.cached = cached.has_value();
        a.length = cached ? *cached : file.readChunk(slot.buffer.get(), slot.length);
    } catch (const InOutError& e) {
        a.error = e.code();
    }
}

}  // namespace parelix
