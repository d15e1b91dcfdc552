#pragma once
// What a search never enters nor collects, in one place:
// - the mount points of pseudo file systems (proc, sysfs, ...), which hold no user files, and
//   those of the other drives, reached by their own letters: no listing shows them, the
//   drive tree's included (unlistedNamesIn);
// - this user's trash folders (TrashFolders), as the mount table has them when the search
//   starts, a file system mounted since the program started included: a file in one is no
//   copy the user still has. The drive tree lists them, as it lists every hidden folder;
// - the user's exclusions (drives, folders and files of the exclusion list).
// The walk asks NeverSearched for the last two, made afresh for each search.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/TrashFolders.h"

namespace parelix {

class DriveTable;

// A file system that holds no user files: its mount point is never listed.
bool isPseudoFileSystem(std::string_view fsType);

// The names directly inside this POSIX folder that no listing shows: the mount points of
// pseudo file systems and of other drives.
std::vector<std::string> unlistedNamesIn(const DriveTable& drives, std::string_view posixFolder);

class NeverSearched {
public:
    enum class Reason { None, Excluded, Trash };

    // exclusions: Windows-style paths over `drives`, as the exclusion list holds them; the
    // trash folders are those of the system now (TrashFolders::now()) unless given.
    NeverSearched(const DriveTable& drives, const std::vector<std::string>& exclusions);
    NeverSearched(const DriveTable& drives, const std::vector<std::string>& exclusions, TrashFolders trash);

    // Why a search path (Windows-style) is not walked at all; None when it is.
    Reason skipped(std::string_view searchPath) const;
    // The names directly inside a folder (Windows-style, no trailing backslash: "C:" for a
    // drive's top) that the walk neither enters nor collects, or nullptr when there is none.
    // Safe to ask from several threads.
    const std::vector<std::string>* skippedIn(const std::string& folder) const;

private:
    void skipInside(const std::string& windowsPath);

    const DriveTable& drives_;
    TrashFolders trash_;
    std::vector<std::string> exclusions_;   // no trailing backslash
    std::unordered_map<std::string, std::vector<std::string>> names_;
};

}  // namespace parelix
