#pragma once
// What lies on disk and in a private recycle bin, read back for comparison after a test's
// steps. Paths are POSIX paths.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace parelix::test {

std::string readFile(const std::string& path);
// Every regular file below the given folders (missing ones hold none), with its content.
std::map<std::string, std::string> filesBelow(const std::vector<std::string>& folders);
// Original paths of everything in the recycle bin whose info folder is given, from its
// .trashinfo files.
std::set<std::string> trashedPaths(const std::string& trashInfoFolder);
// The path is the folder or lies below it.
bool isUnder(const std::string& path, const std::string& folder);
// A system path as the saved list writes it, its bytes back: each "\xHH" is the byte HH.
std::string unescapeSystemPath(const std::string& written);

}  // namespace parelix::test
