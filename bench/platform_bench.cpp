// Speed of the two platform paths the collection walk leans on: listing folders
// recursively, and writing one 268-byte record at a time to a work file.
//
//   platform_bench [FOLDER [RECORDS]]     FOLDER a POSIX path (default /usr)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/DirEnum.h"
#include "platform/Drives.h"
#include "platform/System.h"
#include "platform/WorkFile.h"

using namespace parelix;
using Clock = std::chrono::steady_clock;

namespace {

struct Counts {
    long files = 0;
    long folders = 0;
};

void walk(const std::string& folder, Counts& counts) {
    ++counts.folders;
    DirEnumerator e(DriveTable::current());
    FindData d;
    for (bool more = e.findFirst(folder + "*.*", faAnyFile, d); more; more = e.findNext(d)) {
        if (d.name == "." || d.name == "..") continue;
        if (d.attributes & faDirectory)
            walk(folder + d.name + "\\", counts);
        else
            ++counts.files;
    }
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string posix = argc > 1 ? argv[1] : "/usr";
    const long records = argc > 2 ? std::atol(argv[2]) : 200000;
    auto folder = DriveTable::current().toWindows(posix);
    if (!folder) {
        std::fprintf(stderr, "cannot name %s\n", posix.c_str());
        return 1;
    }
    if (folder->back() != '\\') *folder += '\\';

    for (int pass = 1; pass <= 2; ++pass) {   // the second pass finds the inodes cached
        Counts counts;
        const auto start = Clock::now();
        walk(*folder, counts);
        const double ms = msSince(start);
        std::printf("listing pass %d: %ld files in %ld folders, %.0f ms, %.2f us per entry\n", pass,
                    counts.files, counts.folders, ms,
                    1000.0 * ms / static_cast<double>(counts.files + counts.folders));
    }

    const DriveTable& drives = DriveTable::current();
    const std::string name = GetTempFileNameA(drives, GetTempPathA(drives), "BEN", 0);
    WorkFile file;
    file.assign(name, drives);
    std::vector<char> record(268, 'r');
    auto start = Clock::now();
    file.rewrite(record.size());
    for (long i = 0; i < records; ++i) file.write(record.data());
    file.close();
    const double writeMs = msSince(start);
    start = Clock::now();
    file.reset(record.size());
    std::vector<char> block(243 * record.size());
    long read = 0;
    while (const std::size_t n = file.blockRead(block.data(), 243)) read += static_cast<long>(n);
    file.close();
    const double readMs = msSince(start);
    file.erase();
    std::printf("work file: %ld records written one at a time in %.0f ms (%.0f MB/s), "
                "read by blocks of 243 in %.0f ms\n",
                records, writeMs, static_cast<double>(records) * 268 / 1000.0 / writeMs, readMs);
    return read == records ? 0 : 1;
}
