#pragma once
// What may act now, while a search run or a deletion goes on: the one answer every handler
// asks, so that the rules live in one place.
namespace parelix {

class ResultsSession;

enum class Act {
    StartSearch,   // BtnCherche: a second run inside the first would clear its trees
    StopSearch,    // BtnStopRtn
    Browse,        // stepping between duplicates, opening and closing folders, opening files
    Delete,        // the trash, a drop on it, both walks ("Supprime les doubles de ce répertoire" and
                   // "... et de ses sous-répertoires")
    Close,         // the close query
    EndNow,        // a signal ends the program at once, not once a run or a deletion unwound
    HoldPick,      // a row the user picks now outlasts the search run's own choice at its end
    GoOn,          // an act under way takes its next step, or asks its next question (not once
                   // the program is ending, nor once the user gave the act up)
    SaveList,      // the duplicate groups written to a file: whole trees, no act under way
    TakeBack,      // the last deletion taken back: no search run, no act under way
};

// What is under way.
struct Activity {
    bool searchRun = false;           // a search run is on the stack, until it has unwound
    bool searchBuildsTrees = false;   // the run or a phase builds the trees and holds their nodes
    bool phaseRuns = false;           // the collection or the comparison has not ended
    bool deleting = false;            // a deletion act (DeletionAct, below)
    bool ending = false;              // a signal asked the program to end
    bool givenUp = false;             // the user gave the deletion act up (Escape while it waited)
};

bool mayAct(Act act, const Activity& now);

// Marks a deletion under way for its scope, in the session that holds it (Activity's
// deleting, ResultsSession::deleting); nested acts make one.
class DeletionAct {
public:
    explicit DeletionAct(ResultsSession& session);
    ~DeletionAct();
    // The act sets the selection: from here the trees follow each other again.
    void releaseLinks();
    DeletionAct(const DeletionAct&) = delete;
    DeletionAct& operator=(const DeletionAct&) = delete;

private:
    ResultsSession& session_;
};

}  // namespace parelix
