#include "platform/Drives.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "platform/NeverSearched.h"

namespace parelix {

namespace {

bool oneOf(std::string_view v, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), v) != list.end();
}

// "\040" and the like stand for the bytes that would break the space-separated fields.
std::string decodeOctal(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> splitSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::size_t j = line.find(' ', i);
        if (j == std::string_view::npos) j = line.size();
        fields.push_back(line.substr(i, j - i));
        i = j;
    }
    return fields;
}

// True when path is base itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view base) {
    if (base == "/") return !path.empty() && path[0] == '/';
    if (path.size() < base.size() || path.compare(0, base.size(), base) != 0) return false;
    return path.size() == base.size() || path[base.size()] == '/';
}

bool readFlag(const std::string& file) {
    std::ifstream in(file);
    int value = 0;
    return in && (in >> value) && value == 1;
}

bool sysfsRemovable(unsigned major, unsigned minor) {
    const std::string dev =
        "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    std::ifstream own(dev + "/removable");
    if (own) return readFlag(dev + "/removable");
    // A partition carries no flag of its own; its disk is the parent folder in sysfs.
    return readFlag(dev + "/../removable");
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;

        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        const auto fields = splitSpaces(line);
        if (fields.size() < 7) continue;
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") ++dash;
        if (dash + 1 >= fields.size()) continue;

        MountEntry e;
        const std::string_view dev = fields[2];
        const std::size_t colon = dev.find(':');
        if (colon == std::string_view::npos) continue;
        try {
            e.major = static_cast<unsigned>(std::stoul(std::string(dev.substr(0, colon))));
            e.minor = static_cast<unsigned>(std::stoul(std::string(dev.substr(colon + 1))));
        } catch (...) {
            continue;
        }
        e.mountPoint = decodeOctal(fields[4]);
        if (e.mountPoint.empty() || e.mountPoint[0] != '/') continue;
        e.fsType = decodeOctal(fields[dash + 1]);
        if (dash + 2 < fields.size()) e.source = decodeOctal(fields[dash + 2]);
        mounts.push_back(std::move(e));
    }
    return mounts;
}

DriveTable DriveTable::fromMounts(const std::vector<MountEntry>& mounts,
                                  std::function<bool(unsigned, unsigned)> removableOf) {
    if (!removableOf) removableOf = sysfsRemovable;

    // One entry per mount point, the later mount hiding the earlier; the map keeps
    // mount-point order, which is the order letters are handed out in.
    std::map<std::string, const MountEntry*> byPoint;
    for (const MountEntry& m : mounts) {
        std::string point = m.mountPoint;
        while (point.size() > 1 && point.back() == '/') point.pop_back();
        byPoint[point] = &m;
    }

    DriveTable table;
    table.drives_.push_back(Drive{'C', "/", DRIVE_FIXED});
    char next = 'D';
    for (const auto& [point, m] : byPoint) {
        if (point == "/") continue;
        if (isPseudoFileSystem(m->fsType)) {
            table.hiddenMountPoints_.push_back(point);
            continue;
        }
        const bool lettered = isAtOrBelow(point, "/media") || isAtOrBelow(point, "/run/media") ||
                              isAtOrBelow(point, "/mnt");
        // Past Z: the file system stays an ordinary folder of the drive that holds it.
        if (!lettered || next > 'Z') continue;

        unsigned type = DRIVE_FIXED;
        if (oneOf(m->fsType, {"iso9660", "udf"}))
            type = DRIVE_CDROM;
        else if (oneOf(m->fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs"}))
            type = DRIVE_REMOTE;
        else if (oneOf(m->fsType, {"tmpfs", "ramfs"}))
            type = DRIVE_RAMDISK;
        else if (m->major != 0 && removableOf(m->major, m->minor))
            type = DRIVE_REMOVABLE;
        table.drives_.push_back(Drive{next++, point, type});
        table.hiddenMountPoints_.push_back(point);
    }
    std::sort(table.hiddenMountPoints_.begin(), table.hiddenMountPoints_.end());
    return table;
}

const DriveTable& DriveTable::current() {
    static const DriveTable table = [] {
        std::ifstream in("/proc/self/mountinfo");
        std::stringstream text;
        if (in) text << in.rdbuf();
        return fromMounts(parseMountInfo(text.str()));
    }();
    return table;
}

std::uint32_t DriveTable::logicalDriveMask() const {
    std::uint32_t mask = 0;
    for (const Drive& d : drives_) mask |= 1u << (d.letter - 'A');
    return mask;
}

unsigned DriveTable::driveType(char letter) const {
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Drive& d : drives_)
        if (d.letter == up) return d.type;
    return DRIVE_NO_ROOT_DIR;
}

std::optional<std::string> DriveTable::toPosix(std::string_view windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return std::nullopt;
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])));
    const Drive* drive = nullptr;
    for (const Drive& d : drives_)
        if (d.letter == up) drive = &d;
    if (!drive) return std::nullopt;

    std::string_view rest = windowsPath.substr(2);
    // "X:name" would be relative to a current folder of the drive, which we do not keep.
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/') return std::nullopt;

    // Components are resolved here, so that ".." never leads out of the drive.
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && (rest[i] == '\\' || rest[i] == '/')) ++i;
        std::size_t j = i;
        while (j < rest.size() && rest[j] != '\\' && rest[j] != '/') ++j;
        if (j > i) {
            const std::string_view part = rest.substr(i, j - i);
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (part != ".") {
                parts.push_back(part);
            }
        }
        i = j;
    }
    if (windowsPath.find('\0') != std::string_view::npos) return std::nullopt;

    std::string out = drive->mountPoint;
    for (const std::string_view part : parts) {
        if (out.back() != '/') out.push_back('/');
        out.append(part);
    }
    return out;
}

std::optional<std::string> DriveTable::toWindows(std::string_view posixPath) const {
    if (posixPath.empty() || posixPath[0] != '/') return std::nullopt;
    std::string path(posixPath);
    while (path.size() > 1 && path.back() == '/') path.pop_back();

    const Drive* best = nullptr;
    for (const Drive& d : drives_)
        if (isAtOrBelow(path, d.mountPoint) &&
            (!best || d.mountPoint.size() > best->mountPoint.size()))
            best = &d;
    if (!best) return std::nullopt;

    std::string out{best->letter, ':', '\\'};
    std::string_view rest = std::string_view(path).substr(best->mountPoint == "/" ? 1 : best->mountPoint.size());
    if (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
    bool slash = false;
    for (const char ch : rest) {
        // A name holding a backslash cannot be told apart from two names.
        if (ch == '\\') return std::nullopt;
        if (ch == '/') {
            if (!slash) out.push_back('\\');
            slash = true;
            continue;
        }
        slash = false;
        out.push_back(ch);
    }
    return out;
}

bool DriveTable::isHiddenMountPoint(std::string_view posixPath) const {
    return std::binary_search(hiddenMountPoints_.begin(), hiddenMountPoints_.end(), posixPath,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

std::uint32_t GetLogicalDrives(const DriveTable& drives) { return drives.logicalDriveMask(); }

unsigned GetDriveTypeA(const DriveTable& drives, std::string_view root) {
    if (root.size() < 2 || root[1] != ':') return DRIVE_NO_ROOT_DIR;
    if (root.size() > 3 || (root.size() == 3 && root[2] != '\\')) return DRIVE_NO_ROOT_DIR;
    return drives.driveType(root[0]);
}

}  // namespace parelix
