#pragma once
// The session as browsing and deletion see it (ResultsSession), and the wait cursor and
// window-update lock they hold through it (BusyHold).
#include <string>

#include "results/Activity.h"
#include "results/OtherCopy.h"
#include "results/ResultsView.h"

namespace parelix {

// What browsing and deletion need of the session that holds them: what the window shows
// (ResultsView, which the session passes on), the acts under way and the check for another
// copy. session/Session.h implements it; tests put a stand-in in its place.
class ResultsSession : public ResultsView {
public:
    // Called in matched pairs, as setWaitCursor.
    virtual void lockWindowUpdate(bool on) = 0;
    // What is under way, deleting() included; mayAct answers from it.
    virtual Activity activity() const = 0;
    bool mayAct(Act act) const { return parelix::mayAct(act, activity()); }

    // Reads the files (Windows-style paths) as they are now, the candidates one at a time,
    // until one holds the bytes; see findOtherCopyOnDisk. With a window the session gives it
    // event turns meanwhile and answers Interrupted once it is ending.
    virtual OtherCopy findOtherCopy(const std::string& file, const CopyCandidates& candidates) = 0;
    // A turn while a deletion reads or waits: a window paints meanwhile (input is dropped).
    // False once the program is ending: the read or the wait gives up.
    virtual bool waitTurn() { return mayAct(Act::GoOn); }
    // The same while a deletion waits for another Parelix process's: Escape also gives the
    // wait up, and the act goes no further (mayAct(Act::GoOn) answers false until its end).
    virtual bool lockWaitTurn() { return waitTurn(); }

    // A deletion under way: from its first question or check to the last file of a walk
    // (see DeletionAct). Nothing else starts or stops inside it.
    bool deleting() const { return actDepth_ > 0; }
    // Meanwhile, until the act sets the selection at its end, the two trees do not follow
    // each other's selection.
    bool linksHeld() const { return linksHeld_; }
    // The window's side of the outermost act: input arriving meanwhile is dropped, a close
    // waits for its end.
    virtual void deletionBegins() {}
    virtual void deletionEnded() {}

private:
    friend class BusyHold;
    friend class DeletionAct;
    int waitDepth_ = 0;
    int lockDepth_ = 0;
    int actDepth_ = 0;
    bool linksHeld_ = false;
};

// Holds the wait cursor (and optionally the window-update lock) for a scope; nested holds
// of the same session keep a single on/off pair, so an inner operation never ends an outer
// operation's hold.
class BusyHold {
public:
    BusyHold(ResultsSession& session, bool lockUpdates) : session_(session), lock_(lockUpdates) {
        if (session_.waitDepth_++ == 0) session_.setWaitCursor(true);
        if (lock_ && session_.lockDepth_++ == 0) session_.lockWindowUpdate(true);
    }
    ~BusyHold() {
        if (lock_ && --session_.lockDepth_ == 0) session_.lockWindowUpdate(false);
        if (--session_.waitDepth_ == 0) session_.setWaitCursor(false);
    }
    BusyHold(const BusyHold&) = delete;
    BusyHold& operator=(const BusyHold&) = delete;

private:
    ResultsSession& session_;
    bool lock_;
};

}  // namespace parelix
