// The window's side of a search run: start, stop, close query and the engine's end.
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QTreeView>

#include <utility>
#include <vector>

#include "ui/EcrPrin.h"
#include "ui/PaintSpacing.h"
#include "ui/ResultsGlue.h"
#include "ui/ResultsPage.h"
#include "ui/SelectionPage.h"
#include "ui/TreeModel.h"

namespace parelix {

namespace {

// While the run fills the result trees, their views take the additions in batches; the
// last batch is handed over when the run ends, also by an exception. Meanwhile a view fits
// its column to the rows on screen only: fitting it to a thousand rows at every event turn
// shapes their texts again and again, and costs the run a third of its time on a tree of
// many groups. The whole fit comes back with the last batch.
class BatchedViews {
public:
    BatchedViews(std::initializer_list<std::pair<TreeModel*, QTreeView*>> views) : views_(views) {
        for (auto [model, view] : views_) {
            model->setDeferred(true);
            precision_.push_back(view->header()->resizeContentsPrecision());
            view->header()->setResizeContentsPrecision(0);
        }
    }
    ~BatchedViews() {
        for (std::size_t i = 0; i < views_.size(); ++i) {
            auto [model, view] = views_[i];
            view->header()->setResizeContentsPrecision(precision_[i]);
            model->setDeferred(false);
        }
    }
    BatchedViews(const BatchedViews&) = delete;
    BatchedViews& operator=(const BatchedViews&) = delete;
private:
    std::vector<std::pair<TreeModel*, QTreeView*>> views_;
    std::vector<int> precision_;
};

}  // namespace

void T_EcrPrin::BtnChercheClick() {
    // Stop in its third role can bring the selection page back while a run still sorts or
    // compares; a second run inside it would clear the trees under the first one's feet.
    if (!session_.mayAct(Act::StartSearch)) return;
    {
        PaintSpacing spaced(this, kRunPaintSpacingMs);   // its last picture after the views' last batch
        BatchedViews batched({{resultsPage_->dirModel(), resultsPage_->dirList()},
                              {resultsPage_->dblModel(), resultsPage_->dblList()}});
        session_.search(searchPaths());
    }
    // A signal came during the run, which has now unwound.
    if (session_.ending()) endProgram();
}

// The run has just selected the first root: DirList takes the focus, unless the user picked
// a row meanwhile (Session::notePick).
void T_EcrPrin::resultsReady() {
    if (session_.runFocus() == TreeId::DblList) resultsPage_->dblList()->setFocus();
    else resultsPage_->dirList()->setFocus();
}

void T_EcrPrin::BtnStopRtnClick() {
    if (!session_.stop()) return;
    // Third role: back to the selection, from where BtnRevoir returns to these results.
    selectionPage_->showBtnRevoir();
    showSelectionPage();
}

bool T_EcrPrin::FormCloseQuery() { return session_.closeQuery(); }

void T_EcrPrin::holdInput(bool on) {
    results_->holdInput(on);
    if (on && !actSpacing_) actSpacing_ = std::make_unique<PaintSpacing>(this, kActPaintSpacingMs);
    // The act has ended: its last log line comes into view, painted with the next turn
    // (an event turn here could start another act inside this one's end).
    if (!on && logBehind_) {
        resultsPage_->showLastLogLine();
        logBehind_ = false;
    }
    if (!on) actSpacing_.reset();   // a picture it held is asked again
}

void T_EcrPrin::closeSoon() {
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void T_EcrPrin::endSoon() {
    QMetaObject::invokeMethod(this, [this] { endProgram(); }, Qt::QueuedConnection);
}

void T_EcrPrin::quitBySignal() {
    session_.endRequested();
    // A run is somewhere below this handler, in one of its event turns, and ends the program
    // itself once it has unwound; a deletion's check stops at its next chunk and a walk goes
    // no further, and a question or a box it shows is closed unanswered.
    if (session_.mayAct(Act::EndNow)) {
        endProgram();
    } else if (session_.deleting()) {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) modal->close();
    }
}

void T_EcrPrin::endProgram() {
    // As BtnQuitte: the close query, which the cleared flags now pass; the loop then ends
    // (also a modal dialog's, and whatever else is open), and the window's destruction
    // deletes the work files.
    close();
    QCoreApplication::exit(0);
}

void T_EcrPrin::FormDestroy() { session_.shutdown(); }

}  // namespace parelix
