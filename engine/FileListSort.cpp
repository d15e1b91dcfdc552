#include "engine/FileListSort.h"

#include <cstring>

#include "engine/Records.h"

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

}  // namespace

void FileListSort::run() {
    run_.ui.logLine("Tri des fichiers par taille");
    if (run_.state.abandoned()) return;   // the program is ending: nothing will read the order
    run_.ui.phaseStarted(SearchPhase::Sort, run_.fileCount);
    buffers_ = run_.sortBuffers();
    int level = 0;
    try {
        run_.fileList.assign(run_.fileListName, run_.drives());
        run_.fileList.reset(kFileEntrySize);
        endOfInput_ = false;
        buildRun(0, 0);
        while (!endOfInput_) {
            buildRun(level, 1);
            ++level;
            merge(level, 0);
        }
        run_.fileList.close();
        run_.fileList.erase();
        currentOutput_->rename(run_.fileListName);
        currentOutput_ = nullptr;
        run_.ui.phaseEnded(SearchPhase::Sort, run_.fileCount);
    } catch (...) {
        // Run files hold file names and may fill the disk (a full disk is the usual cause):
        // none outlives a failed sort. Every run so far is named at this level or below.
        removeRunFiles(level);
        throw;
    }
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
    if (!runOutput_.isOpen()) return;
    try {
        runOutput_.close();
    } catch (const InOutError&) {
        // Its flush error has been reported already.
    }
}

void FileListSort::removeRunFiles(int topLevel) {
    currentOutput_ = nullptr;
    for (WorkFile* file : {&runOutput_, &run_.fileList}) {
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

void FileListSort::buildRun(int level, int side) {
    if (level == 0) {
        const int n = static_cast<int>(run_.fileList.blockRead(buffers_.block, kSortBlockRecords));
        if (n >= 2) sortBlock(0, n - 1);
        runOutput_.assign(runFileName(run_.fileListName, 0, side), run_.drives());
        runOutput_.rewrite(kFileEntrySize);
        runOutput_.blockWrite(buffers_.block, static_cast<std::size_t>(n));
        runOutput_.close();
        currentOutput_ = &runOutput_;
        endOfInput_ = n != kBlock;
        return;
    }
    buildRun(level - 1, 0);
    if (endOfInput_) {
        // The input ran out within the left half: that half is the whole run.
        currentOutput_->rename(runFileName(run_.fileListName, level, side));
        return;
    }
    buildRun(level - 1, 1);
    merge(level, side);
}

void FileListSort::merge(int level, int side) {
    WorkFile fileA;
    WorkFile fileB;
    fileA.assign(runFileName(run_.fileListName, level - 1, 0), run_.drives());
    fileA.reset(kFileEntrySize);
    fileB.assign(runFileName(run_.fileListName, level - 1, 1), run_.drives());
    fileB.reset(kFileEntrySize);
    runOutput_.assign(runFileName(run_.fileListName, level, side), run_.drives());
    runOutput_.rewrite(kFileEntrySize);
    currentOutput_ = &runOutput_;

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
