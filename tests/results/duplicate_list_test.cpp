// The saved list of duplicates read back by a CSV reader of its own, names that need quoting
// included, and the file written whole or not at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <set>

#include "platform/WorkFile.h"
#include "results/DuplicateList.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/TestSupport.h"

using namespace parelix;

namespace {

using Row = std::vector<std::string>;

// RFC 4180 as a reader sees it: fields apart by commas, records ended by CR LF, a quoted
// field running over commas and line breaks with its quotes doubled. Fails the test on
// anything else (a bare quote, a record not ended).
std::vector<Row> readCsv(const std::string& text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "a quoted field never ends";
                    return rows;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
                    else break;
                } else {
                    field += text[i];
                }
            }
            ++i;   // past the closing quote
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"') ADD_FAILURE() << "a quote inside an unquoted field";
                field += text[i++];
            }
        }
        row.push_back(std::move(field));
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0) {
            ADD_FAILURE() << "a record not ended by CR LF at " << i;
            return rows;
        }
        i += 2;
        rows.push_back(std::move(row));
        row.clear();
    }
    return rows;
}

class DuplicateListTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TreeBuilder b(trees);
        const NodeId root = b.root("C:\\srv\\Données");
        const NodeId photos = b.folder(root, "Photos, été");
        quoted = b.file(photos, "dit \"bonjour\".jpg");
        const NodeId plain = b.file(root, "plain.jpg");
        const NodeId broken = b.file(root, "ligne\nsuite.jpg");
        const NodeId cafe = b.file(photos, "café.txt");
        const NodeId other = b.file(root, "autre.txt");
        // Its row shows the first 255 characters of its path: the list holds it whole.
        deep = b.file(b.folder(root, std::string(150, 'd')), std::string(140, 'n') + ".txt");
        b.group("200000000", {quoted, plain, broken});
        b.group("0", {cafe, other, deep});
    }
    ResultTrees trees;
    NodeId quoted = kNoNode;
    NodeId deep = kNoNode;
};

TEST_F(DuplicateListTest, EveryMemberReadsBackWithItsGroupSizeAndBothPaths) {
    const DriveTable& drives = DriveTable::current();
    const std::string csv = duplicateListCsv(trees, drives, [&](NodeId f) { return f == quoted; });
    const std::vector<Row> rows = readCsv(csv);

    std::vector<Row> expected = {{"Groupe", "Taille (octets)", "Chemin", "Chemin système", "Référence"}};
    int number = 0;
    for (NodeId g : trees.dblList.children(kNoNode)) {
        ++number;
        for (NodeId m : trees.dblList.children(g)) {
            const NodeId f = trees.dblList.link(m);
            const std::string path = trees.fullNodePath(f);
            expected.push_back({std::to_string(number), std::to_string(trees.dblList.bytes(g).value()), path,
                                drives.toPosix(path).value(), f == quoted ? "oui" : "non"});
        }
    }
    ASSERT_EQ(rows, expected);
    // The awkward names arrive whole: a comma, quotes, a line break, accents.
    EXPECT_EQ(rows[1][2], "C:\\srv\\Données\\Photos, été\\dit \"bonjour\".jpg");
    EXPECT_EQ(rows[1][3], "/srv/Données/Photos, été/dit \"bonjour\".jpg");
    EXPECT_EQ(rows[3][3], "/srv/Données/ligne\nsuite.jpg");
    EXPECT_EQ(rows[1][1], "200000000");
    EXPECT_EQ(rows[5][0], "2");
    const std::string deepPath = "C:\\srv\\Données\\" + std::string(150, 'd') + "\\" + std::string(140, 'n') + ".txt";
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[6][2], deepPath);
    EXPECT_EQ(rows[6][3], "/srv/Données/" + std::string(150, 'd') + "/" + std::string(140, 'n') + ".txt");

    // With no group, the header alone.
    EXPECT_EQ(readCsv(duplicateListCsv(ResultTrees(), drives, {})), (std::vector<Row>{expected[0]}));
}

