// External sort of the file list by decreasing size, in the fixed block buffers: blocks of
// 243 records are quicksorted into level-0 runs, and runs of equal level are merged two by
// two until one run holds everything; that run then takes the file list's name.
#include <cstring>

#include "engine/SearchEngine.h"

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
    std::int32_t size() const { return entrySize(current()); }
    void advance() {
        if (++position == count) refill();
    }
};

}  // namespace

void SearchEngine::sortFileList() {
    ui_.appendLog("Tri des fichiers par taille");
    if (abandoned_) return;   // the program is ending: nothing will read the order
    int level = 0;
    try {
        file1_.assign(fileListName_);
        file1_.reset(kFileEntrySize);
        endOfInput_ = false;
        buildRun(0, 0);
        while (!endOfInput_) {
            buildRun(level, 1);
            ++level;
            merge(level, 0);
        }
        file1_.close();
        file1_.erase();
        currentOutput_->rename(fileListName_);
        currentOutput_ = nullptr;
    } catch (...) {
        // Run files hold file names and may fill the disk (a full disk is the usual cause):
        // none outlives a failed sort. Every run so far is named at this level or below.
        removeRunFiles(level);
        throw;
    }
}

void SearchEngine::removeRunFiles(int topLevel) {
    currentOutput_ = nullptr;
    for (WorkFile* file : {&runOutput_, &file1_}) {
        if (!file->isOpen()) continue;
        try {
            file->close();
        } catch (const InOutError&) {
        }
    }
    for (int level = 0; level <= topLevel; ++level) {
        for (int side = 0; side < 2; ++side) {
            WorkFile run;
            run.assign(runFileName(fileListName_, level, side));
            try {
                run.erase();
            } catch (const InOutError&) {
                // Never made, or deleted by its merge already.
            }
        }
    }
}

void SearchEngine::buildRun(int level, int side) {
    if (level == 0) {
        const int n = static_cast<int>(file1_.blockRead(buffer1_.get(), kSortBlockRecords));
        if (n >= 2) sortBlock(0, n - 1);
        runOutput_.assign(runFileName(fileListName_, 0, side));
        runOutput_.rewrite(kFileEntrySize);
        runOutput_.blockWrite(buffer1_.get(), static_cast<std::size_t>(n));
        runOutput_.close();
        currentOutput_ = &runOutput_;
        endOfInput_ = n != kBlock;
        return;
    }
    buildRun(level - 1, 0);
    if (endOfInput_) {
        // The input ran out within the left half: that half is the whole run.
        currentOutput_->rename(runFileName(fileListName_, level, side));
        return;
    }
    buildRun(level - 1, 1);
    merge(level, side);
}

void SearchEngine::merge(int level, int side) {
    WorkFile fileA;
    WorkFile fileB;
    fileA.assign(runFileName(fileListName_, level - 1, 0));
    fileA.reset(kFileEntrySize);
    fileB.assign(runFileName(fileListName_, level - 1, 1));
    fileB.reset(kFileEntrySize);
    runOutput_.assign(runFileName(fileListName_, level, side));
    runOutput_.rewrite(kFileEntrySize);
    currentOutput_ = &runOutput_;

    MergeInput a{fileA, buffer1_.get()};
    MergeInput b{fileB, buffer2_.get()};
    a.refill();
    b.refill();
    std::uint8_t* const out = buffer3_.get();
    int outCount = 0;
    auto copy = [&](MergeInput& input) {
        std::memcpy(recordAt(out, outCount), input.current(), kFileEntrySize);
        if (++outCount == kBlock) {
            runOutput_.blockWrite(out, kSortBlockRecords);
            outCount = 0;
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
    fileB.close();
    fileB.erase();
    fileA.close();
    fileA.erase();
}

// In-place quicksort of buffer 1's records first..last by decreasing signed size.
void SearchEngine::sortBlock(int first, int last) {
    std::uint8_t* const block = buffer1_.get();
    std::uint8_t pivot[kFileEntrySize];
    std::memcpy(pivot, recordAt(block, (first + last) / 2), kFileEntrySize);
    const std::int32_t pivotSize = entrySize(pivot);
    int i = first;
    int j = last;
    do {
        while (entrySize(recordAt(block, i)) > pivotSize) ++i;
        while (entrySize(recordAt(block, j)) < pivotSize) --j;
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
