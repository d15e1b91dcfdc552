// The collection walk over real folder trees: nodes, records, counters, the stop, folders
// whose path is too long to be named, folders reached a second time, trash folders,
// exclusions, unnameable names, and the scan tool run out of descriptors (the same walk
// with the folders listed ahead: collect_ahead_test).
#include "tests/engine/collect_scene.h"

namespace parelix {
namespace {

TEST_F(CollectTest, MirrorsTheTreeAndWritesRecordsInWalkOrder) {
    tree_.write("b.txt", "abc");
    tree_.write("A.txt", "");
    tree_.write(".hidden", "12345");
    tree_.write("sub/x.bin", std::string(10, 'x'));
    tree_.write("sub/deeper/y", "y");
    tree_.write("sub/z", "zz");
    tree_.mkdir("empty");
    test::TempDir second;
    second.write("only", "1234");
    const std::string root2 = winPath(second.path());

    engine_.collectFiles({root2, root_});

    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", "7 fichiers dans 5 répertoires"}));
    EXPECT_EQ(ui_.phases, (std::vector<std::string>{"+Collection", "-Collection 7"}));
    EXPECT_FALSE(engine_.collecting());
    EXPECT_EQ(engine_.fileCount(), 7);
    EXPECT_EQ(engine_.dirCount(), 5);

    // Top level in the order given, not sorted.
    ASSERT_EQ(childTexts(kNoNode), (std::vector<std::string>{root2, root_}));
    const NodeId top = tree().child(kNoNode, 1);
    expectWalkedFolder(tree().child(kNoNode, 0));
    expectWalkedFolder(top);

    // Children in collation order, folders and files together; the hidden file is collected.
    const std::vector<std::string> texts = childTexts(top);
    EXPECT_EQ(std::multiset<std::string>(texts.begin(), texts.end()),
              (std::multiset<std::string>{"--> empty", "--> sub", ".hidden", "A.txt", "b.txt"}));
    for (std::size_t k = 1; k < texts.size(); ++k) EXPECT_LT(lstrcmpA(texts[k - 1], texts[k]), 0);
    const NodeId empty = childByText(top, "--> empty");
    expectWalkedFolder(empty);
    EXPECT_EQ(tree().childCount(empty), 0);
    const NodeId sub = childByText(top, "--> sub");
    expectWalkedFolder(sub);
    expectWalkedFolder(childByText(sub, "--> deeper"));

    // Directory records: the paths in the order entered, parents first, indices running on
    // across search paths.
    const std::vector<std::string> d = dirs();
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(d[0], root2 + "\\");
    EXPECT_EQ(d[1], root_ + "\\");
    EXPECT_EQ(std::set<std::string>(d.begin() + 2, d.end()),
              (std::set<std::string>{root_ + "\\sub\\", root_ + "\\sub\\deeper\\", root_ + "\\empty\\"}));
    const auto at = [&](const std::string& p) { return std::find(d.begin(), d.end(), p) - d.begin(); };
    EXPECT_LT(at(root_ + "\\sub\\"), at(root_ + "\\sub\\deeper\\"));

    // File records follow the system's listing, each folder's contents written where the
    // folder is met.
    std::vector<std::string> expected{root2 + "\\only"};
    appendFilesAsListed(root_, expected);
    std::vector<std::string> written;
    for (const FileEntry& f : files()) written.push_back(d[f.dirIndex] + f.name);
    EXPECT_EQ(written, expected);
    expectRecordsMatchNodes();
    EXPECT_EQ(ui_.eventTurns, 2 + 5);   // two log lines, one turn per folder
}

TEST_F(CollectTest, FolderThatCannotBeListedIsEmptyButCounted) {
    // Listed ahead, the folder could be read before its turn.
    test::EnvVariable alone("PARELIX_WALK_AHEAD", "0");
    tree_.write("gone/a", "a");
    tree_.write("gone/b", "b");
    tree_.write("kept", "k");
    const std::string gone = root_ + "\\gone";
    // Removed between the folder's turn of the event loop and its listing.
    ui_.onEventTurn = [&] {
        if (ui_.folder == gone && fs::exists(tree_.path() + "/gone")) fs::remove_all(tree_.path() + "/gone");
    };
    engine_.collectFiles({root_});
    EXPECT_EQ(engine_.fileCount(), 1);
    EXPECT_EQ(engine_.dirCount(), 2);
    EXPECT_EQ(dirs(), (std::vector<std::string>{root_ + "\\", gone + "\\"}));
    const NodeId node = childByText(tree().firstRoot(), "--> gone");
    expectWalkedFolder(node);
    EXPECT_EQ(tree().childCount(node), 0);
    EXPECT_EQ(ui_.log.back(), "1 fichiers dans 2 répertoires");
}

TEST_F(CollectTest, StopFinishesListingsUnderWayAndWalksNothingMore) {
    for (const char* d : {"d1", "d2", "d3"}) {
        tree_.write(std::string(d) + "/f1", "1");
        tree_.write(std::string(d) + "/f2", "22");
        tree_.write(std::string(d) + "/inner/f3", "333");
    }
    for (std::size_t k = 0; k < 5; ++k) tree_.write("top" + std::to_string(k), std::string(k, 't'));
    test::TempDir later;
    later.write("never", "n");
    const std::string laterRoot = winPath(later.path());

    // The stop is clicked in the second folder's turn, which is then still listed.
    int turns = 0;
    std::string stoppedIn;
    SearchEngine::StopRole role = SearchEngine::StopRole::Idle;
    ui_.onEventTurn = [&] {
        if (ui_.folder.empty() || !engine_.collecting() || ++turns != 2) return;
        stoppedIn = ui_.folder;
        EXPECT_FALSE(engine_.canClose());
        role = engine_.stop();
    };
    engine_.collectFiles({root_, laterRoot});

    EXPECT_EQ(role, SearchEngine::StopRole::StoppedCollection);
    EXPECT_FALSE(engine_.collecting());
    EXPECT_EQ(turns, 2);
    ASSERT_EQ(stoppedIn.substr(0, root_.size() + 2), root_ + "\\d");

    const std::vector<FileEntry> f = files();
    const std::vector<std::string> d = dirs();
    EXPECT_EQ(engine_.dirCount(), 2);
    EXPECT_EQ(d, (std::vector<std::string>{root_ + "\\", stoppedIn + "\\"}));
    EXPECT_EQ(static_cast<std::size_t>(engine_.fileCount()), f.size());
    EXPECT_EQ(ui_.log.back(), std::to_string(f.size()) + " fichiers dans 2 répertoires");
    // All five files of the top folder and the two of the stopped folder.
    EXPECT_EQ(f.size(), 7u);
    expectRecordsMatchNodes();

    const NodeId top = tree().firstRoot();
    expectWalkedFolder(top);
    EXPECT_EQ(tree().childCount(top), 8);
    for (NodeId c : tree().children(top)) {
        const std::string& text = tree().text(c);
        if (text.rfind("--> ", 0) != 0) continue;
        if (root_ + "\\" + text.substr(4) == stoppedIn) {
            expectWalkedFolder(c);
            EXPECT_EQ(childTexts(c), (std::vector<std::string>{"--> inner", "f1", "f2"}));
            expectUnwalkedFolder(childByText(c, "--> inner"));
        } else {
            expectUnwalkedFolder(c);
        }
    }
    const NodeId second = tree().child(kNoNode, 1);
    EXPECT_EQ(tree().text(second), laterRoot);
    expectUnwalkedFolder(second);
}

TEST_F(CollectTest, FolderWhosePathWouldPassTheLimitIsReportedNotWalked) {
    // One child whose path with its backslash is exactly 255 characters, one a character longer.
    const std::size_t room = 254 - root_.size() - 1;
    ASSERT_LT(room, 250u);
    const std::string fits(room, 'a');
    const std::string tooLong(room + 1, 'b');
    tree_.write(fits + "/inside", "12");
    tree_.write(fits + "/deeper/lost", "3");
    tree_.write(tooLong + "/lost", "456");
    // A folder name as long as a name may be: its node text, prefix included, is cut.
    const std::string longestName(255, 'c');
    tree_.write(longestName + "/lost", "7");

    engine_.collectFiles({root_});

    EXPECT_EQ(engine_.dirCount(), 2);
    EXPECT_EQ(engine_.fileCount(), 1);
    const std::vector<std::string> d = dirs();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[1], root_ + "\\" + fits + "\\");
    EXPECT_EQ(d[1].size(), 255u);
    // The file inside is recorded even though its full path passes the limit.
    EXPECT_EQ(files().at(0).name, "inside");

