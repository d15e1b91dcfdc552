#include "engine/DuplicateSearch.h"

#include "engine/FileListCursor.h"
#include "engine/SizeClassCompare.h"

namespace parelix {

void DuplicateSearch::run() {
    run_.state.beginComparison();
    run_.ui.appendLog("Comparaison des fichiers présumés doubles");
    run_.ui.setStopCaption("Arrête les comparaisons");
    run_.ui.setStatusPanelMode(true);
    run_.ui.setStatusPanelWidth(0, run_.ui.clientWidth() / 2);
    run_.ui.setProgressVisible(true);
    run_.ui.setProgressMax(run_.fileCount);

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
    run_.ui.setProgressVisible(false);
    run_.ui.setStatusPanelMode(false);
    run_.state.endComparison();
}

}  // namespace parelix
