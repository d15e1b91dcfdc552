#include "results/OtherCopy.h"

#include <optional>

#include "platform/Drives.h"
#include "platform/SearchedFile.h"
#include "platform/TrashFolders.h"

namespace parelix {

OtherCopy findOtherCopyOnDisk(const PlatformServices& services, const std::string& file,
                              const CopyCandidates& candidates, const std::function<bool()>& turn) {
    const DriveTable& drives = services.drives();
    const std::optional<std::string> posix = drives.toPosix(file);
    if (!posix || !pathExists(*posix)) return OtherCopy::FileGone;
    // A folder or a device now at the path is no copy of anything: it stays.
    const std::optional<FileStat> self = statRegularFile(*posix);
    if (!self) return OtherCopy::NotFound;
    std::string other;
    while (candidates(other)) {
        const std::optional<std::string> otherPosix = drives.toPosix(other);
        // A trashed file is no copy the user still has: emptying the trash loses it.
        if (!otherPosix || insideTrashFolder(*otherPosix)) continue;
        // The same file under a second name (hard link, bind mount) is no copy.
        const std::optional<FileStat> st = statRegularFile(*otherPosix);
        if (!st || st->identity == self->identity || st->size != self->size) continue;
        const ContentMatch match = compareHeldFiles(*posix, *otherPosix, turn, services.readCall);
        if (match == ContentMatch::Same) return OtherCopy::Found;
        if (match == ContentMatch::Interrupted) return OtherCopy::Interrupted;
    }
    return OtherCopy::NotFound;
}

OtherCopy findOtherCopyOnDisk(const PlatformServices& services, const std::string& file,
                              const std::vector<std::string>& others, const std::function<bool()>& turn) {
    std::size_t next = 0;
    return findOtherCopyOnDisk(
        services, file,
        [&](std::string& path) {
            if (next == others.size()) return false;
            path = others[next++];
            return true;
        },
        turn);
}

}  // namespace parelix