    const std::string tooLongPath = root_ + "\\" + tooLong;
    const std::string deeperPath = d[1] + "deeper";
    const std::multiset<std::string> lines(ui_.log.begin(), ui_.log.end());
    EXPECT_EQ(lines.count("Chemin trop long, répertoire ignoré : " + tooLongPath), 1u);
    EXPECT_EQ(lines.count("Chemin trop long, répertoire ignoré : " + cut255(deeperPath)), 1u);
    EXPECT_EQ(lines.count("Chemin trop long, répertoire ignoré : " + cut255(root_ + "\\" + longestName)), 1u);
    EXPECT_EQ(ui_.log.back(), "1 fichiers dans 2 répertoires");

    const NodeId top = tree().firstRoot();
    expectUnwalkedFolder(childByText(top, "--> " + tooLong));
    const NodeId longest = childByText(top, cut255("--> " + longestName));
    EXPECT_EQ(tree().text(longest).size(), 255u);
    expectUnwalkedFolder(longest);
    const NodeId walked = childByText(top, "--> " + fits);
    expectWalkedFolder(walked);
    expectUnwalkedFolder(childByText(walked, "--> deeper"));
}

// A search path inside another, in either order, and one given twice: each folder is walked
// once, by whichever path reaches it first; the other keeps an unwalked node and is reported.
TEST_F(CollectTest, FolderReachedBySecondSearchPathIsWalkedOnce) {
    tree_.write("top", "1");
    tree_.write("sub/inner", "22");
    tree_.write("sub/deeper/leaf", "333");
    const std::string sub = root_ + "\\sub";
    const std::string skipped = "Répertoire déjà parcouru, ignoré : ";

    engine_.collectFiles({root_, sub});
    EXPECT_EQ(engine_.fileCount(), 3);
    EXPECT_EQ(engine_.dirCount(), 3);
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", skipped + sub,
                                                 "3 fichiers dans 3 répertoires"}));
    expectWalkedFolder(tree().child(kNoNode, 0));
    EXPECT_EQ(tree().text(tree().child(kNoNode, 1)), sub);
    expectUnwalkedFolder(tree().child(kNoNode, 1));
    expectRecordsMatchNodes();

    trees_.clear();
    ui_.log.clear();
    engine_.collectFiles({sub, root_, root_});
    EXPECT_EQ(engine_.fileCount(), 3);
    EXPECT_EQ(engine_.dirCount(), 3);
    EXPECT_EQ(dirs(), (std::vector<std::string>{sub + "\\", sub + "\\deeper\\", root_ + "\\"}));
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", skipped + sub, skipped + root_,
                                                 "3 fichiers dans 3 répertoires"}));
    expectWalkedFolder(tree().child(kNoNode, 0));
    const NodeId second = tree().child(kNoNode, 1);
    expectWalkedFolder(second);
    EXPECT_EQ(childTexts(second), (std::vector<std::string>{"--> sub", "top"}));
    expectUnwalkedFolder(childByText(second, "--> sub"));
    expectUnwalkedFolder(tree().child(kNoNode, 2));
    expectRecordsMatchNodes();
}

