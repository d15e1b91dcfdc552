#pragma once
// Where this user's freedesktop trash folders lie: the home trash ($XDG_DATA_HOME/Trash, by
// default ~/.local/share/Trash) and, at the top of every mounted file system, .Trash/$uid and
// .Trash-$uid. A file in one is not a copy the user still has: listings leave these folders
// out, as they leave out the mount points of pseudo file systems, and nothing inside one may
// stand as the other copy of a file. What a search leaves out is said in NeverSearched.h.
#include <string>
#include <string_view>
#include <vector>

namespace parelix {

class TrashFolders {
public:
    TrashFolders() = default;
    // homeTrash: the home trash's POSIX path ("" for none); mountPoints: the tops of the
    // mounted file systems; uid: the user whose trash folders they are.
    TrashFolders(const std::string& homeTrash, const std::vector<std::string>& mountPoints, unsigned uid);
    // This process's user's, as the system has them now: the mount table read again when it
    // changed, the environment read at the call (XDG_DATA_HOME when it is absolute, else
    // HOME's .local/share), the home trash by its path and, when that goes through a symbolic
    // link, by its real path too.
    static TrashFolders now();

    // True when the POSIX path is one of the trash folders or lies inside one.
    bool insideTrash(std::string_view posixPath) const;
    // Appends the names of the trash folders that lie directly inside this POSIX folder.
    void namesIn(std::string_view posixDir, std::vector<std::string>& out) const;
    const std::vector<std::string>& folders() const { return folders_; }   // sorted

private:
    std::vector<std::string> folders_;
};

// For the deletion's check, which must hold whatever the trees and the drive table say: the
// trash folders as the system has them now (the mount table read again when it changed, the
// environment read at the call). The path is taken as written and, when it exists, as the file
// it resolves to, so that a symbolic link on the way (or at its end) into a trash counts as
// the trash.
bool insideTrashFolder(const std::string& posixPath);
// The same test over a given mount table and home trash, nothing resolved ("/a/../b" is "/b").
bool insideTrashFolder(std::string_view posixPath, const std::vector<std::string>& mountPoints,
                       std::string_view homeTrash, unsigned uid);

}  // namespace parelix
