#include "platform/Places.h"

#include <sys/stat.h>

namespace parelix {

std::optional<FileIdentity> placeIdentity(const std::string& posixPath) {
    struct stat st {};
    if (posixPath.empty() || ::stat(posixPath.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::vector<FileIdentity> holderIdentities(const std::string& posixPath) {
    std::vector<FileIdentity> holders;
    std::string folder = posixPath;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    while (folder.size() > 1) {
        const std::size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos) break;
        folder.resize(slash == 0 ? 1 : slash);
        if (const std::optional<FileIdentity> id = placeIdentity(folder)) holders.push_back(*id);
    }
    return holders;
}

}  // namespace parelix
