#include "engine/DuplicateSearch.h"

#include "engine/FileListCursor.h"
#include "engine/SizeClassCompare.h"
#include "platform/FolderHandles.h"
#include "platform/Processors.h"

#include <algorithm>
#include <vector>

namespace parelix {

void DuplicateSearch::run() {
    run_.state.beginComparison();
    run_.tally = {};
    run_.ui.logLine("Comparaison des fichiers présumés doubles");
    run_.ui.phaseStarted(SearchPhase::Comparison, run_.fileCount);

    run_.fileList.assign(run_.fileListName, run_.drives());
    run_.fileList.reset(kFileEntrySize);
    run_.dirList.assign(run_.dirListName, run_.drives());
    run_.dirList.reset(kDirRecordSize);
    {
        const CompareLimits& limits = run_.limits;
        const CompareBuffers buffers = run_.compareBuffers();
        FileListCursor list(run_.fileList, buffers.recordWindow, kCompareWindowRecords);
        DirectoryPaths dirs(run_.dirList, run_.drives());
        CompareSteps steps(run_.ui, run_.state, run_.fileCount);
        // Files open relative to folders held for the comparison, which come back from one
        // file to the next. Made before the readers, so that it outlives them.
        FolderHandles folders;
        ReadAhead reads(limits.readers, limits.probesAhead + std::max<std::size_t>(limits.chunksAhead, 1), kBlockBufferSize,
                        run_.services.readCall, &folders);
        // The probes ahead read the list through a handle and a window of their own.
        WorkFile aheadList;
        aheadList.assign(run_.fileListName, run_.drives());
        aheadList.reset(kFileEntrySize);
        std::vector<std::uint8_t> aheadWindow(kCompareWindowRecords * kFileEntrySize);
        // A reader that shares the probes needs a processor of its own.
        const unsigned warmReaders = processorsAllowed() >= 2 ? limits.warmReaders : 0;
        {
            ProbeLookahead ahead(aheadList, aheadWindow.data(), kCompareWindowRecords, dirs, reads,
                                 limits.probesAhead, warmReaders, limits.warmReadersFollowIdleProcessors);
            SizeClassCompare sizeClass(run_.ui, run_.trees, list, dirs, steps, reads, ahead, limits,
                                       buffers.chunkA, buffers.chunkB);
            while (!list.atEnd() && sizeClass.run()) {
            }
        }
        run_.tally.slotsLeftAsked = reads.slotsAsked();
        run_.tally.mostServing = reads.mostServing();
    }
    run_.fileList.close();
    run_.dirList.close();
    run_.state.endComparison();
    run_.ui.phaseEnded(SearchPhase::Comparison, run_.fileCount);
}

}  // namespace parelix
