// make-bench-tree: writes one of the generated benchmark trees into an empty or missing folder.
// Same tree on every run and every machine: contents come from a fixed seed through integer-only
// generators (no floating point, no library distributions).
//
//   make-bench-tree w4 FOLDER   20,000 files of 4,096 bytes in 200 folders; 19,500 distinct
//                               contents, 500 of which have one copy (500 pairs)
//   make-bench-tree w5 FOLDER   300,000 files in 15,000 folders (150 x 100), 20 in each; 1 in 50
//                               empty, the others 1 to 65,535 bytes, log-uniform by octave; about
//                               1 in 12 a copy of an earlier file
//   make-bench-tree w6 FOLDER   1,200 files of 256 KiB in 40 folders whose first 16 KiB are one
//                               header; 1,170 distinct after it, 30 of them with one copy
//   make-bench-tree w7 FOLDER   one 5,000-byte file with 20,000 hard links in one folder, and
//                               one real copy of it beside them
//   make-bench-tree w8 FOLDER   100,000 files of 1 to 4,096 bytes (uniform) in 100 folders of
//                               1,000; 1 in 50 a copy of an earlier file
//   make-bench-tree w9 FOLDER   the same shape with 1,000,000 files in 1,000 folders
//
// Prints one line of counts on standard output.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kSeed = 0x5eed'2024'0b5e'7ee5ULL;

// splitmix64: tiny, fast, and fully defined by its integer arithmetic.
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); the modulo bias is irrelevant for n far below 2^64.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "make-bench-tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void makeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) fail(path);
}

// The content numbered `id`: `size` bytes of its own stream. A copy is the same id again.
void fillContent(std::vector<unsigned char>& buf, std::uint64_t id, std::size_t size) {
    buf.resize(size);
    Rng rng(kSeed ^ (id * 0xd1342543de82ef95ULL));
    // Bytes taken low first, so the tree does not depend on the machine's byte order.
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t v = rng.next();
        for (std::size_t j = i; j < size && j < i + 8; ++j, v >>= 8) buf[j] = static_cast<unsigned char>(v);
    }
}

void writeFile(const std::string& path, const std::vector<unsigned char>& buf) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail(path);
    std::size_t done = 0;
    while (done < buf.size()) {
        const ssize_t n = write(fd, buf.data() + done, buf.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) fail(path);
}

std::string num(unsigned v, int width) {
    char s[16];
    std::snprintf(s, sizeof s, "%0*u", width, v);
    return s;
}

// One size class crowded with different contents: the case where comparing every pair in turn
// costs the square of the class.
void makeW4(const std::string& root) {
    constexpr unsigned kFiles = 20000, kFolders = 200, kPairs = 500, kSize = 4096;
    constexpr unsigned kDistinct = kFiles - kPairs;
    for (unsigned d = 0; d < kFolders; ++d) makeDir(root + "/d" + num(d, 3));
    std::vector<unsigned char> buf;
    for (unsigned f = 0; f < kFiles; ++f) {
        // The last 500 files copy contents spread over the whole range.
        const unsigned id = f < kDistinct ? f : (f - kDistinct) * (kDistinct / kPairs);
        fillContent(buf, id, kSize);
        writeFile(root + "/d" + num(f % kFolders, 3) + "/f" + num(f, 5) + ".bin", buf);
    }
    std::printf("w4: %u files of %u bytes in %u folders, %u distinct contents, %u pairs\n", kFiles, kSize,
                kFolders, kDistinct, kPairs);
}

// Many small files of spread sizes, as in a source tree or a cache: small sizes are crowded.
void makeW5(const std::string& root) {
    constexpr unsigned kTop = 150, kSub = 100, kPerFolder = 20;
    constexpr unsigned kFiles = kTop * kSub * kPerFolder;
    Rng rng(kSeed);
    struct Original {
        std::uint32_t id;
        std::uint32_t size;
    };
    std::vector<Original> originals;
    originals.reserve(kFiles);
    std::vector<unsigned char> buf;
    unsigned copies = 0, empty = 0;
    unsigned long long bytes = 0;
    unsigned f = 0;
    for (unsigned t = 0; t < kTop; ++t) {
        const std::string top = root + "/d" + num(t, 3);
        makeDir(top);
        for (unsigned s = 0; s < kSub; ++s) {
            const std::string dir = top + "/s" + num(s, 2);
            makeDir(dir);
            for (unsigned k = 0; k < kPerFolder; ++k, ++f) {
                Original o{};
                if (!originals.empty() && rng.below(12) == 0) {
                    o = originals[rng.below(originals.size())];
                    ++copies;
                } else {
                    o.id = f;
                    if (rng.below(50) == 0) {
                        o.size = 0;
                    } else {
                        // An octave 2^b..2^(b+1)-1 chosen uniformly, then a size uniform in it.
                        const unsigned b = static_cast<unsigned>(rng.below(16));
                        o.size = (1u << b) + static_cast<std::uint32_t>(rng.below(1u << b));
                    }
                    originals.push_back(o);
                }
                if (o.size == 0) ++empty;
                bytes += o.size;
                fillContent(buf, o.id, o.size);
                writeFile(dir + "/f" + num(k, 2) + ".dat", buf);
            }
        }
    }
    std::printf("w5: %u files in %u folders, %u copies, %u empty, %llu bytes\n", kFiles, kTop * kSub, copies,
                empty, bytes);
}

