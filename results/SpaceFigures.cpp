#include "results/SpaceFigures.h"

#include <optional>
#include <vector>

#include "platform/SearchedFile.h"
#include "platform/Counts.h"
#include "results/Messages.h"

namespace parelix {

std::string readableSize(std::uint64_t bytes) {
    const std::string space(kNbsp);
    if (bytes < 1024) return std::to_string(bytes) + space + (bytes < 2 ? kUnitByte : kUnitBytes);
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    // From ten on a size is rounded to the unit: 1023,5 Ko would read "1024 Ko", so it is
    // "1 Mo" already.
    while (value >= 1023.5 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    std::string number;
    if (value < 9.95) {
        const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5);
        number = std::to_string(tenths / 10);
        if (tenths % 10 != 0) number += kDecimalComma + std::to_string(tenths % 10);
    } else {
        number = std::to_string(static_cast<std::uint64_t>(value + 0.5));
    }
    return number + space + kSizeUnits[unit];
}

std::string groupedCount(std::uint64_t count) { return groupThousands(count); }

ExtraCopies extraCopies(const TreeStore& dbl) {
    ExtraCopies extra;
    for (NodeId group : dbl.children(kNoNode)) {
        const auto members = static_cast<std::uint64_t>(dbl.childCount(group));
        if (members < 2) continue;   // a group still being built
        extra.files += members - 1;
        extra.bytes += (members - 1) * dbl.bytes(group).value_or(0);
    }
    return extra;
}

std::string spaceFiguresText(const ExtraCopies& extra, const Freed& freed) {
    std::string text = kExtraCopies + groupedCount(extra.files) + " (" + readableSize(extra.bytes) + ")";
    if (freed.sent > 0) text += kFreed + readableSize(freed.bytes);
    return text;
}

std::uint64_t bytesOnDisk(const ResultTrees& trees, const DriveTable& drives, NodeId node) {
    const TreeStore& dir = trees.dirList;
    if (!dir.isValid(node)) return 0;
    std::uint64_t bytes = 0;
    std::vector<NodeId> todo{node};
    while (!todo.empty()) {
        const NodeId n = todo.back();
        todo.pop_back();
        if (trees.isFileNode(n)) {
            if (const std::optional<std::string> posix = drives.toPosix(trees.fullNodePath(n)))
                if (const std::optional<FileStat> st = statRegularFile(*posix)) bytes += st->size;
            continue;
        }
        for (NodeId c : dir.children(n)) todo.push_back(c);
    }
    return bytes;
}

}  // namespace parelix
