#include "results/Activity.h"

#include "results/ResultsSession.h"

namespace parelix {

bool mayAct(Act act, const Activity& now) {
    switch (act) {
    case Act::StartSearch:
        return !now.searchRun && !now.deleting;
    case Act::StopSearch:
    case Act::Browse:
        return !now.deleting;   // a deletion is one act: nothing else starts or stops inside it
    case Act::Delete:
        return !now.deleting && !now.searchBuildsTrees;
    case Act::Close:
        // A close during a deletion waits for its end, unless the program is ending.
        return (!now.deleting || now.ending) && !now.phaseRuns;
    case Act::EndNow:
        return !now.searchRun && !now.deleting;
    case Act::HoldPick:
        return now.searchRun;
    case Act::GoOn:
        return !now.ending && !now.givenUp;
    case Act::TakeBack:
        return !now.deleting && !now.searchRun && !now.ending;
    case Act::SaveList:
        return !now.deleting && !now.searchBuildsTrees && !now.ending;
    }
    return false;
}

DeletionAct::DeletionAct(ResultsSession& session) : session_(session) {
    if (session_.actDepth_++ > 0) return;
    session_.linksHeld_ = true;
    session_.deletionBegins();
}

DeletionAct::~DeletionAct() {
    if (--session_.actDepth_ > 0) return;
    session_.linksHeld_ = false;
    session_.deletionEnded();
}

void DeletionAct::releaseLinks() { session_.linksHeld_ = false; }

}  // namespace parelix
