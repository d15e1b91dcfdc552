#pragma once
// Taking deletions back: "Annule le dernier envoi dans la Corbeille" puts back what the last
// deletion act of this search sent to the recycle bin (a single file or folder, a walk), then
// the act before, and so on. Each item goes back to its place from the bin, never over what
// stands there now, and the trees take back what its removal took away (RemovedNodes). What
// cannot go back stays in the bin, and the log says why.
//
// The acts are recorded as they happen: the session tells where an act begins and ends, and
// the deletion hands over each item it moved with the nodes it is about to remove. Nothing
// is kept on disk: the record lasts as long as the program, for the trees it was made on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "results/ResultsSession.h"
#include "results/RemovedNodes.h"
#include "results/SpaceFigures.h"

namespace parelix {

class DeletionLock;

// Why an item stays in the bin, as the log and the box say it.
std::string staysReason(const RestoreResult& result);

class TakeBack {
public:
    TakeBack(ResultTrees& trees, ResultsSession& session, PlatformServices& services)
        : trees_(trees), session_(session), services_(services) {}

    // The recorder: a deletion act begins and ends (the outermost one); in between, each
    // successful move (op, once the shell reported success) with the DirList node the trees
    // are about to remove (kNoNode or a node gone: nothing to put back in the trees) and the
    // bytes it freed.
    void actBegins();
    void sent(const SHFILEOPSTRUCTA& op, NodeId removed, std::uint64_t bytes);
    void actEnded();

    // Ctrl+Z: the last act of this search not yet taken back. Refused while a search or a
    // deletion runs; holds the deletion lock across Parelix processes while it moves.
    void takeBackLast();
    // An act of the trees shown now is left to take back.
    bool canTakeBack() const;

    // What the acts taken back brought out of the bin again: taken off the freed space.
    const Freed& returned() const { return returned_; }

private:
    struct Item {
        std::string path;   // as the trees name it, Windows-style
        std::optional<TrashedItem> trashed;
        RemovedNodes removed;
        std::uint64_t bytes = 0;
    };
    struct Record {
        std::uint64_t generation = 0;
        NodeId selected = kNoNode;   // DirList's selection when the act began
        std::vector<Item> items;     // in the order they went
    };

    // Puts one item back on disk and in the trees; the reason it stays otherwise.
    std::optional<std::string> putBackItem(const Item& item);
    void restoreAll(const Record& record, std::vector<std::string>& stays);
    void settle(const Record& record, NodeId firstBack);
    bool waitForOtherDeletions(std::optional<DeletionLock>& lock);

    ResultTrees& trees_;
    ResultsSession& session_;
    PlatformServices& services_;
    std::vector<Record> acts_;
    std::optional<Record> current_;
    bool takingBack_ = false;   // the act under way is this one's: nothing to record
    Freed returned_;
};

}  // namespace parelix
