#pragma once
// The result trees' mouse events that their views do not signal: double clicks beside the
// nodes, a press on the row already current, and a drag of DirList's selected node that
// starts away from any node; they reach the window's handlers, the one way into the
// session. And the drop of input while a deletion goes on.
#include <QObject>
#include <QPoint>

#include <functional>

#include "results/ResultTrees.h"

class QMouseEvent;

namespace parelix {

class ResultsPage;
class T_EcrPrin;

// While a deletion goes on, the clicks, keys, wheel turns and drags that reach the program
// are dropped, not kept for later, except those aimed at a dialog the deletion opened.
class InputDrop : public QObject {
public:
    // Called for an Escape press dropped (it may give up a wait, T_EcrPrin::EscapeDuringDeletion).
    std::function<void()> onEscape;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class ResultsGlue : public QObject {
public:
    ResultsGlue(T_EcrPrin& window, ResultsPage& page);

    // The toolkit's drag threshold for trees, as the desktop it imitates had it.
    static constexpr int kDragThreshold = 5;

    // On: input that reaches the program is dropped (InputDrop).
    void holdInput(bool on);
    // Drags DirList's node, until the drop or its cancel.
    void startDrag(NodeId node);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void notePress(bool dir, const QMouseEvent& me);   // a press on DirList's rows, or DblList's
    // DirList's mouse events: true when a drag of its selected node started.
    bool dragFromDirList(QEvent& event);

    T_EcrPrin& window_;
    ResultsPage& page_;
    InputDrop inputDrop_;
    QPoint pressPos_;
    bool pressedOnNode_ = false;
    bool armed_ = false;
    bool dragging_ = false;
};

}  // namespace parelix
