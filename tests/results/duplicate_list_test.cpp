// The saved list of duplicates read back by a CSV reader of its own, names that need quoting
// included, and the file written whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/WorkFile.h"
#include "results/DuplicateList.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsWindow.h"
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
        b.group("200000000", {quoted, plain, broken});
        b.group("0", {cafe, other});
    }
    ResultTrees trees;
    NodeId quoted = kNoNode;
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
            const std::string path = trees.nodePath(f);
            expected.push_back({std::to_string(number), trees.dblList.text(g).substr(1, trees.dblList.text(g).size() - 2),
                                path, drives.toPosix(path).value(), f == quoted ? "oui" : "non"});
        }
    }
    ASSERT_EQ(rows, expected);
    // The awkward names arrive whole: a comma, quotes, a line break, accents.
    EXPECT_EQ(rows[1][2], "C:\\srv\\Données\\Photos, été\\dit \"bonjour\".jpg");
    EXPECT_EQ(rows[1][3], "/srv/Données/Photos, été/dit \"bonjour\".jpg");
    EXPECT_EQ(rows[3][3], "/srv/Données/ligne\nsuite.jpg");
    EXPECT_EQ(rows[1][1], "200000000");
    EXPECT_EQ(rows[5][0], "2");

    // With no group, the header alone.
    EXPECT_EQ(readCsv(duplicateListCsv(ResultTrees(), drives, {})), (std::vector<Row>{expected[0]}));
}

// On disk byte for byte; a write that fails says why, and a file it created does not stay
// half written.
TEST_F(DuplicateListTest, TheFileIsWrittenWholeOrTheFailureSaysWhy) {
    const std::string csv = duplicateListCsv(trees, DriveTable::current(), {});
    test::TempDir dir;
    const std::string path = dir.path() + "/doubles.csv";
    writeWholeFile(path, "an older, longer list that the new one replaces entirely");
    writeWholeFile(path, csv);
    EXPECT_EQ(test::readFile(path), csv);

    auto failure = [&](const std::string& target) {
        try {
            writeWholeFile(target, csv);
        } catch (const InOutError& e) {
            return std::string(e.what());
        }
        return std::string("written");
    };
    EXPECT_EQ(failure(dir.path() + "/nowhere/doubles.csv"), "Fichier introuvable");
    EXPECT_EQ(failure("/dev/full"), "Disque plein");   // the open succeeds, the write fails
    EXPECT_EQ(failure(dir.path()), "Erreur E/S 21");   // a folder
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/nowhere"));
}

}  // namespace
