#pragma once
// The listings of the folders the collection walk enters, in the walk's order, read ahead on
// a second thread while the walk builds the tree and writes the records of the folders
// before them.
//
// The walk enters folders depth first; which folder comes next is known once the one before
// is listed. Listings are taken in that order, one at a time, by the helper or, when the
// helper has not started it, by the walk itself; whoever takes a folder in order also
// decides, with the walk's own rules (the plan), which of its subfolders will be entered,
// and checks that the folder was not entered before under another path. A thread that finds
// the next folder being read by the other reads one further ahead that is already known (a
// later subfolder of a folder listed), kept until its turn comes, rather than wait: the walk
// waits only when nothing is left to read ahead.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/DirEnum.h"
#include "platform/SearchedFile.h"

namespace parelix {

class DriveTable;

class ListingsAhead {
public:
    // Appends to `out`, in the order the walk will enter them, the paths of the subfolders
    // of `path` the walk will enter, from the folder's listing.
    using Plan = std::function<void(const std::string& path, const FolderListing& listing, std::vector<std::string>& out)>;

    // How far the helper may read ahead of the walk: folders, and their entries together (a
    // single folder larger than that is still read whole).
    static constexpr std::size_t kFoldersAhead = 256;
    static constexpr std::size_t kEntriesAhead = 32768;

    ListingsAhead(const DriveTable& drives, Plan plan);
    ~ListingsAhead();   // stops and joins the helper
    ListingsAhead(const ListingsAhead&) = delete;
    ListingsAhead& operator=(const ListingsAhead&) = delete;

    // The paths the walk starts from, in order (those it will enter); with `helper` a second
    // thread starts reading ahead.
    void begin(std::vector<std::string> roots, bool helper);

    struct Taken {
        FolderListing listing;
        // The folder (device and inode) was listed before in this walk, under another path.
        bool enteredBefore = false;
    };
    // The listing of `path`, which must be the next folder in the walk's order.
    Taken take(const std::string& path);

    // Stops the helper and waits for it to end; the walk lists whatever it takes from then on
    // itself. Called again, does nothing.
    void stop();

    // Helper threads of every walk in this process that are started and not yet joined.
    static unsigned helpersRunning();
    // Listings the walks of this process took from a helper.
    static std::uint64_t takenFromHelper();

private:
    struct Ready {
        std::string path;
        Taken taken;
        bool byHelper = false;
    };
    struct Early {
        FolderListing listing;
        bool byHelper = false;
    };
    enum class Lister { None, Helper, Walk };

    void helperLoop();
    // The next folder in the walk's order that nobody has listed yet; nullptr when none is known.
    std::string* nextToList();
    // Under the lock: records a listing read by either thread in order, with the subfolders
    // it adds.
    void publish(std::string path, FolderListing listing, bool byHelper);
    // Under the lock: takes in order the folders next in order that were read early.
    void catchUp();
    // Reads a known folder further ahead than the one being read in order, if any and if the
    // window has room; the lock is let go meanwhile. False when there was none.
    bool readEarly(std::unique_lock<std::mutex>& lock, bool byHelper);
    Taken listAlone(const std::string& path);
    // Under the lock, with a listing ready: the first one when it is path's; otherwise the
    // two orders parted and every listing ready is let go (none: the walk goes on alone).
    std::optional<Taken> takeReady(std::unique_lock<std::mutex>& lock, const std::string& path);
    // Under the lock, nobody listing in order: the walk lists path itself when nobody reads
    // it. False when the helper reads it already; true when the walk should look again.
    bool listInTurn(std::unique_lock<std::mutex>& lock, const std::string& path);
    bool windowFull() const;

    const DriveTable& drives_;
    Plan plan_;

    std::mutex mutex_;
    std::condition_variable helperWake_;
    std::condition_variable walkWake_;
    // The folders known and not yet listed, depth first: each level holds the subfolders of
    // one listed folder still to be listed; the next one is the front of the top level.
    std::vector<std::deque<std::string>> pending_;
    std::deque<Ready> ready_;   // listed, in the walk's order, not yet taken
    // Read ahead of their turn, by path; and those being read so.
    std::unordered_map<std::string, Early> early_;
    std::unordered_set<std::string> readingEarly_;
    std::size_t entriesAhead_ = 0;   // in ready_ and early_
    Lister inOrder_ = Lister::None;   // who reads the next folder in order now
    bool helperWaiting_ = false;
    bool helperFull_ = false;   // the helper waits for the walk to take half the window
    bool walkWaiting_ = false;
    // Once set, the walk lists alone: no helper, or one that went astray from the walk's order.
    bool alone_ = true;
    std::atomic<bool> stopping_{false};
    std::thread helper_;
    std::unordered_set<FileIdentity, FileIdentityHash> entered_;
};

}  // namespace parelix
