#include "results/TakeBack.h"

#include "platform/DeletionLock.h"
#include "platform/Text.h"
#include "results/Messages.h"

namespace parelix {

namespace {

constexpr std::size_t kStaysShown = 5;

std::string staysReport(const std::vector<std::string>& stays) {
    const std::size_t n = stays.size();
    std::string text = n == 1 ? std::string(kOneStays) : groupedCount(n) + kManyStay;
    for (std::size_t i = 0; i < n && i < kStaysShown; ++i) text += "\n" + stays[i];
    if (n > kStaysShown) text += "\n…";
    return text;
}

}  // namespace

std::string staysReason(const RestoreResult& result) {
    switch (result.outcome) {
    case RestoreOutcome::Restored:
        return {};
    case RestoreOutcome::NotInBin:
        return kNotInBin;
    case RestoreOutcome::Changed:
        return kChangedInBin;
    case RestoreOutcome::Mangled:
        return kMangledInBin;
    case RestoreOutcome::PlaceTaken:
        return kPlaceTaken;
    case RestoreOutcome::PlaceFolder:
        return kPlaceFolder;
    case RestoreOutcome::DiskFull:
        return kDiskFull;
    case RestoreOutcome::Failed:
        break;
    }
    return kFailedBecause + result.reason + ".";
}

void TakeBack::actBegins() {
    if (takingBack_) return;
    current_ = Record{trees_.generation(), trees_.dirList.selected(), {}};
}

void TakeBack::sent(const SHFILEOPSTRUCTA& op, NodeId removed, std::uint64_t bytes) {
    if (takingBack_ || !current_) return;
    // Saved before the trees let go of it: afterwards nothing tells where it hung. Trees
    // replaced meanwhile hold other nodes under that id: the item comes back on disk only.
    const bool sameTrees = trees_.generation() == current_->generation;
    current_->items.push_back({op.pFrom, op.trashed, nodesToBeRemoved(trees_, sameTrees ? removed : kNoNode), bytes});
}

void TakeBack::actEnded() {
    if (takingBack_ || !current_) return;
    if (!current_->items.empty()) acts_.push_back(std::move(*current_));
    current_.reset();
}

bool TakeBack::canTakeBack() const { return !acts_.empty() && acts_.back().generation == trees_.generation(); }

bool TakeBack::waitForOtherDeletions(std::optional<DeletionLock>& lock) {
    // Another window may be deleting the other copy of what comes back: its check and move
    // end before anything here moves, and its next check sees what came back.
    bool waited = false;
    const std::string status = session_.statusText();
    lock.emplace(services_.deletionLockFiles(), [&] {
        if (!waited) session_.setStatusText(kWaitingStatus + (acts_.empty() ? std::string() : acts_.back().items.back().path));
        waited = true;
        return session_.lockWaitTurn();
    });
    if (waited) session_.setStatusText(status);
    return lock->acquired() && session_.mayAct(Act::GoOn);
}

std::optional<std::string> TakeBack::putBackItem(const Item& item) {
    if (!item.trashed) return std::string(kNeverFound);
    const RestoreResult result = restoreTrashedItem(*item.trashed);
    if (result.outcome != RestoreOutcome::Restored) return staysReason(result);
    // Back on disk; the trees show it again unless what held it went meanwhile (its folder
    // stayed in the bin), and then they show nothing of it, as of any file come since.
    putBack(trees_, item.removed);
    return std::nullopt;
}

void TakeBack::restoreAll(const Record& record, std::vector<std::string>& stays) {
    // The last one sent first: each removal is undone on the trees it left.
    for (auto it = record.items.rbegin(); it != record.items.rend(); ++it) {
        if (!session_.mayAct(Act::GoOn)) return;
        const std::optional<std::string> why = putBackItem(*it);
        if (!why) {
            session_.appendLog(cut255(kTakenBackLog + it->path));
            ++returned_.sent;
            returned_.bytes += it->bytes;
        } else {
            session_.appendLog(kStaysInBinLog + it->path + kStaysBecause + *why);
            stays.push_back(it->path + kStaysBecause + *why);
        }
    }
}

void TakeBack::settle(const Record& record, NodeId firstBack) {
    TreeStore& dir = trees_.dirList;
    NodeId target = dir.isValid(record.selected) ? record.selected : firstBack;
    if (!dir.isValid(target)) return;
    if (dir.selected() != target) dir.select(target);
    else if (dir.events.change) dir.events.change(target);   // the other tree follows it again
    if (dir.link(target) == kNoNode) trees_.dblList.select(kNoNode);
}

void TakeBack::takeBackLast() {
    if (!session_.mayAct(Act::TakeBack)) return;
    if (!canTakeBack()) {
        acts_.clear();   // those of an earlier search: its trees are gone
        services_.showMessage(kNothingToTakeBack);
        return;
    }
    std::vector<std::string> stays;
    takingBack_ = true;
    {
        DeletionAct act(session_);
        std::optional<DeletionLock> lock;
        if (!waitForOtherDeletions(lock)) {
            takingBack_ = false;
            return;   // the program is ending: the act stays recorded, nothing moved
        }
        const Record record = std::move(acts_.back());
        acts_.pop_back();
        {
            BusyHold hold(session_, false);
            restoreAll(record, stays);
        }
        act.releaseLinks();
        const Item& first = record.items.front();
        settle(record, first.removed.empty() ? kNoNode : first.removed.dir.front().id);
    }
    takingBack_ = false;
    if (!stays.empty() && session_.mayAct(Act::GoOn))
        services_.showMessage(staysReport(stays), "Erreur", MessageKind::Error);
}

}  // namespace parelix
