#pragma once
// What browsing and deletion show in the main window. The window shows it (it is part of the
// session's SessionView); browsing and deletion reach it through the session
// (ResultsSession), which passes it on.
#include <string>

#include "results/ResultTrees.h"

namespace parelix {

class ResultsView {
public:
    virtual ~ResultsView() = default;

    // The result tree holding the keyboard focus; None when another control has it.
    virtual TreeId focusedTree() const = 0;
    // On: the tree shows no selection highlight while another control has the focus.
    virtual void setHideSelection(TreeId tree, bool hide) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual std::string statusText() const = 0;
    virtual void appendLog(const std::string& line) = 0;
    // Called in matched pairs; the callers keep nested holds to one on/off pair.
    virtual void setWaitCursor(bool on) = 0;
};

}  // namespace parelix
