#include "results/DuplicateList.h"

namespace parelix {

std::string saveListFailure(const std::string& path, const std::string& reason) {
    return kSaveListFailureHead + path + kSaveListFailureTail + reason;
}

namespace {

// The length of the well-formed UTF-8 sequence at text[i] (RFC 3629: no overlong form, no
// surrogate, nothing above U+10FFFF), or 0 when the byte there starts none.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;   // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) n = 3, low = 0xA0;
    else if (c == 0xED) n = 3, high = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF) n = 3;
    else if (c == 0xF0) n = 4, low = 0x90;
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else if (c == 0xF4) n = 4, high = 0x8F;
    else return 0;
    if (i + n > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return n;
}

// The text with every byte that is not part of well-formed UTF-8 written as `bad` makes it.
template <typename Bad>
std::string validUtf8(std::string_view text, Bad bad) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            bad(out, static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

}  // namespace

std::string shownUtf8(std::string_view path) {
    return validUtf8(path, [](std::string& out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

std::string escapedSystemPath(std::string_view posixPath) {
    return validUtf8(posixPath, [](std::string& out, unsigned char c) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    });
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
        const std::string size = std::to_string(dbl.bytes(group).value_or(0));
        for (NodeId member : dbl.children(group)) {
            const NodeId file = dbl.link(member);
            const bool linked = file != kNoNode && trees.dirList.isValid(file);
            // The member's text is cut to 255 characters; the tree knows the whole path.
            const std::string path = linked ? trees.fullNodePath(file) : dbl.text(member);
            const std::string posix = drives.toPosix(path).value_or(std::string());
            const bool reference = linked && isReference && isReference(file);
            csv += std::to_string(number) + ',' + size + ',' + csvField(shownUtf8(path)) + ',' +
                   csvField(escapedSystemPath(posix)) + ',' +
                   (reference ? kCsvYes : kCsvNo) + "\r\n";
        }
    }
    return csv;
}

}  // namespace parelix
