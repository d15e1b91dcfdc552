#pragma once
// The check before a duplicate goes to the recycle bin: does another copy of it still hold
// its bytes on disk? The groups are the search's picture of the disk, which may have changed
// since.
#include <functional>
#include <string>
#include <vector>

#include "platform/Services.h"

namespace parelix {

// What the disk says, when a duplicate is about to go, of the other copies of its group:
// one still holds its bytes as another file; none does; or the file itself is no longer
// there (nothing left to keep: the shell reports it). Interrupted: the program is ending
// and the check stopped before its end (the file stays).
enum class OtherCopy { Found, NotFound, FileGone, Interrupted };

// The other copies a check may try, best first, one path at a time: fills path (Windows-style)
// and answers true, or answers false once there is none left. Paths are made only as far as
// the check goes: a group of thousands costs one path when its first copy holds the bytes.
using CopyCandidates = std::function<bool(std::string& path)>;

// Found when one of the candidates is, on disk now, a regular file other than `file`
// (another device or inode) outside every trash folder, with the same bytes, read with both
// held open and neither changed meanwhile (compareHeldFiles); the candidates are asked one at
// a time and no further once one is. FileGone when nothing is at `file`'s path any more;
// Interrupted when turn, called between chunks, answered false. Paths are Windows-style,
// over the services' drive table; the files are read through their read call.
OtherCopy findOtherCopyOnDisk(const PlatformServices& services, const std::string& file,
                              const CopyCandidates& candidates, const std::function<bool()>& turn = {});
OtherCopy findOtherCopyOnDisk(const PlatformServices& services, const std::string& file,
                              const std::vector<std::string>& others, const std::function<bool()>& turn = {});

}  // namespace parelix
