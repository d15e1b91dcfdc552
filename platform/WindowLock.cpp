// The window-update lock, apart from the other system services so that tools without a
// window do not pull in the widget library.
#include <QPointer>
#include <QWidget>

#include "platform/System.h"

namespace parelix {

void LockWindowUpdate(void* window) {
    // Locks nest: a deletion inside a longer locked walk gives its lock back without
    // ending the walk's own.
    static QPointer<QWidget> locked;
    static int depth = 0;
    if (window) {
        QWidget* widget = static_cast<QWidget*>(window);
        if (locked && locked != widget) locked->setUpdatesEnabled(true);
        if (locked != widget) depth = 0;
        locked = widget;
        ++depth;
        widget->setUpdatesEnabled(false);
        return;
    }
    if (depth > 0 && --depth > 0) return;
    if (locked) locked->setUpdatesEnabled(true);
    locked = nullptr;
}

}  // namespace parelix
