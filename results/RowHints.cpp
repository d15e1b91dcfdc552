#include "results/RowHints.h"

#include <optional>

#include "platform/Drives.h"
#include "platform/SearchedFile.h"

namespace parelix {

namespace {

// A duplicate's size is its group's; another file's is read from the disk as it is now.
std::optional<std::uint64_t> fileSize(const ResultTrees& trees, const DriveTable& drives, NodeId file) {
    const NodeId member = trees.dirList.link(file);
    if (member != kNoNode && trees.dblList.isValid(member)) return groupSize(trees.dblList, trees.dblList.parent(member));
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

std::optional<std::uint64_t> groupSize(const TreeStore& dbl, NodeId group) {
    const std::string& text = dbl.text(group);
    if (text.size() < 3 || text.front() != '(' || text.back() != ')') return std::nullopt;
    std::uint64_t size = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        size = size * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return size;
}

std::string readableSize(std::uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes < 2 ? " octet" : " octets");
    static const char* const kUnits[] = {"Ko", "Mo", "Go", "To", "Po"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1023.95 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    std::string number;
    if (value < 9.95) {
        const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5);
        number = std::to_string(tenths / 10);
        if (tenths % 10 != 0) number += "," + std::to_string(tenths % 10);
    } else {
        number = std::to_string(static_cast<std::uint64_t>(value + 0.5));
    }
    return number + " " + kUnits[unit];
}

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
        const std::optional<std::uint64_t> size = groupSize(dbl, node);
        if (!size) return dbl.text(node);
        const auto copies = static_cast<std::uint64_t>(dbl.childCount(node));
        return std::to_string(copies) + " × " + readableSize(*size) + ", " +
               readableSize(copies > 1 ? (copies - 1) * *size : 0) + " à libérer";
    }
    const NodeId file = dbl.link(node);
    const std::string path = file != kNoNode && trees.dirList.isValid(file) ? trees.fullNodePath(file) : dbl.text(node);
    return withSize(path, groupSize(dbl, group));
}

}  // namespace parelix
