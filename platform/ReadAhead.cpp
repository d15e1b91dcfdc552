#include "platform/ReadAhead.h"

#include <signal.h>

#include <algorithm>
#include <cassert>
#include <system_error>

#include "platform/WorkFile.h"

namespace parelix {

ReadAhead::ReadAhead(unsigned threads, std::size_t slots, std::size_t capacity, ReadCall call,
                     FolderHandles* folders)
    : capacity_(capacity), read_(call), folders_(folders), slots_(slots) {
    free_.reserve(slots);
    for (std::size_t i = slots; i-- > 0;) free_.push_back(static_cast<Ticket>(i));
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
    bool wake;
    {
        std::lock_guard lock(mutex_);
        slot.state = State::Asked;
        queue_.push_back(ticket);
        wake = idle_ > 0 && queue_.size() >= batch_;
    }
    if (wake) asked_.notify_one();
    return ticket;
}

void ReadAhead::unqueue(Ticket ticket) {
    const auto it = std::find(queue_.begin(), queue_.end(), ticket);
    if (it != queue_.end()) queue_.erase(it);
}

void ReadAhead::waitDone(std::unique_lock<std::mutex>& lock, const Slot& slot) {
    if (slot.state == State::Done) return;
    // A reader is inside this read: a small one ends in microseconds, sooner than a
    // sleep and a wake-up would take.
    lock.unlock();
    for (int spin = 0; spin < 2000 && slot.state.load(std::memory_order_acquire) != State::Done; ++spin) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    lock.lock();
    while (slot.state != State::Done) {
        waiting_ = true;
        done_.wait(lock);
    }
    waiting_ = false;
}

const ReadAhead::Answer& ReadAhead::wait(Ticket ticket) {
    assert(ticket < slots_.size());
    Slot& slot = slots_[ticket];
    {
        std::unique_lock lock(mutex_);
        const State state = slot.state;
        assert(state != State::Free && "waited for after its release");
        if (state == State::Asked || state == State::Taken) {
            // No reader has started it: read it here rather than wait behind the others.
            if (state == State::Asked) unqueue(ticket);
            slot.state = State::Reading;
            lock.unlock();
            read(slot);
            lock.lock();
            slot.state = State::Done;
        }
        waitDone(lock, slot);
    }
    if (slot.answer.error != 0) raiseInOutError(slot.answer.error);
    return slot.answer;
}

void ReadAhead::release(Ticket ticket) {
    assert(ticket < slots_.size());
    Slot& slot = slots_[ticket];
    {
        std::unique_lock lock(mutex_);
        const State state = slot.state;
        assert(state != State::Free && "released twice");
        // A read in a reader's batch not yet started is skipped by it; one being read is
        // waited for: its buffer must not be handed out again.
        if (state == State::Asked) unqueue(ticket);
        else if (state == State::Reading) waitDone(lock, slot);
        slot.state = State::Free;
    }
    free_.push_back(ticket);
}

void ReadAhead::setServing(unsigned count, unsigned batch) {
    batch = std::max(batch, 1u);
    {
        std::lock_guard lock(mutex_);
        mostServing_ = std::max(mostServing_, std::min<unsigned>(count, threads()));
        if (count == serving_ && batch == batch_) return;
        serving_ = count;
        batch_ = batch;
    }
    parked_.notify_all();
    asked_.notify_all();
}

unsigned ReadAhead::mostServing() const {
    std::lock_guard lock(mutex_);
    return mostServing_;
}

void ReadAhead::takeBatch(std::vector<Ticket>& batch) {
    batch.clear();
    if (batch_ <= 1) {
        batch.push_back(queue_.front());
        queue_.pop_front();
    } else {
        // The far half: the asking thread reads the near end itself meanwhile.
        const std::size_t take = (queue_.size() + 1) / 2;
        batch.assign(queue_.end() - static_cast<std::ptrdiff_t>(take), queue_.end());
        queue_.erase(queue_.end() - static_cast<std::ptrdiff_t>(take), queue_.end());
    }
    for (const Ticket t : batch) slots_[t].state = State::Taken;
}

void ReadAhead::serve(unsigned index) {
    std::vector<Ticket> batch;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            parked_.wait(lock, [&] { return ending_ || index < serving_; });
            ++idle_;
            asked_.wait(lock, [&] { return ending_ || index >= serving_ || queue_.size() >= batch_; });
            --idle_;
            if (ending_) return;
            if (index >= serving_) {
                // Parked meanwhile: a wake-up meant for a read goes on to a thread that serves.
                if (queue_.size() >= batch_) asked_.notify_one();
                continue;
            }
            takeBatch(batch);
        }
        Slot* previous = nullptr;
        for (std::size_t k = 0;;) {
            Slot* slot = nullptr;
            bool wake = false;
            {
                std::lock_guard lock(mutex_);
                if (previous) {
                    previous->state = State::Done;
                    wake = waiting_;
                }
                // Skip a read that the asking thread took or released meanwhile, or that
                // was asked again for another file.
                while (k < batch.size() && slots_[batch[k]].state != State::Taken) ++k;
                if (k < batch.size()) {
                    slot = &slots_[batch[k++]];
                    slot->state = State::Reading;
                }
            }
            // Its waiter, if asleep, wakes.
            if (wake) done_.notify_all();
            if (!slot) break;
            busy_.fetch_add(1, std::memory_order_relaxed);
            read(*slot);
            busy_.fetch_sub(1, std::memory_order_relaxed);
            previous = slot;
        }
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
    if (!file.open(slot.path, read_, folders_)) {
        // Without descriptors or memory no file would open: that ends the search, it does
        // not make this one unreadable.
        if (lacksResources(file.openError())) a.error = inOutCodeFromErrno(file.openError());
        return;
    }
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
