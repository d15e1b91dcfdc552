#pragma once
// Where a path stands on disk, whatever path reaches it: the identity (device and inode) of
// the folder or file it names and of the folders that hold it. A folder reached through a bind
// mount or a symbolic link has the identity of the folder it shows.
#include <optional>
#include <string>
#include <vector>

#include "platform/SearchedFile.h"

namespace parelix {

// What the path names now, symbolic links followed; none when nothing is there.
std::optional<FileIdentity> placeIdentity(const std::string& posixPath);

// The folders holding the path, from its own folder up to "/", each as it is reached from
// there (links followed); those that cannot be reached are left out.
std::vector<FileIdentity> holderIdentities(const std::string& posixPath);

}  // namespace parelix
