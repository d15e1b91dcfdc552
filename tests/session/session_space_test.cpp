// What a session tells of the space the duplicates take and what its deletions freed,
// checked against the disk, and the list of groups it saves through the save dialog.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/Drives.h"
#include "results/DuplicateList.h"
#include "results/Messages.h"
#include "session/Session.h"
#include "support/DiskSnapshot.h"
#include "support/FakeResultsSession.h"
#include "support/SessionFixture.h"

namespace parelix {
namespace {

namespace fs = std::filesystem;

test::PrivateTrash trash;   // before GLib first reads XDG_DATA_HOME

class SessionSpace : public test::SessionFixture {
protected:
    SessionSpace()
        : SessionFixture({{"a/one.txt", "same content"},
                          {"a/x.bin", std::string(3000, 'x')},
                          {"b/two.txt", "same content"},
                          {"b/y.bin", std::string(3000, 'x')},
                          {"b/unique.bin", std::string(3000, 'u')},
                          {"c/three.txt", "same content"}}) {}

    // The extra copies as the disk has them: every set of equal files below the root.
    ExtraCopies onDisk() {
        std::map<std::string, std::uint64_t> copies;
        for (const auto& [path, content] : test::filesBelow({tree_.path()})) ++copies[content];
        ExtraCopies extra;
        for (const auto& [content, count] : copies) {
            extra.files += count - 1;
            extra.bytes += (count - 1) * content.size();
        }
        return extra;
    }
    // The bytes of every file in the recycle bin.
    static std::uint64_t trashedBytes() {
        std::uint64_t bytes = 0;
        if (!fs::exists(trash.files())) return 0;
        for (const auto& e : fs::recursive_directory_iterator(trash.files()))
            if (e.is_regular_file()) bytes += e.file_size();
        return bytes;
    }
    NodeId fileNode(const std::string& relative) {
        const TreeStore& dir = session_.trees().dirList;
        for (NodeId n : test::preorder(dir))
            if (session_.trees().nodePath(n) == root_ + "\\" + relative) return n;
        ADD_FAILURE() << relative << " has no node";
        return kNoNode;
    }
    void drop(const std::string& relative) {
        session_.viewStores().results.dirList.select(fileNode(relative));
        session_.dropOnTrash(TreeId::DirList);
    }
};

// After the search and after every deletion the figures are the disk's; what went counts
// the files sent, a folder its files, and stays counted across the next search.
TEST_F(SessionSpace, FiguresFollowTheSearchAndEveryDeletion) {
    const std::uint64_t trashedBefore = trashedBytes();
    session_.search({root_});
    EXPECT_EQ(session_.spaceTaken(), onDisk());
    EXPECT_EQ(session_.spaceTaken(), (ExtraCopies{3, 2 * 12 + 3000}));
    ASSERT_EQ(view_.figures, (std::vector<std::string>{"", "Copies en trop\u00A0: 3 (3\u00A0Ko)"}));

    drop("b\\two.txt");
    EXPECT_EQ(session_.spaceTaken(), onDisk());
    EXPECT_EQ(view_.figures.back(), "Copies en trop\u00A0: 2 (2,9\u00A0Ko) — Libéré\u00A0: 12\u00A0octets");

    drop("a");   // one.txt (12) and x.bin (3000): both groups dissolve
    EXPECT_EQ(session_.spaceTaken(), onDisk());
    EXPECT_EQ(session_.freed().sent, 2u);
    EXPECT_EQ(session_.freed().bytes, trashedBytes() - trashedBefore);
    EXPECT_EQ(view_.figures.back(), "Copies en trop\u00A0: 0 (0\u00A0octet) — Libéré\u00A0: 3\u00A0Ko");

    // Refused: nothing more is counted.
    services_.answer = false;
    view_.focus = TreeId::DirList;
    session_.viewStores().results.dirList.select(fileNode("b\\unique.bin"));
    session_.trashClick();
    EXPECT_EQ(session_.freed().sent, 2u);

    tree_.write("d/four.txt", "same content");
    session_.search({root_});
    EXPECT_EQ(session_.spaceTaken(), onDisk());
    EXPECT_EQ(view_.figures.back(), "Copies en trop\u00A0: 1 (12\u00A0octets) — Libéré\u00A0: 3\u00A0Ko");
    EXPECT_TRUE(services_.shown.empty());
}

// The file is well-formed UTF-8, as glibc's converter reads it.
bool wellFormedUtf8(std::string text) {
    const iconv_t cd = ::iconv_open("UTF-8", "UTF-8");
    std::string converted(text.size() * 4 + 16, '\0');
    char* in = text.data();
    char* out = converted.data();
    std::size_t inLeft = text.size(), outLeft = converted.size();
    const bool whole = ::iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    ::iconv_close(cd);
    return whole && inLeft == 0;
}

// The list goes where the dialog says, in UTF-8 even with a name that is not, whose system
// path leads back to the file; a cancel writes nothing; a failure says why; and nothing is
// asked while a deletion holds the session.
TEST_F(SessionSpace, TheListIsSavedWhereTheDialogSays) {
    const std::string latin1 = tree_.write("d/\xE9t\xE9 caf\xE9.bin", "latin-1 pair");
    tree_.write("d/copy.bin", "latin-1 pair");
    session_.search({root_});
    test::TempDir out;
    services_.savePath = out.path() + "/doubles.csv";
    session_.saveDuplicateList();
    EXPECT_EQ(services_.saveDialogs, std::vector<std::string>{"Enregistre la liste des doubles"});
    const std::string saved = test::readFile(out.path() + "/doubles.csv");
    EXPECT_EQ(saved, duplicateListCsv(session_.trees(), DriveTable::current(), [](NodeId) { return false; }));
    EXPECT_TRUE(wellFormedUtf8(saved));
    const std::string field = "," + escapedSystemPath(latin1) + ",non\r\n";
    EXPECT_NE(latin1, escapedSystemPath(latin1));
    EXPECT_NE(saved.find(field), std::string::npos) << saved;
    EXPECT_EQ(test::unescapeSystemPath(escapedSystemPath(latin1)), latin1);
    EXPECT_EQ(view_.log.back(), "Liste des doubles enregistrée dans " +
                                    DriveTable::current().toWindows(out.path()).value() + "\\doubles.csv");
    EXPECT_TRUE(services_.shown.empty());

    services_.savePath.reset();   // cancelled
    const std::size_t lines = view_.log.size();
    session_.saveDuplicateList();
    EXPECT_EQ(view_.log.size(), lines);
    EXPECT_TRUE(services_.shown.empty());

    // A FIFO: refused at once, not waited on for a reader.
    const std::string fifo = out.path() + "/fifo.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    services_.savePath = fifo;
    session_.saveDuplicateList();
    ASSERT_EQ(services_.shown.size(), 1u);
    EXPECT_EQ(services_.shown[0].text, "Impossible d'enregistrer la liste des doubles dans «\u00A0" +
                                           DriveTable::current().toWindows(fifo).value() +
                                           "\u00A0»\u00A0: " + std::string(kSaveListNotRegular));
    EXPECT_EQ(services_.shown[0].caption, "Erreur");
    EXPECT_EQ(services_.shown[0].kind, MessageKind::Error);

    services_.saveDialogs.clear();
    services_.onQuestion = [&](const std::string&) {
        session_.saveDuplicateList();
        return false;
    };
    view_.focus = TreeId::DirList;
    session_.viewStores().results.dirList.select(fileNode("b\\two.txt"));
    session_.trashClick();
    EXPECT_EQ(services_.questions.size(), 1u);
    EXPECT_TRUE(services_.saveDialogs.empty());
}

}  // namespace
}  // namespace parelix
