#include "engine/CollectionWalk.h"

#include <string>

#include "engine/Records.h"
#include "platform/DirEnum.h"
#include "platform/Text.h"

namespace parelix {

namespace {

const std::string kDirPrefix = "--> ";

}  // namespace

void CollectionWalk::run(const std::vector<std::string>& searchPaths, const std::vector<std::string>& /*exclusions*/) {
    run_.state.beginCollection();
    run_.ui.logLine("Collecte des informations");
    run_.ui.phaseStarted(SearchPhase::Collection, 0);

    run_.fileList.rewrite(kFileEntrySize);
    run_.dirList.rewrite(kDirRecordSize);
    run_.fileCount = 0;
    run_.dirCount = 0;
    walkedFolders_.clear();

    for (const std::string& entry : searchPaths) {
        const std::string path = cut255(entry);
        const NodeId node = run_.trees.dirList.addChild(kNoNode, path);
        walkDirectory(node, path);
        run_.ui.searchPathWalked();
    }

    walkedFolders_ = {};   // needed by this walk only
    run_.fileList.close();
    run_.dirList.close();
    run_.ui.logLine(std::to_string(run_.fileCount) + " fichiers dans " +
                    std::to_string(run_.dirCount) + " répertoires");
    run_.state.endCollection();
    run_.ui.phaseEnded(SearchPhase::Collection, run_.fileCount);
}

// path comes uncut, so that a path too long to name the directory is told apart from one
// that merely ends at the limit.
void CollectionWalk::walkDirectory(NodeId node, const std::string& path) {
    if (!run_.state.collecting()) return;
    // A cut path no longer names this directory and may lead back into its parent: such a
    // directory keeps its unwalked node and is reported instead.
    if (path.size() + 1 > kShortStringMax) {
        run_.ui.logLine("Chemin trop long, répertoire ignoré : " + cut255(path));
        return;
    }

    run_.ui.folderEntered(path);
    run_.ui.eventTurn();

    const std::string dirPath = path + '\\';
    DirEnumerator listing(run_.drives());
    FindData found;
    bool more = listing.findFirst(dirPath + "*.*", faAnyFile, found);
    // A directory reached a second time (a bind mount of an ancestor, a search path inside
    // another) would show each of its files twice, each copy looking like the other's
    // double: it keeps its unwalked node and is reported instead.
    if (const auto identity = listing.folderIdentity(); identity && !walkedFolders_.insert(*identity).second) {
        listing.findClose();
        run_.ui.logLine("Répertoire déjà parcouru, ignoré : " + cut255(path));
        return;
    }

    TreeStore& tree = run_.trees.dirList;
    tree.setKind(node, NodeKind::Folder);
    tree.setCounter(node, 0);

    std::uint8_t record[kFileEntrySize] = {};
    encodeDirRecord(dirPath, record);
    run_.dirList.write(record);
    const std::uint32_t dirIndex = static_cast<std::uint32_t>(run_.dirCount);
    ++run_.dirCount;

    for (; more; more = listing.findNext(found)) {
        const std::string& name = found.name;
        if (name == "." || name == "..") continue;
        if (found.attributes & faDirectory) {
            // A node text holds 255 characters like every short string: a name near the
            // limit loses its end to the prefix.
            const NodeId child = tree.addChild(node, cut255(kDirPrefix + name));
            walkDirectory(child, dirPath + name);
        } else if (!(found.attributes & faVolumeID)) {
            const NodeId child = tree.addChild(node, name, NodeKind::File);
            tree.setCounter(child, 0);
            // Low 32 bits of the size, read as signed.
            const auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(found.size));
            encodeFileEntry(name, size, dirIndex, child, record);
            run_.fileList.write(record);
            ++run_.fileCount;
        }
    }
    listing.findClose();

    tree.sortChildren(node);
}

}  // namespace parelix
