#include "platform/System.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/Drives.h"

namespace parelix {

namespace {

// Reads the leading decimal number of text at pos and moves past it and one dot.
std::uint32_t takeNumber(const char*& p) {
    std::uint32_t value = 0;
    while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<std::uint32_t>(*p++ - '0');
    if (*p == '.') ++p;
    return value;
}

}  // namespace

bool GetVersionExA(OsVersionInfo& info) {
    info = OsVersionInfo{};
    info.platformId = 2;
    utsname u{};
    if (uname(&u) == 0) {
        const char* p = u.release;
        info.majorVersion = takeNumber(p);
        info.minorVersion = takeNumber(p);
        info.buildNumber = takeNumber(p);
    }
    return true;
}

std::string GetTempPathA(const DriveTable& drives) {
    std::optional<std::string> path;
    // A TMPDIR that no Windows-style path can name is passed over, as an unusable one.
    if (const char* env = std::getenv("TMPDIR"); env && *env) path = drives.toWindows(env);
    if (!path) path = drives.toWindows("/tmp");
    if (!path) return {};
    if (path->back() != '\\') path->push_back('\\');
    return *path;
}

std::string GetTempFileNameA(const DriveTable& drives, const std::string& dir, const std::string& prefix,
                             unsigned unique) {
    std::string folder = dir;
    if (folder.empty()) return {};
    if (folder.back() != '\\') folder.push_back('\\');
    if (!drives.toPosix(folder)) return {};
    folder += prefix.substr(0, 3);

    auto nameFor = [&](unsigned number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", number & 0xFFFFu);
        return folder + digits + ".tmp";
    };
    if (unique != 0) return nameFor(unique);

    // Start somewhere different for each process so that two programs sharing the
    // folder rarely meet; O_EXCL settles the rest.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned start =
        static_cast<unsigned>(now.tv_nsec / 1000) ^ static_cast<unsigned>(getpid());
    for (unsigned i = 0; i < 0xFFFFu; ++i) {
        const unsigned number = 1 + (start + i) % 0xFFFFu;   // 0001 to FFFF
        const std::string name = nameFor(number);
        const auto posix = drives.toPosix(name);
        if (!posix) return {};
        const int fd = open(posix->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            return name;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace parelix
