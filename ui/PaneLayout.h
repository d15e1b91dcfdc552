#pragma once
// Arithmetic of the window's pane layout, kept free of Qt so that it can be checked at
// its boundaries without widgets.
#include <cfenv>
#include <cmath>

#include "platform/Text.h"

namespace parelix {

// Tops of the five selection buttons, in pixels from the top of the button column.
struct ButtonTops {
    int ajoute = 0;
    int enleve = 0;
    int revoir = 0;
    int cherche = 0;
    int quitte = 0;
    bool revoirPlaced = true;   // false: BtnRevoir is hidden and keeps its place
};

constexpr int kButtonHeight = 40;
constexpr int kButtonPitch = 58;

// With room enough the adding and removing buttons sit at the top and the others at the
// bottom; otherwise the visible buttons are spread evenly and may overlap.
inline ButtonTops buttonColumnTops(int height, bool revoirVisible) {
    const int n = revoirVisible ? 5 : 4;
    ButtonTops t;
    if (height >= kButtonPitch * n + 42) {
        t.ajoute = 30;
        t.enleve = t.ajoute + kButtonPitch;
        t.quitte = height - 70;
        t.cherche = t.quitte - kButtonPitch;
        t.revoir = t.cherche - kButtonPitch;   // placed even while hidden
        return t;
    }
    const int free = height - kButtonHeight * n;
    const int gap = (free > 0 ? free : 0) / (n + 1);
    const int step = (height - gap) / n;
    int top = gap;
    t.ajoute = top;
    t.enleve = top += step;
    if (revoirVisible) t.revoir = top += step;
    t.cherche = top += step;
    t.quitte = top += step;
    t.revoirPlaced = revoirVisible;
    return t;
}

// part / whole in thousandths, rounded to nearest with ties to even.
inline int perMille(int part, int whole) {
    if (whole == 0) return 0;
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(static_cast<double>(part) * 1000.0 / whole);
    std::fesetround(saved);
    return static_cast<int>(r);
}

// Width of the results directory panel for a window of the given outer width.
inline int dirPanelWidthFor(int ratio, int outerWidth) { return ratio * outerWidth / 1000; }

// Height of the duplicates tree for a window of the given outer height.
inline int dblListHeightFor(int ratio, int outerHeight) { return MulDiv(outerHeight, ratio, 1000); }

}  // namespace parelix
