#pragma once
// Putting back what went to the freedesktop recycle bin: the home trash and a mount's own
// .Trash/$uid or .Trash-$uid alike. An item is found once, right after its move, by its
// identity (a move inside one file system keeps it) among the bin's entries named after it,
// and put back later only if it is still that item, unchanged, and its place is free: a
// file standing there now is never replaced. Nothing is written but the bin's own files, the
// item's way back, and the folders of its place that went missing meanwhile.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/SearchedFile.h"

namespace parelix {

// One item of the recycle bin, as it was right after its move there.
struct TrashedItem {
    std::string original;   // the POSIX path it came from, where it goes back
    std::string inBin;      // the item itself, in the bin's files/ folder
    std::string info;       // its .trashinfo, in the bin's info/ folder
    std::string pathLine;   // the .trashinfo's Path value, as the bin wrote it
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0;   // nanoseconds; for a folder, when its entries last changed
    bool folder = false;
};

// The item that the move of posixPath, of that identity, has just put in the bin; none when
// no bin holds it (moved elsewhere, or copied over to another file system).
std::optional<TrashedItem> findTrashedItem(const std::string& posixPath, const FileIdentity& identity);

// Why an item stays in the bin.
enum class RestoreOutcome {
    Restored,
    NotInBin,      // no longer there: the bin was emptied, or the item taken out
    Changed,       // another item, or written since it was sent
    Mangled,       // its .trashinfo no longer names the place it came from
    PlaceTaken,    // a file now stands at its place
    PlaceFolder,   // a folder now stands at its place, or a file where a folder of it was
    DiskFull,
    Failed,        // any other refusal of the system; reason says which
};
struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::Failed;
    std::string reason;   // the system's text, for Failed
};

// Moves the item back to its place, never over anything that stands there (a rename that
// refuses to replace), making the missing folders of the place and removing those again when
// the move fails; then removes its .trashinfo.
RestoreResult restoreTrashedItem(const TrashedItem& item);

}  // namespace parelix
