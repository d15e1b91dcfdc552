#include "engine/FileListSort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/Records.h"
#include "platform/Processors.h"

namespace parelix {

namespace {

constexpr int kBlock = static_cast<int>(kSortBlockRecords);

std::uint8_t* recordAt(std::uint8_t* buffer, int index) {
    return buffer + static_cast<std::size_t>(index) * kFileEntrySize;
}

// One input of a merge: a run read block by block into its buffer.
struct MergeInput {
    WorkFile& file;
    std::uint8_t* buffer;
    int count = 0;
    int position = 0;
    bool exhausted = false;

    void refill() {
        count = static_cast<int>(file.blockRead(buffer, kSortBlockRecords));
        position = 0;
        exhausted = count == 0;
    }
    const std::uint8_t* current() const { return recordAt(buffer, position); }
    std::int32_t size() const { return FileEntryView(current()).size(); }
    void advance() {
        if (++position == count) refill();
    }
};

// Whether the runs are made ahead, while the walk goes on.
bool aheadByDefault() {
    if (const char* forced = std::getenv("PARELIX_SORT_AHEAD"); forced && *forced)
        return std::strcmp(forced, "0") != 0;
    return processorsAllowed() >= 2;
}

}  // namespace

FileListSort::~FileListSort() { giveUp(); }

void FileListSort::startAhead() {
    giveUp();
    ahead_ = aheadMode_ == Ahead::Always || (aheadMode_ == Ahead::Auto && aheadByDefault());
    if (!ahead_) return;
    run_.listWritten.reset();
    run_.sortedWritten.reset();
    error_ = nullptr;
    stage_ = Stage::Ahead;
    buffers_ = run_.sortBuffers();
    thread_ = std::thread([this] { sortAhead(); });
}

// The sort's own thread: everything but the last rename, which waits for the comparison.
void FileListSort::sortAhead() {
    int level = 0;
    try {
        // The walk has made the list afresh before it hands over anything.
        run_.listWritten.waitFor(1);
        sortAll(level, true);
        setStage(Stage::Done);
    } catch (const RecordGate::Cancelled&) {
        removeRunFiles(level);
    } catch (...) {
        removeRunFiles(level);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            error_ = std::current_exception();
        }
        run_.sortedWritten.fail(error_);
        setStage(Stage::Failed);
    }
    topLevel_ = level;
}

void FileListSort::setStage(Stage stage) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stage_ = stage;
    }
    stageChanged_.notify_all();
}

void FileListSort::run() {
    run_.ui.logLine("Tri des fichiers par taille");
    if (run_.state.abandoned()) {   // the program is ending: nothing will read the order
        giveUp();
        return;
    }
    run_.ui.phaseStarted(SearchPhase::Sort, run_.fileCount);
    if (ahead_) {
        std::unique_lock<std::mutex> lock(mutex_);
        stageChanged_.wait(lock, [this] { return stage_ != Stage::Ahead; });
        if (stage_ == Stage::Failed) {
            lock.unlock();
            finish();
        }
        run_.sortedName = lastMergeName_;
        run_.sortedGrowing = true;
        lock.unlock();
        run_.ui.phaseEnded(SearchPhase::Sort, run_.fileCount);
        return;
    }
    buffers_ = run_.sortBuffers();
    int level = 0;
    try {
        sortAll(level, false);
    } catch (...) {
        // Run files hold file names and may fill the disk (a full disk is the usual cause):
        // none outlives a failed sort. Every run so far is named at this level or below.
        removeRunFiles(level);
        throw;
    }
    run_.ui.phaseEnded(SearchPhase::Sort, run_.fileCount);
}

void FileListSort::sortAll(int& level, bool ahead) {
    input_.assign(run_.fileListName, run_.drives());
    input_.reset(kFileEntrySize);
    taken_ = 0;
    endOfInput_ = false;
    buildRun(0, 0);
    while (!endOfInput_) {
        buildRun(level, 1);
        ++level;
        merge(level, 0, ahead && endOfInput_);
    }
    if (ahead) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastMergeName_ = currentOutput_->name();
        run_.sortedWritten.finish(taken_);
        return;
    }
    input_.close();
    input_.erase();
    currentOutput_->rename(run_.fileListName);
    currentOutput_ = nullptr;
}

void FileListSort::finish() {
    if (!ahead_) return;
    if (thread_.joinable()) thread_.join();
    ahead_ = false;
    run_.sortedGrowing = false;
    const Stage stage = stage_;
    stage_ = Stage::Idle;
    if (stage != Stage::Done) {
        // Its run files are gone already.
        if (error_) std::rethrow_exception(error_);
        return;
    }
    try {
        input_.close();
        input_.erase();
        currentOutput_->rename(run_.fileListName);
        currentOutput_ = nullptr;
    } catch (...) {
        removeRunFiles(topLevel_);
        throw;
    }
}

void FileListSort::giveUp() {
    if (!ahead_) return;
    run_.listWritten.cancel();
    if (thread_.joinable()) thread_.join();
    ahead_ = false;
    run_.sortedGrowing = false;
    if (stage_ == Stage::Done) removeRunFiles(topLevel_);
    stage_ = Stage::Idle;
}

std::string FileListSort::runFileName(const std::string& fileListName, int level, int side) {
    const char ext[5] = {'.', '0', static_cast<char>(level < 10 ? '0' + level : level + 55),
                         static_cast<char>('0' + side), '\0'};
    // Only a dot inside the last component starts an extension.
    const std::size_t lastSep = fileListName.find_last_of('\\');
    const std::size_t dot = fileListName.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (lastSep == std::string::npos || dot > lastSep);
    return (hasExt ? fileListName.substr(0, dot) : fileListName) + ext;
}

