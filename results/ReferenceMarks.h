#pragma once
// Reference folders: search paths whose files are searched and grouped as any other, but
// never sent to the recycle bin. A reference is a place, not a path: a folder that shows a
// marked folder under another path (a bind mount, a symbolic link, a search path reached
// inside another one) is a reference too, whichever of the two the walk reached first.
//
// Two views of the same marks: in the trees, the marked search roots and the folders found by
// identity (locate), which the rows, the plans and the refusals read; on disk, right before a
// move, the identities of the marked folders and of the folders holding them (ReferenceDisk),
// which catch what the trees cannot know.
#include <cstdint>
#include <set>
#include <string>
#include <unordered_set>

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "results/ResultTrees.h"

namespace parelix {

// The reference folders as they stand on disk when an act begins.
class ReferenceDisk {
public:
    // A path (POSIX) that lies in a reference folder, or is one, or is a folder holding one:
    // sending it away would send reference files.
    bool covers(const std::string& posixPath) const;
    // No reference folder at all: nothing to ask the disk.
    bool empty() const { return places_.empty(); }

private:
    friend class ReferenceMarks;
    std::unordered_set<FileIdentity, FileIdentityHash> places_;    // the reference folders
    std::unordered_set<FileIdentity, FileIdentityHash> holders_;   // they and every folder above them
};

class ReferenceMarks {
public:
    void mark(const std::string& searchPath, bool reference);
    bool marked(const std::string& searchPath) const { return paths_.count(searchPath) > 0; }

    // Finds the folders of the trees (walked or not) that show a marked folder, by device and
    // inode: after each search's walk and after each change of the marks. Until then, and in
    // trees replaced since, only the marked search roots count.
    void locate(const ResultTrees& trees, const DriveTable& drives);

    // A marked search root, or a folder located as showing a marked folder.
    bool isPlace(const ResultTrees& trees, NodeId dirNode) const;
    // A DirList node (search root, folder or file) at or below a reference place.
    bool holds(const ResultTrees& trees, NodeId dirNode) const;
    // holds, or a folder with a reference place somewhere below it.
    bool touches(const ResultTrees& trees, NodeId dirNode) const;

    // The marked folders, and the located ones, as the disk shows them now.
    ReferenceDisk onDisk(const ResultTrees& trees, const DriveTable& drives) const;

private:
    bool located(const ResultTrees& trees) const { return locatedIn_ == trees.generation(); }

    std::set<std::string> paths_;
    std::unordered_set<NodeId> places_;   // located folders of the trees of generation locatedIn_
    std::uint64_t locatedIn_ = ~std::uint64_t{0};
};

}  // namespace parelix
