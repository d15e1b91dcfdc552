#pragma once
// The bench tools take POSIX folders; the search wants search paths.
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/Drives.h"

namespace parelix::bench {

// A POSIX folder to a search path: "X:" for a drive's root, else "X:\a\b". False when the
// folder does not exist or lies on no drive.
inline bool toSearchPath(const char* arg, std::string& out) {
    char resolved[PATH_MAX];
    if (!realpath(arg, resolved)) return false;
    auto win = DriveTable::current().toWindows(resolved);
    if (!win) return false;
    out = *win;
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return !out.empty();
}

}  // namespace parelix::bench
