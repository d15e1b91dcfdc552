#include "results/RowHints.h"

#include <optional>

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "results/Messages.h"
#include "results/SpaceFigures.h"

namespace parelix {

namespace {

// A duplicate's size is its group's; another file's is read from the disk as it is now.
std::optional<std::uint64_t> fileSize(const ResultTrees& trees, const DriveTable& drives, NodeId file) {
    const NodeId member = trees.dirList.link(file);
    if (member != kNoNode && trees.dblList.isValid(member)) return trees.dblList.bytes(trees.dblList.parent(member));
    const std::optional<std::string> posix = drives.toPosix(trees.fullNodePath(file));
    if (!posix) return std::nullopt;
    const std::optional<FileStat> stat = statRegularFile(*posix);
    if (!stat) return std::nullopt;
    return stat->size;
}

std::string withSize(std::string path, std::optional<std::uint64_t> size) {
    if (size) path += "\n" + readableSize(*size);
    return path;
}

}  // namespace

std::string dirListHint(const ResultTrees& trees, const DriveTable& drives, NodeId node) {
    if (!trees.dirList.isValid(node)) return {};
    const std::string path = trees.fullNodePath(node);
    if (!trees.isFileNode(node)) return path;
    return withSize(path, fileSize(trees, drives, node));
}

std::string dblListHint(const ResultTrees& trees, NodeId node) {
    const TreeStore& dbl = trees.dblList;
    if (!dbl.isValid(node)) return {};
    const NodeId group = dbl.parent(node);
    if (group == kNoNode) {
        const std::optional<std::uint64_t> size = dbl.bytes(node);
        if (!size) return dbl.text(node);
        const auto copies = static_cast<std::uint64_t>(dbl.childCount(node));
        return groupedCount(copies) + kGroupTimes + readableSize(*size) + ", " +
               readableSize(copies > 1 ? (copies - 1) * *size : 0) + kGroupToFree;
    }
    const NodeId file = dbl.link(node);
    const std::string path = file != kNoNode && trees.dirList.isValid(file) ? trees.fullNodePath(file) : dbl.text(node);
    return withSize(path, dbl.bytes(group));
}

}  // namespace parelix
