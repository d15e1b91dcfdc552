// Duplicate detection: walks the file list sorted by decreasing size one size class at a
// time and builds the groups of DblList.
#include "engine/FileListCursor.h"
#include "engine/SearchEngine.h"
#include "engine/SizeClassCompare.h"

namespace parelix {

void SearchEngine::findDuplicates() {
    comparing = true;
    ui_.appendLog("Comparaison des fichiers présumés doubles");
    ui_.setStopCaption("Arrête les comparaisons");
    ui_.setStatusPanelMode(true);
    ui_.setStatusPanelWidth(0, ui_.clientWidth() / 2);
    ui_.setProgressVisible(true);
    ui_.setProgressMax(fileCount);

    file1_.assign(fileListName_);
    file1_.reset(kFileEntrySize);
    file2_.assign(dirListName_);
    file2_.reset(kDirRecordSize);
    {
        FileListCursor list(file1_, buffer1_.get(), kCompareWindowRecords);
        DirectoryPaths dirs(file2_);
        CompareSteps steps(ui_, comparing, fileCount);
        SizeClassCompare sizeClass(ui_, trees_, list, dirs, steps, buffer2_.get(), buffer3_.get());
        while (!list.atEnd() && sizeClass.run()) {
        }
    }
    file1_.close();
    file2_.close();
    ui_.setProgressVisible(false);
    ui_.setStatusPanelMode(false);
    comparing = false;
}

}  // namespace parelix