// A bind mount of an ancestor below itself: without the check the walk would go round until
// paths passed the limit, and every file would be a double of itself.
TEST_F(CollectTest, BindMountOfAnAncestorIsNotWalkedAgain) {
    tree_.write("x", "one");
    tree_.write("a/y", "one");
    const std::string target = tree_.mkdir("a/b");
    const test::ScopedMount mount = test::ScopedMount::bind(tree_.path(), target);
    if (!mount.ok()) GTEST_SKIP() << mount.why();

    engine_.collectFiles({root_});

    EXPECT_EQ(engine_.fileCount(), 2);
    EXPECT_EQ(engine_.dirCount(), 2);
    EXPECT_EQ(dirs(), (std::vector<std::string>{root_ + "\\", root_ + "\\a\\"}));
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations",
                                                 "Répertoire déjà parcouru, ignoré : " + root_ + "\\a\\b",
                                                 "2 fichiers dans 2 répertoires"}));
    const NodeId a = childByText(tree().firstRoot(), "--> a");
    expectWalkedFolder(a);
    EXPECT_EQ(childTexts(a), (std::vector<std::string>{"--> b", "y"}));
    expectUnwalkedFolder(childByText(a, "--> b"));
    expectRecordsMatchNodes();
}

// The home trash inside a searched folder, as ~/.local/share/Trash lies in a home: its
// copies are no files to search, and a search path in it is reported once and not walked.
TEST_F(CollectTest, TrashFolderIsNeitherWalkedNorSearched) {
    const std::string data = trash.base() + "/data";
    const auto write = [](const std::string& path, const std::string& content) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    };
    write(trash.files() + "/photo.jpg", "same bytes");
    write(trash.info() + "/photo.jpg.trashinfo", "[Trash Info]\nPath=/x/photo.jpg\n");
    write(data + "/Documents/photo.jpg", "same bytes");
    const std::string trashFolder = winPath(data + "/Trash");

    engine_.collectFiles({winPath(data), trashFolder + "\\files", trashFolder});

    EXPECT_EQ(engine_.fileCount(), 1);
    EXPECT_EQ(engine_.dirCount(), 2);
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations",
                                                 "Corbeille, répertoire ignoré : " + trashFolder + "\\files",
                                                 "Corbeille, répertoire ignoré : " + trashFolder,
                                                 "1 fichiers dans 2 répertoires"}));
    EXPECT_EQ(childTexts(tree().firstRoot()), (std::vector<std::string>{"--> Documents"}));
    expectUnwalkedFolder(tree().child(kNoNode, 1));
    expectUnwalkedFolder(tree().child(kNoNode, 2));
    expectRecordsMatchNodes();
    fs::remove_all(data + "/Documents");
    fs::remove_all(data + "/Trash");
}

