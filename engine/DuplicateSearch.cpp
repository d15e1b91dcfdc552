#include "engine/DuplicateSearch.h"

#include "engine/FileListCursor.h"
#include "engine/SizeClassCompare.h"

namespace parelix {

void DuplicateSearch::run() {
    run_.state.beginComparison();
    run_.ui.logLine("Comparaison des fichiers présumés doubles");
    run_.ui.phaseStarted(SearchPhase::Comparison, run_.fileCount);

    run_.fileList.assign(run_.fileListName);
    run_.fileList.reset(kFileEntrySize);
    run_.dirList.assign(run_.dirListName);
    run_.dirList.reset(kDirRecordSize);
    {
        FileListCursor list(run_.fileList, run_.buffer1.get(), kCompareWindowRecords);
        DirectoryPaths dirs(run_.dirList);
        CompareSteps steps(run_.ui, run_.state, run_.fileCount);
        SizeClassCompare sizeClass(run_.ui, run_.trees, list, dirs, steps, run_.buffer2.get(),
                                   run_.buffer3.get());
        while (!list.atEnd() && sizeClass.run()) {
        }
    }
    run_.fileList.close();
    run_.dirList.close();
    run_.state.endComparison();
    run_.ui.phaseEnded(SearchPhase::Comparison, run_.fileCount);
}

}  // namespace parelix
