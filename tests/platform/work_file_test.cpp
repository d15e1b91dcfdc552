#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Drives.h"
#include "platform/WorkFile.h"
#include "support/TestSupport.h"

using namespace parelix;
using parelix::test::TempDir;

namespace {

constexpr std::size_t kRecord = 268;
using Record = std::array<char, kRecord>;

Record recordFor(int n) {
    Record r{};
    std::snprintf(r.data(), r.size(), "record %d", n);
    r[kRecord - 1] = static_cast<char>(n);
    return r;
}

std::string windowsName(const std::string& posix) {
    return DriveTable::current().toWindows(posix).value();
}

std::string contents(const std::string& posix) {
    std::ifstream in(posix, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs what(), expecting an InOutError, and gives its code (0 when none was raised).
template <typename F>
int errorCode(F what) {
    try {
        what();
    } catch (const InOutError& e) {
        EXPECT_EQ(e.what(), inOutErrorText(e.code()));
        return e.code();
    }
    return 0;
}

void writeRecords(WorkFile& f, int from, int to) {
    for (int i = from; i < to; ++i) {
        const Record r = recordFor(i);
        f.write(r.data());
    }
}

}  // namespace

TEST(InOutError, TextsAndCodes) {
    EXPECT_EQ(inOutErrorText(2), "Fichier introuvable");
    EXPECT_EQ(inOutErrorText(5), "Accès au fichier refusé");
    EXPECT_EQ(inOutErrorText(100), "Lecture au-delà de la fin de fichier");
    EXPECT_EQ(inOutErrorText(101), "Disque plein");
    EXPECT_EQ(inOutErrorText(21), "Erreur E/S 21");
    EXPECT_EQ(inOutCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(inOutCodeFromErrno(EACCES), 5);
    EXPECT_EQ(inOutCodeFromErrno(EPERM), 5);
    EXPECT_EQ(inOutCodeFromErrno(ENOSPC), 101);
    EXPECT_EQ(inOutCodeFromErrno(EDQUOT), 101);
    EXPECT_EQ(inOutCodeFromErrno(EISDIR), EISDIR);
    // errno values that share a number with a code of their own must not borrow its text.
    for (int err : {EIO, ENETDOWN, ENETUNREACH}) {
        const std::string text = inOutErrorText(inOutCodeFromErrno(err));
        EXPECT_EQ(text.rfind("Erreur E/S ", 0), 0u) << err << ": " << text;
    }
}

TEST(WorkFile, RecordsRoundTripByRecordAndByBlock) {
    TempDir dir;
    const std::string posix = dir.path() + "/list.tmp";
    WorkFile f;
    f.assign(windowsName(posix), DriveTable::current());
    f.rewrite(kRecord);
    writeRecords(f, 0, 1000);   // several write chunks
    EXPECT_EQ(f.fileSize(), 1000);   // buffered records count
    f.close();
    EXPECT_EQ(contents(posix).size(), 1000 * kRecord);

    f.reset(kRecord);
    EXPECT_EQ(f.fileSize(), 1000);
    std::vector<Record> block(243);
    ASSERT_EQ(f.blockRead(block.data(), 243), 243u);
    for (int i = 0; i < 243; ++i) ASSERT_EQ(block[static_cast<std::size_t>(i)], recordFor(i)) << i;
    Record r;
    f.read(r.data());
    EXPECT_EQ(r, recordFor(243));

    f.seek(990);
    EXPECT_EQ(f.blockRead(block.data(), 243), 10u);   // the tail only
    EXPECT_EQ(block[9], recordFor(999));
    EXPECT_EQ(f.blockRead(block.data(), 243), 0u);
    EXPECT_EQ(errorCode([&] { f.read(r.data()); }), 100);

    f.seek(500);
    f.read(r.data());
    EXPECT_EQ(r, recordFor(500));
    f.close();
}

TEST(WorkFile, WritesAfterSeekReplaceRecords) {
    TempDir dir;
    const std::string posix = dir.path() + "/w.tmp";
    WorkFile f;
    f.assign(windowsName(posix), DriveTable::current());
    f.rewrite(kRecord);
    writeRecords(f, 0, 3);
    f.seek(1);
    Record r;
    f.read(r.data());   // pending writes reach the file before the read
    EXPECT_EQ(r, recordFor(1));
    f.seek(1);
    const Record x = recordFor(77);
    f.write(x.data());
    std::vector<Record> two{recordFor(5), recordFor(6)};
    f.blockWrite(two.data(), 2);
    f.close();

    f.reset(kRecord);
    std::vector<Record> all(5);
    ASSERT_EQ(f.blockRead(all.data(), 5), 4u);
    EXPECT_EQ(all[0], recordFor(0));
    EXPECT_EQ(all[1], recordFor(77));
    EXPECT_EQ(all[2], recordFor(5));
    EXPECT_EQ(all[3], recordFor(6));
    f.close();

    // Rewriting starts from empty.
    f.rewrite(kRecord);
    f.close();
    EXPECT_EQ(contents(posix).size(), 0u);
}

// Blocks of every size, single records between them and a seek back into written pages:
// each record lands once, where it was written, whatever piece of it waited in the buffer.
TEST(WorkFile, BlocksOfAnySizeLandInOrder) {
    TempDir dir;
    const std::string posix = dir.path() + "/b.tmp";
    std::vector<Record> source;
    for (int i = 0; i < 2000; ++i) source.push_back(recordFor(i));
    std::vector<Record> expected;
    WorkFile f;
    f.assign(windowsName(posix), DriveTable::current());
    f.rewrite(kRecord);
    std::size_t next = 0;
    for (const std::size_t count : {243u, 1u, 243u, 17u, 500u, 243u, 3u, 242u, 244u}) {
        f.blockWrite(source[next].data(), count);
        expected.insert(expected.end(), source.begin() + static_cast<std::ptrdiff_t>(next),
                        source.begin() + static_cast<std::ptrdiff_t>(next + count));
        next += count;
    }
    f.seek(100);
    f.blockWrite(source[1500].data(), 400);
    std::copy(source.begin() + 1500, source.begin() + 1900, expected.begin() + 100);
    f.seek(static_cast<std::int64_t>(expected.size()));
    f.blockWrite(source[1900].data(), 100);
    expected.insert(expected.end(), source.begin() + 1900, source.begin() + 2000);
    f.close();

    const std::string bytes = contents(posix);
    ASSERT_EQ(bytes.size(), expected.size() * kRecord);
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_EQ(0, std::memcmp(bytes.data() + k * kRecord, expected[k].data(), kRecord)) << "record " << k;
}

TEST(WorkFile, PartialRecordAtEnd) {
    TempDir dir;
    const std::string posix = dir.write("p.tmp", std::string(2 * kRecord + 10, 'z'));
    WorkFile f;
    f.assign(windowsName(posix), DriveTable::current());
    f.reset(kRecord);
    EXPECT_EQ(f.fileSize(), 2);
    std::vector<Record> block(5);
    EXPECT_EQ(f.blockRead(block.data(), 5), 2u);
    Record r;
    EXPECT_EQ(errorCode([&] { f.read(r.data()); }), 100);
    f.close();
}

TEST(WorkFile, DestructorWritesPendingRecords) {
    TempDir dir;
    const std::string posix = dir.path() + "/d.tmp";
    {
        WorkFile f;
        f.assign(windowsName(posix), DriveTable::current());
        f.rewrite(kRecord);
        writeRecords(f, 0, 3);
    }
    EXPECT_EQ(contents(posix).size(), 3 * kRecord);
}

TEST(WorkFile, OpenFailures) {
    TempDir dir;
    WorkFile f;
    f.assign(windowsName(dir.path() + "/missing.tmp"), DriveTable::current());
    EXPECT_EQ(errorCode([&] { f.reset(kRecord); }), 2);
    EXPECT_FALSE(f.isOpen());
    f.assign(windowsName(dir.path() + "/no/such/folder.tmp"), DriveTable::current());
    EXPECT_EQ(errorCode([&] { f.rewrite(kRecord); }), 2);
    f.assign("Q:\\nowhere.tmp", DriveTable::current());
    EXPECT_EQ(errorCode([&] { f.rewrite(kRecord); }), 2);
    f.assign("", DriveTable::current());
    EXPECT_EQ(errorCode([&] { f.rewrite(kRecord); }), 2);

    Record r{};
    EXPECT_NE(errorCode([&] { f.write(r.data()); }), 0);   // never opened
    EXPECT_NE(errorCode([&] { f.close(); }), 0);

    // Opened for reading only: writing is refused at once.
    const std::string posix = dir.write("ro.tmp", "");
    f.assign(windowsName(posix), DriveTable::current());
    f.reset(kRecord);
    EXPECT_EQ(errorCode([&] { f.write(r.data()); }), 5);
    f.close();
}

TEST(WorkFile, AccessDeniedForAnotherUser) {
    TempDir dir;
    chmod(dir.path().c_str(), 0755);   // searchable, not writable, by others
    const std::string name = windowsName(dir.path() + "/x.tmp");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
        WorkFile f;
        f.assign(name, DriveTable::current());
        try {
            f.rewrite(kRecord);
        } catch (const InOutError& e) {
            _exit(e.code());
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
}

TEST(WorkFile, DiskFullSurfacesAndIsNeverLost) {
    WorkFile f;
    f.assign("C:\\dev\\full", DriveTable::current());
    // One record waits in the buffer; closing must report that it was never written.
    f.rewrite(kRecord);
    writeRecords(f, 0, 1);
    EXPECT_EQ(errorCode([&] { f.close(); }), 101);
    EXPECT_FALSE(f.isOpen());

    f.rewrite(kRecord);
    EXPECT_EQ(errorCode([&] { writeRecords(f, 0, 10000); }), 101);
    f.close();   // what failed was reported once, not again

    f.rewrite(kRecord);
    writeRecords(f, 0, 2);
    EXPECT_EQ(errorCode([&] { f.seek(0); }), 101);
    f.close();
}

TEST(WorkFile, EraseAndRename) {
    TempDir dir;
    const std::string a = dir.write("a.tmp", "AAAA");
    const std::string b = dir.write("b.000", "BBBB");
    WorkFile f;
    f.assign(windowsName(b), DriveTable::current());
    // Renaming onto a name in use fails and changes neither file.
    EXPECT_NE(errorCode([&] { f.rename(windowsName(a)); }), 0);
    EXPECT_EQ(contents(a), "AAAA");
    EXPECT_EQ(contents(b), "BBBB");
    EXPECT_EQ(f.name(), windowsName(b));

    f.assign(windowsName(a), DriveTable::current());
    f.erase();
    EXPECT_EQ(access(a.c_str(), F_OK), -1);
    EXPECT_EQ(errorCode([&] { f.erase(); }), 2);

    f.assign(windowsName(b), DriveTable::current());
    f.rename(windowsName(a));
    EXPECT_EQ(f.name(), windowsName(a));
    EXPECT_EQ(contents(a), "BBBB");
    EXPECT_EQ(access(b.c_str(), F_OK), -1);
    EXPECT_EQ(errorCode([&] { WorkFile g; g.assign(windowsName(b), DriveTable::current()); g.rename(windowsName(a)); }), 2);

    // An open file is closed, with its records written, before it is renamed.
    f.rewrite(4);
    f.write("WXYZ");
    f.rename(windowsName(b));
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(contents(b), "WXYZ");
}