// Files that share a long beginning (one format's header, pre-allocated or silent starts):
// every file agrees with every other on its first chunks and differs only after them.
void makeW6(const std::string& root) {
    constexpr unsigned kFiles = 1200, kFolders = 40, kCopies = 30;
    constexpr std::size_t kSize = 256 * 1024, kHeader = 16 * 1024;
    constexpr unsigned kDistinct = kFiles - kCopies;
    for (unsigned d = 0; d < kFolders; ++d) makeDir(root + "/d" + num(d, 2));
    std::vector<unsigned char> header, buf;
    fillContent(header, 0xfeed, kHeader);
    for (unsigned f = 0; f < kFiles; ++f) {
        const unsigned id = f < kDistinct ? f : (f - kDistinct) * (kDistinct / kCopies);
        fillContent(buf, id + 1, kSize);
        std::copy(header.begin(), header.end(), buf.begin());
        writeFile(root + "/d" + num(f % kFolders, 2) + "/f" + num(f, 4) + ".db", buf);
    }
    std::printf("w6: %u files of %zu bytes in %u folders sharing their first %zu bytes, %u copies\n", kFiles,
                kSize, kFolders, kHeader, kCopies);
}

// A crowd of names for one file: every link is one file, so only the real copy pairs.
void makeW7(const std::string& root) {
    constexpr unsigned kLinks = 20000;
    constexpr std::size_t kSize = 5000;
    std::vector<unsigned char> buf;
    fillContent(buf, 7, kSize);
    const std::string dir = root + "/links";
    makeDir(dir);
    const std::string first = dir + "/l" + num(0, 5);
    writeFile(first, buf);
    for (unsigned i = 1; i < kLinks; ++i) {
        const std::string name = dir + "/l" + num(i, 5);
        if (link(first.c_str(), name.c_str()) != 0 && errno != EEXIST) fail(name);
    }
    writeFile(dir + "/copy", buf);
    std::printf("w7: one file of %zu bytes with %u names, and one copy\n", kSize, kLinks);
}

// Small files only, a thousand to a folder: the work is in the system calls, not the bytes.
void makeSmallFiles(const std::string& root, const char* name, unsigned folders) {
    constexpr unsigned kPerFolder = 1000, kMaxSize = 4096;
    Rng rng(kSeed ^ folders);
    struct Original {
        std::uint32_t id;
        std::uint32_t size;
    };
    std::vector<Original> originals;
    originals.reserve(static_cast<std::size_t>(folders) * kPerFolder);
    std::vector<unsigned char> buf;
    unsigned copies = 0, f = 0;
    unsigned long long bytes = 0;
    for (unsigned d = 0; d < folders; ++d) {
        const std::string dir = root + "/d" + num(d, 4);
        makeDir(dir);
        for (unsigned k = 0; k < kPerFolder; ++k, ++f) {
            Original o{};
            if (!originals.empty() && rng.below(50) == 0) {
                o = originals[rng.below(originals.size())];
                ++copies;
            } else {
                o = {f, 1 + static_cast<std::uint32_t>(rng.below(kMaxSize))};
                originals.push_back(o);
            }
            bytes += o.size;
            fillContent(buf, o.id, o.size);
            writeFile(dir + "/f" + num(k, 3) + ".dat", buf);
        }
    }
    std::printf("%s: %u files of 1 to %u bytes in %u folders, %u copies, %llu bytes\n", name, f, kMaxSize, folders,
                copies, bytes);
}

void makeW8(const std::string& root) { makeSmallFiles(root, "w8", 100); }
void makeW9(const std::string& root) { makeSmallFiles(root, "w9", 1000); }

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc == 3 ? argv[1] : "";
    void (*make)(const std::string&) = which == "w4" ? makeW4
                                       : which == "w5" ? makeW5
                                       : which == "w6" ? makeW6
                                       : which == "w7" ? makeW7
                                       : which == "w8" ? makeW8
                                       : which == "w9" ? makeW9
                                                       : nullptr;
    if (!make) {
        std::fprintf(stderr, "usage: %s w4|w5|w6|w7|w8|w9 FOLDER\n", argv[0]);
        return 2;
    }
    const std::string root = argv[2];
    makeDir(root);
    make(root);
    return 0;
}