void FileListSort::closeRunOutput() {
    giveUp();
    for (WorkFile* file : {&runOutput_, &input_}) {
        if (!file->isOpen()) continue;
        try {
            file->close();
        } catch (const InOutError&) {
            // Its flush error has been reported already.
        }
    }
}

void FileListSort::removeRunFiles(int topLevel) {
    currentOutput_ = nullptr;
    for (WorkFile* file : {&runOutput_, &input_}) {
        if (!file->isOpen()) continue;
        try {
            file->close();
        } catch (const InOutError&) {
        }
    }
    for (int level = 0; level <= topLevel; ++level) {
        for (int side = 0; side < 2; ++side) {
            WorkFile run;
            run.assign(runFileName(run_.fileListName, level, side), run_.drives());
            try {
                run.erase();
            } catch (const InOutError&) {
                // Never made, or deleted by its merge already.
            }
        }
    }
}

// The next block of the list; ahead of the walk, only records it has handed over are read,
// and a short block (the end) only once it has closed the list.
int FileListSort::readBlock() {
    std::size_t wanted = kSortBlockRecords;
    if (ahead_) {
        const std::int64_t there = run_.listWritten.waitFor(taken_ + kBlock);
        wanted = static_cast<std::size_t>(std::min<std::int64_t>(there - taken_, kBlock));
    }
    const int n = static_cast<int>(input_.blockRead(buffers_.block, wanted));
    taken_ += n;
    return n;
}

void FileListSort::buildRun(int level, int side) {
    if (level == 0) {
        const int n = readBlock();
        if (n >= 2) sortBlock(0, n - 1);
        runOutput_.assign(runFileName(run_.fileListName, 0, side), run_.drives());
        runOutput_.rewrite(kFileEntrySize);
        runOutput_.blockWrite(buffers_.block, static_cast<std::size_t>(n));
        runOutput_.close();
        currentOutput_ = &runOutput_;
        endOfInput_ = n != kBlock;
        if (ahead_ && paceForTests) paceForTests();
        return;
    }
    buildRun(level - 1, 0);
    if (endOfInput_) {
        // The input ran out within the left half: that half is the whole run.
        currentOutput_->rename(runFileName(run_.fileListName, level, side));
        return;
    }
    buildRun(level - 1, 1);
    merge(level, side, false);
}

// The last merge (`last`) hands the sorted list on to the comparison block by block.
void FileListSort::merge(int level, int side, bool last) {
    WorkFile fileA;
    WorkFile fileB;
    fileA.assign(runFileName(run_.fileListName, level - 1, 0), run_.drives());
    fileA.reset(kFileEntrySize);
    fileB.assign(runFileName(run_.fileListName, level - 1, 1), run_.drives());
    fileB.reset(kFileEntrySize);
    runOutput_.assign(runFileName(run_.fileListName, level, side), run_.drives());
    runOutput_.rewrite(kFileEntrySize);
    currentOutput_ = &runOutput_;
    if (last) {
        // Made: the comparison may open it.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastMergeName_ = runOutput_.name();
            stage_ = Stage::LastMerge;
        }
        stageChanged_.notify_all();
    }

    MergeInput a{fileA, buffers_.left};
    MergeInput b{fileB, buffers_.right};
    a.refill();
    b.refill();
    std::uint8_t* const out = buffers_.output;
    int outCount = 0;
    auto copy = [&](MergeInput& input) {
        std::memcpy(recordAt(out, outCount), input.current(), kFileEntrySize);
        if (++outCount == kBlock) {
            runOutput_.blockWrite(out, kSortBlockRecords);
            outCount = 0;
            if (last) handOverMerged();
        }
        input.advance();
    };

    // Between equal sizes the merge keeps taking from the side it took from last.
    while (!a.exhausted || !b.exhausted) {
        while (!a.exhausted && (b.exhausted || a.size() >= b.size())) copy(a);
        while (!b.exhausted && (a.exhausted || b.size() >= a.size())) copy(b);
    }

    if (outCount > 0) runOutput_.blockWrite(out, static_cast<std::size_t>(outCount));
    runOutput_.close();
    if (last) run_.sortedWritten.finish(taken_);
    fileB.close();
    fileB.erase();
    fileA.close();
    fileA.erase();
}

void FileListSort::handOverMerged() {
    run_.sortedWritten.handOver(runOutput_.recordsOut());
    if (paceForTests) paceForTests();
    // Given up meanwhile: the rest of the merge is of no use.
    if (run_.listWritten.cancelled()) throw RecordGate::Cancelled{};
}

// In-place quicksort of the block's records first..last by decreasing signed size.
void FileListSort::sortBlock(int first, int last) {
    std::uint8_t* const block = buffers_.block;
    const std::int32_t pivotSize = FileEntryView(recordAt(block, (first + last) / 2)).size();
    int i = first;
    int j = last;
    do {
        while (FileEntryView(recordAt(block, i)).size() > pivotSize) ++i;
        while (FileEntryView(recordAt(block, j)).size() < pivotSize) --j;
        if (i <= j) {
            if (i != j) {
                std::uint8_t swap[kFileEntrySize];
                std::memcpy(swap, recordAt(block, i), kFileEntrySize);
                std::memcpy(recordAt(block, i), recordAt(block, j), kFileEntrySize);
                std::memcpy(recordAt(block, j), swap, kFileEntrySize);
            }
            ++i;
            --j;
        }
    } while (i <= j);

    // The shorter part first keeps the recursion shallow.
    if (j - first < last - i) {
        if (first < j) sortBlock(first, j);
        if (i < last) sortBlock(i, last);
    } else {
        if (i < last) sortBlock(i, last);
        if (first < j) sortBlock(first, j);
    }
}

}  // namespace parelix
