#include "results/DuplicateList.h"

#include "results/SpaceFigures.h"

namespace parelix {

std::string saveListFailure(const std::string& path, const std::string& reason) {
    return "Impossible d'enregistrer la liste des doubles dans « " + path + " » : " + reason;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string duplicateListCsv(const ResultTrees& trees, const DriveTable& drives,
                             const std::function<bool(NodeId)>& isReference) {
    const TreeStore& dbl = trees.dblList;
    std::string csv = std::string(kDuplicateListHeader) + "\r\n";
    std::uint64_t number = 0;
    for (NodeId group : dbl.children(kNoNode)) {
        ++number;
        const std::string size = std::to_string(groupSize(dbl, group).value_or(0));
        for (NodeId member : dbl.children(group)) {
            const NodeId file = dbl.link(member);
            const bool linked = file != kNoNode && trees.dirList.isValid(file);
            // The member's text is cut to 255 characters; the tree knows the whole path.
            const std::string path = linked ? trees.fullNodePath(file) : dbl.text(member);
            const std::string posix = drives.toPosix(path).value_or(std::string());
            const bool reference = linked && isReference && isReference(file);
            csv += std::to_string(number) + ',' + size + ',' + csvField(path) + ',' + csvField(posix) + ',' +
                   (reference ? "oui" : "non") + "\r\n";
        }
    }
    return csv;
}

}  // namespace parelix