// A file system mounted after the program started (after the drive table was read): its
// trash folder is neither walked nor searched either, and a search path in it is reported.
TEST_F(CollectTest, TrashOfAFileSystemMountedLaterIsNeitherWalkedNorSearched) {
    const std::string usb = tree_.path() + "/usb";
    fs::create_directories(usb);
    test::ScopedMount mount = test::ScopedMount::tmpfs(usb, "1m");
    if (!mount.ok()) GTEST_SKIP() << "no file system mounted later: " << mount.why();
    const std::string trashFolder = ".Trash-" + std::to_string(getuid());
    tree_.write("usb/" + trashFolder + "/files/photo.jpg", "same bytes");
    tree_.write("usb/photo.jpg", "same bytes");
    const std::string inside = root_ + "\\usb\\" + trashFolder + "\\files";

    engine_.collectFiles({root_, inside});

    EXPECT_EQ(engine_.fileCount(), 1);
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", "Corbeille, répertoire ignoré : " + inside,
                                                 "1 fichiers dans 2 répertoires"}));
    EXPECT_EQ(childTexts(childByText(tree().firstRoot(), "--> usb")), std::vector<std::string>{"photo.jpg"});
    expectRecordsMatchNodes();
}

// Excluded folders and files leave no trace; names are compared byte for byte and whole
// component by component; a search path inside an exclusion, or a drive excluded, is
// reported once; an exclusion outside every search path changes nothing.
TEST_F(CollectTest, ExclusionsAreNeitherEnteredNorCollected) {
    tree_.write("a/f", "1");
    tree_.write("a/sub/g", "22");
    tree_.write("ab/h", "333");
    tree_.write("A/i", "4444");
    tree_.write("skip.txt", "5");
    tree_.write("skip.txt2", "66");
    tree_.write("keep/skip.txt", "777");
    tree_.write("keep/k", "8888");
    const std::string skipped = "Chemin exclu, répertoire ignoré : ";

    const std::vector<std::string> exclusions{root_ + "\\a", root_ + "\\skip.txt", root_ + "\\nowhere\\x",
                                              root_ + "\\keep\\k\\"};
    engine_.collectFiles({root_, root_ + "\\a\\sub", root_ + "\\a"}, exclusions);
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", skipped + root_ + "\\a\\sub",
                                                 skipped + root_ + "\\a", "4 fichiers dans 4 répertoires"}));
    const NodeId top = tree().firstRoot();
    const std::vector<std::string> texts = childTexts(top);
    EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()),
              (std::set<std::string>{"--> A", "--> ab", "--> keep", "skip.txt2"}));
    EXPECT_EQ(childTexts(childByText(top, "--> keep")), (std::vector<std::string>{"skip.txt"}));
    expectUnwalkedFolder(tree().child(kNoNode, 1));
    expectUnwalkedFolder(tree().child(kNoNode, 2));
    std::set<std::string> names;
    for (const FileEntry& f : files()) names.insert(f.name);
    EXPECT_EQ(names, (std::set<std::string>{"i", "h", "skip.txt2", "skip.txt"}));
    expectRecordsMatchNodes();

    // The whole drive excluded.
    trees_.clear();
    ui_.log.clear();
    engine_.collectFiles({root_}, {root_.substr(0, 2)});
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", skipped + root_,
                                                 "0 fichiers dans 0 répertoires"}));

    // Exclusions elsewhere: the walk is the same as without any.
    trees_.clear();
    ui_.log.clear();
    engine_.collectFiles({root_ + "\\keep"}, {root_ + "\\a", root_ + "\\kee", "Q:\\keep"});
    EXPECT_EQ(ui_.log, (std::vector<std::string>{"Collecte des informations", "2 fichiers dans 1 répertoires"}));

    // The search run hands its exclusions to the walk.
    engine_.searchRun({root_}, exclusions);
    EXPECT_EQ(ui_.log.at(1), "4 fichiers dans 4 répertoires");
}

