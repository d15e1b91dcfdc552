#include "engine/DuplicateSearch.h"

#include "engine/FileListCursor.h"
#include "engine/SizeClassCompare.h"
#include "platform/FolderHandles.h"
#include "platform/Processors.h"

#include <algorithm>
#include <string>
#include <vector>

namespace parelix {

namespace {

// A cursor over the sorted list: while the sort still writes it, only as far as it has.
FileListCursor cursorOver(RunContext& run, WorkFile& list, std::uint8_t* window) {
    if (run.sortedGrowing)
        return FileListCursor(list, window, kCompareWindowRecords, run.sortedWritten, run.fileCount);
    return FileListCursor(list, window, kCompareWindowRecords);
}

}  // namespace

void DuplicateSearch::run() {
    run_.state.beginComparison();
    run_.tally = {};
    run_.ui.logLine("Comparaison des fichiers présumés doubles");
    run_.ui.phaseStarted(SearchPhase::Comparison, run_.fileCount);

    // The sorted list, under a run file's name while the sort's last merge still writes it.
    const std::string& listName = run_.sortedGrowing ? run_.sortedName : run_.fileListName;
    run_.fileList.assign(listName, run_.drives());
    run_.fileList.reset(kFileEntrySize);
    run_.dirList.assign(run_.dirListName, run_.drives());
    run_.dirList.reset(kDirRecordSize);
    {
        // Meanwhile that merge has the block buffers: the comparison takes three of its own.
        std::vector<std::uint8_t> ownBlocks(run_.sortedGrowing ? 3 * kBlockBufferSize : 0);
        const CompareBuffers buffers =
            ownBlocks.empty() ? run_.compareBuffers()
                              : CompareBuffers{ownBlocks.data(), ownBlocks.data() + kBlockBufferSize,
                                               ownBlocks.data() + 2 * kBlockBufferSize};
        compare(listName, buffers);
    }
    run_.fileList.close();
    run_.dirList.close();
    run_.state.endComparison();
    run_.ui.phaseEnded(SearchPhase::Comparison, run_.fileCount);
}

void DuplicateSearch::compare(const std::string& listName, const CompareBuffers& buffers) {
    const CompareLimits& limits = run_.limits;
    FileListCursor list = cursorOver(run_, run_.fileList, buffers.recordWindow);
    DirectoryPaths dirs(run_.dirList, run_.drives());
    CompareSteps steps(run_.ui, run_.state, run_.fileCount);
    // Files open relative to folders held for the comparison, which come back from one
    // file to the next. Made before the readers, so that it outlives them.
    FolderHandles folders;
    ReadAhead reads(limits.readers, limits.probesAhead + std::max<std::size_t>(limits.chunksAhead, 1), kBlockBufferSize,
                    run_.services.readCall, &folders);
    // The probes ahead read the list through a handle and a window of their own.
    WorkFile aheadList;
    aheadList.assign(listName, run_.drives());
    aheadList.reset(kFileEntrySize);
    std::vector<std::uint8_t> aheadWindow(kCompareWindowRecords * kFileEntrySize);
    // A reader that shares the probes needs a processor of its own.
    const unsigned warmReaders = processorsAllowed() >= 2 ? limits.warmReaders : 0;
    {
        ProbeLookahead ahead(cursorOver(run_, aheadList, aheadWindow.data()), dirs, reads, limits.probesAhead,
                             warmReaders, limits.warmReadersFollowIdleProcessors);
        SizeClassCompare sizeClass(run_.ui, run_.trees, list, dirs, steps, reads, ahead, limits, buffers.chunkA,
                                   buffers.chunkB);
        while (!list.atEnd() && sizeClass.run()) {
        }
    }
    run_.tally.slotsLeftAsked = reads.slotsAsked();
    run_.tally.mostServing = reads.mostServing();
}

}  // namespace parelix
