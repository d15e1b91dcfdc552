#include "support/DiskSnapshot.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace parelix::test {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, std::string> filesBelow(const std::vector<std::string>& folders) {
    std::map<std::string, std::string> files;
    for (const std::string& folder : folders) {
        if (!fs::exists(folder)) continue;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) files[e.path().string()] = readFile(e.path().string());
    }
    return files;
}

std::set<std::string> trashedPaths(const std::string& trashInfoFolder) {
    std::set<std::string> paths;
    if (!fs::exists(trashInfoFolder)) return paths;
    for (const auto& e : fs::directory_iterator(trashInfoFolder)) {
        const std::string info = readFile(e.path().string());
        const std::size_t at = info.find("\nPath=");
        if (at == std::string::npos) continue;
        const std::string escaped = info.substr(at + 6, info.find('\n', at + 6) - at - 6);
        std::string path;
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == '%' && i + 2 < escaped.size()) {
                path += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                path += escaped[i];
            }
        }
        paths.insert(path);
    }
    return paths;
}

bool isUnder(const std::string& path, const std::string& folder) {
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

std::string unescapeSystemPath(const std::string& written) {
    std::string out;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written.compare(i, 2, "\\x") == 0 && i + 4 <= written.size()) {
            out.push_back(static_cast<char>(std::stoi(written.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(written[i]);
        }
    }
    return out;
}

}  // namespace parelix::test
