#pragma once
// The results page's progress bar: a QProgressBar that looks, reads and repaints the same,
// whose picture its style draws in strips. Qt's raster engine hands a fill of a hundred
// spans or more to its thread pool and waits for it; the style's antialiased shapes across
// a bar make about a span per pixel column, so a whole bar woke the pool's threads thirty
// times or so per picture, and on a busy machine the window's thread (the search run's)
// waited each time for them to be given a processor. A strip at most kStrip pixels wide
// stays below that (for a bar of a few dozen rows), and the style draws the same pixels into
// it, over the background that the bar's ancestor paints.
#include <QProgressBar>

namespace parelix {

class ProgressBar : public QProgressBar {
public:
    explicit ProgressBar(QWidget* parent = nullptr);

    static constexpr int kStrip = 64;
};

}  // namespace parelix