// Names holding a backslash cannot be put in a path: each is said once, files and folders,
// and nothing of them is collected.
TEST_F(CollectTest, UnnameableNamesAreReportedOnce) {
    tree_.write("sub/back\\slash", "1");
    tree_.write("odd\\folder/inside", "22");
    tree_.write("plain", "333");

    engine_.collectFiles({root_});

    EXPECT_EQ(engine_.fileCount(), 1);
    EXPECT_EQ(engine_.dirCount(), 2);
    const std::multiset<std::string> lines(ui_.log.begin(), ui_.log.end());
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.count("Nom contenant « \\ », fichier ignoré : " + root_ + "\\sub\\back\\slash"), 1u);
    EXPECT_EQ(lines.count("Nom contenant « \\ », répertoire ignoré : " + root_ + "\\odd\\folder"), 1u);
    EXPECT_EQ(ui_.log.back(), "1 fichiers dans 2 répertoires");
    expectRecordsMatchNodes();
}

#ifdef PARELIX_SCAN
// Runs the scan tool on a folder with at most `descriptors` open files, as `ulimit -n` sets
// it (soft and hard limits), or with only the soft limit that low; the folders listed ahead
// or not. Its exit status, and its standard output and error.
std::pair<int, std::string> scanWithDescriptors(const std::string& folder, const std::string& work, rlim_t descriptors,
                                                bool ahead, bool hard = true) {
    const std::string out = work + "/scan.out";
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) _exit(120);
        dup2(fd, 1);
        dup2(fd, 2);
        close_range(3, ~0U, 0);
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = descriptors;
        if (hard) limit.rlim_max = descriptors;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(121);
        setenv("TMPDIR", work.c_str(), 1);
        setenv("PARELIX_WALK_AHEAD", ahead ? "1" : "0", 1);
        execl(PARELIX_SCAN, PARELIX_SCAN, folder.c_str(), static_cast<char*>(nullptr));
        _exit(122);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readFile(out)};
}

// The walk holds one folder open at a time, however deep, and the helper's own want of a
// descriptor is no shortage. Without a descriptor beside the three standard ones and the two
// work files, the run must not count the folders as empty and end as if all went well.
TEST(ScanTool, RunOutOfDescriptorsEndsWithTheError) {
    test::TempDir tree, work;
    std::string folder;
    for (int depth = 0; depth < 16; ++depth) {
        folder += "d" + std::to_string(depth) + "/";
        tree.write(folder + "f", std::string(static_cast<std::size_t>(depth), 'x'));
    }
    for (const bool ahead : {false, true}) {
        // Fewer than a descriptor a level, with room for the comparison and a sanitizer's runtime.
        const auto [fine, fineOut] = scanWithDescriptors(tree.path(), work.path(), 16, ahead);
        EXPECT_EQ(fine, 0) << fineOut;
        EXPECT_NE(fineOut.find("files 16, directories 17"), std::string::npos) << fineOut;

#ifdef __SANITIZE_ADDRESS__
        // The sanitizers' runtime wants a descriptor of its own while the error is reported.
        continue;
#endif
        const auto [status, output] = scanWithDescriptors(tree.path(), work.path(), 5, ahead);
        EXPECT_EQ(status, 1) << output;
        EXPECT_NE(output.find(": Erreur E/S 4\n"), std::string::npos) << output;
        EXPECT_EQ(output.find("files "), std::string::npos) << output;
        // A low soft limit alone is raised to the hard one at start.
        const auto [raised, raisedOut] = scanWithDescriptors(tree.path(), work.path(), 5, ahead, false);
        EXPECT_EQ(raised, 0) << raisedOut;
    }
}

// The comparison out of descriptors: 1,500 files of one size, few enough descriptors that
// the readers cannot all open theirs. The run ends with the error, no file is called
// inaccessible, and no group is printed as if complete.
TEST(ScanTool, ComparisonOutOfDescriptorsEndsWithTheError) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' runtime wants descriptors of its own";
#endif
    test::TempDir tree, work;
    for (int i = 0; i < 1500; ++i) tree.write("f" + std::to_string(i), "same size " + std::to_string(i % 10));
    const auto [status, output] = scanWithDescriptors(tree.path(), work.path(), 7, false);
    EXPECT_NE(status, 0) << output;
    EXPECT_NE(output.find(": Erreur E/S 4\n"), std::string::npos) << output;
    EXPECT_EQ(output.find(" inaccessible"), std::string::npos) << output.substr(0, 2000);
    EXPECT_EQ(output.find("files "), std::string::npos) << output.substr(0, 2000);
}
#endif

}  // namespace
}  // namespace parelix
