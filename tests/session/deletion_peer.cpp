// Another Parelix process for the deletion lock's test: a session without a window searches a
// folder, says "ready", waits for a line on its standard input, then sends one file of it to
// the recycle bin and says "moved" or "kept" followed by the boxes it showed, one a line. Its
// reads are slowed, so that its check lasts, and so is its move, as a move to a trash on
// another file system copies the file before it removes it: the file is still there, whole,
// for a while after the last check.
//
//   session_deletion_peer FOLDER RELATIVE-FILE drop|click
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/Drives.h"
#include "session/Session.h"
#include "support/FakeResultsSession.h"
#include "support/FakeSessionView.h"
#include "support/TestSupport.h"

using namespace parelix;

namespace {

ssize_t slowRead(int fd, void* buffer, std::size_t count) {
    ::usleep(20'000);
    return ::read(fd, buffer, count);
}

class SlowMoveServices : public test::RecordingServices {
public:
    int fileOperation(SHFILEOPSTRUCTA& op) override {
        if (op.lastCheck)
            op.lastCheck = [check = op.lastCheck] {
                const bool goes = check();
                ::usleep(300'000);
                return goes;
            };
        return RecordingServices::fileOperation(op);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string folder = argv[1], relative = argv[2], way = argv[3];
    const std::optional<std::string> root = DriveTable::current().toWindows(folder);
    if (!root) return 2;

    SlowMoveServices services;
    test::FakeSessionView view;
    Session session(services);
    session.attach(&view);
    session.start();
    session.search({*root});
    ResultTrees& trees = session.viewStores().results;
    std::string windowsPath = *root + "\\" + relative;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    NodeId file = kNoNode;
    for (const NodeId n : test::preorder(trees.dirList))
        if (trees.nodePath(n) == windowsPath) file = n;
    if (file == kNoNode || trees.dirList.link(file) == kNoNode) return 3;

    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
    services.readCall = slowRead;
    if (way == "click") {
        view.focus = TreeId::DblList;
        trees.dblList.select(trees.dirList.link(file));
        session.trashClick();
    } else {
        trees.dirList.select(file);
        session.dropOnTrash(TreeId::DirList);
    }
    std::cout << (std::filesystem::exists(folder + "/" + relative) ? "kept" : "moved") << "\n";
    for (const test::Shown& box : services.shown) std::cout << box.text << "\n";
    session.attach(nullptr);
    return 0;
}