// On disk byte for byte; a write that fails says why and leaves the old list as it was, with
// no file of its own beside it; what is no regular file is refused before anything is opened.
TEST_F(DuplicateListTest, TheOldListSurvivesEveryFailedWrite) {
    const std::string csv = duplicateListCsv(trees, DriveTable::current(), {});
    test::TempDir dir;
    const std::string path = dir.path() + "/doubles.csv";
    const std::string old = "an older, longer list that the new one replaces entirely";
    writeWholeFile(path, old);
    ::chmod(path.c_str(), 0640);
    // Through a symbolic link the file it names is replaced, and the link stays.
    ::symlink(path.c_str(), (dir.path() + "/link.csv").c_str());
    writeWholeFile(dir.path() + "/link.csv", csv);
    EXPECT_EQ(test::readFile(path), csv);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() + "/link.csv"));
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    const auto names = [](const std::string& folder) {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder)) out.insert(e.path().filename().string());
        return out;
    };
    EXPECT_EQ(names(dir.path()), (std::set<std::string>{"doubles.csv", "link.csv"}));

    auto failure = [&](const std::string& target, const std::string& content = {}) {
        try {
            writeWholeFile(target, content.empty() ? csv : content);
        } catch (const InOutError& e) {
            return e.code() == kNotRegularFile ? std::string("not regular") : std::string(e.what());
        }
        return std::string("written");
    };
    EXPECT_EQ(failure(dir.path() + "/nowhere/doubles.csv"), "Fichier introuvable");
    EXPECT_EQ(failure(dir.path()), "Erreur E/S 21");   // a folder
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/nowhere"));
    // A device is never opened to be written (a null device would swallow the list). One of
    // the test's own: a faulty write must not replace the system's.
    const std::string device = dir.path() + "/null.csv";
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) {
        EXPECT_EQ(failure(device), "not regular");
        EXPECT_TRUE(std::filesystem::is_character_file(device));
    } else {
        std::cerr << "no device of the test's own (mknod needs root): not written over one\n";
    }

    // A FIFO with no reader: an open for writing would wait for one.
    const std::string fifo = dir.path() + "/fifo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto answer = std::async(std::launch::async, [&] { return failure(fifo); });
    if (answer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the write waits for a reader of the FIFO";
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        answer.wait();
        ::close(reader);
    }
    EXPECT_EQ(answer.get(), "not regular");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    // A full file system: the new list does not fit, the old one is left whole.
    const std::string small = dir.mkdir("small");
    test::ScopedMount mount = test::ScopedMount::tmpfs(small, "64k");
    if (!mount.ok()) GTEST_SKIP() << "the full file system: " << mount.why();
    writeWholeFile(small + "/doubles.csv", old);
    {
        std::ofstream filler(small + "/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        }
    }
    // Larger than the old one's pages: written in place it would have run out midway.
    std::string longer;
    while (longer.size() < 5 * 4096) longer += csv;
    EXPECT_EQ(failure(small + "/doubles.csv", longer), "Disque plein");
    EXPECT_EQ(test::readFile(small + "/doubles.csv"), old);
    EXPECT_EQ(names(small), (std::set<std::string>{"doubles.csv", "filler"}));
}

// A name that is not UTF-8 keeps the file UTF-8: the shown path holds U+FFFD, the system
// path its bytes as \xHH, from which they come back whole.
TEST(DuplicateListText, ANameThatIsNotUtf8IsEscapedAndComesBack) {
    const std::string latin1 = "/srv/\xE9t\xE9/caf\xE9\xC3(\xED\xA0\x80\xF4\x90\x80\x80.txt";
    const std::string escaped = escapedSystemPath(latin1);
    EXPECT_EQ(escaped, "/srv/\\xE9t\\xE9/caf\\xE9\\xC3(\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80.txt");
    EXPECT_EQ(shownUtf8("C:\\caf\xE9"), "C:\\caf\xEF\xBF\xBD");
    // Well-formed UTF-8 of every length stays as it is.
    const std::string fine = "/x/\x7F\xC3\xA9\xE2\x80\xAF\xF0\x9F\x98\x80";
    EXPECT_EQ(escapedSystemPath(fine), fine);
    EXPECT_EQ(shownUtf8(fine), fine);
    EXPECT_EQ(test::unescapeSystemPath(escaped), latin1);
}

}  // namespace
