#pragma once
// The freedesktop trash folders of this user: $XDG_DATA_HOME/Trash (by default
// ~/.local/share/Trash) and, at the top of every mounted file system, .Trash/$uid and
// .Trash-$uid. What lies in one is no copy the user still has: emptying the trash loses it.
#include <string>
#include <string_view>
#include <vector>

namespace parelix {

// True when the POSIX path is a trash folder or lies inside one, on path-component
// boundaries ("Trash2" is not "Trash"). The path is taken as written and, when it exists, as
// the file it resolves to, so that a symbolic link on the way (or at its end) into a trash
// counts as the trash. The mount table is the system's now.
bool insideTrashFolder(const std::string& posixPath);

// The same test over a given mount table and home trash (tests, and callers that hold
// both): mountPoints as /proc/self/mountinfo lists them, homeTrash the home trash folder.
// Nothing is resolved here.
bool insideTrashFolder(std::string_view posixPath, const std::vector<std::string>& mountPoints,
                       std::string_view homeTrash, unsigned uid);

}  // namespace parelix
