// The collection walk: mirrors every search path into DirList and writes one file-entry
// record per file and one directory record per directory to the work files.
#include <string>

#include "engine/SearchEngine.h"
#include "platform/DirEnum.h"
#include "platform/Text.h"

namespace parelix {

namespace {

const std::string kDirPrefix = "--> ";

}  // namespace

void SearchEngine::collectFiles(const std::vector<std::string>& searchPaths) {
    collecting = true;
    ui_.appendLog("Collecte des informations");
    ui_.setStopCaption("Arrête la recherche");

    file1_.rewrite(kFileEntrySize);
    file2_.rewrite(kDirRecordSize);
    fileCount = 0;
    dirCount = 0;
    walkedFolders_.clear();

    for (const std::string& entry : searchPaths) {
        const std::string path = cut255(entry);
        const NodeId node = trees_.dirList.addChild(kNoNode, path);
        walkDirectory(node, path);
        ui_.repaintDirList();
    }

    walkedFolders_ = {};   // needed by this walk only
    file1_.close();
    file2_.close();
    ui_.appendLog(std::to_string(fileCount) + " fichiers dans " + std::to_string(dirCount) +
                  " répertoires");
    collecting = false;
}

// path comes uncut, so that a path too long to name the directory is told apart from one
// that merely ends at the limit.
void SearchEngine::walkDirectory(NodeId node, const std::string& path) {
    if (!collecting) return;
    // A cut path no longer names this directory and may lead back into its parent: such a
    // directory keeps its unwalked node and is reported instead.
    if (path.size() + 1 > kShortStringMax) {
        ui_.appendLog("Chemin trop long, répertoire ignoré : " + cut255(path));
        return;
    }

    ui_.setStatusText(path);
    ui_.processEvents();

    const std::string dirPath = path + '\\';
    DirEnumerator listing;
    FindData found;
    bool more = listing.findFirst(dirPath + "*.*", faAnyFile, found);
    // A directory reached a second time (a bind mount of an ancestor, a search path inside
    // another) would show each of its files twice, each copy looking like the other's
    // double: it keeps its unwalked node and is reported instead.
    if (const auto identity = listing.folderIdentity(); identity && !walkedFolders_.insert(*identity).second) {
        listing.findClose();
        ui_.appendLog("Répertoire déjà parcouru, ignoré : " + cut255(path));
        return;
    }

    TreeStore& tree = trees_.dirList;
    tree.setImages(node, kImgFolder, kImgFolderOpen);
    tree.setCounter(node, 0);

    std::uint8_t record[kFileEntrySize] = {};
    encodeDirRecord(dirPath, record);
    file2_.write(record);
    const std::uint32_t dirIndex = static_cast<std::uint32_t>(dirCount);
    ++dirCount;

    for (; more; more = listing.findNext(found)) {
        const std::string& name = found.name;
        if (name == "." || name == "..") continue;
        if (found.attributes & faDirectory) {
            // A node text holds 255 characters like every short string: a name near the
            // limit loses its end to the prefix.
            const NodeId child = tree.addChild(node, cut255(kDirPrefix + name));
            walkDirectory(child, dirPath + name);
        } else if (!(found.attributes & faVolumeID)) {
            const NodeId child = tree.addChild(node, name);
            tree.setImages(child, kImgFile, kImgFile);
            tree.setCounter(child, 0);
            // Low 32 bits of the size, read as signed.
            const auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(found.size));
            encodeFileEntry(name, size, dirIndex, child, record);
            file1_.write(record);
            ++fileCount;
        }
    }
    listing.findClose();

    tree.sortChildren(node);
}

}  // namespace parelix
