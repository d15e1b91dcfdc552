// Arithmetic of the window's panes: button column, ratios and their rescaling.
#include <gtest/gtest.h>

#include <cfenv>

#include "ui/PaneLayout.h"

namespace parelix {
namespace {

TEST(ButtonColumn, RoomyColumnPutsTwoButtonsOnTopAndTheRestAtTheBottom) {
    // Four buttons need 58 * 4 + 42 = 274 pixels for this arrangement.
    ButtonTops t = buttonColumnTops(274, false);
    EXPECT_EQ(t.ajoute, 30);
    EXPECT_EQ(t.enleve, 88);
    EXPECT_EQ(t.quitte, 204);
    EXPECT_EQ(t.cherche, 146);
    EXPECT_EQ(t.revoir, 88);   // placed although hidden
    EXPECT_TRUE(t.revoirPlaced);

    // Five buttons: 332 pixels.
    t = buttonColumnTops(332, true);
    EXPECT_EQ(t.ajoute, 30);
    EXPECT_EQ(t.enleve, 88);
    EXPECT_EQ(t.quitte, 262);
    EXPECT_EQ(t.cherche, 204);
    EXPECT_EQ(t.revoir, 146);
}

TEST(ButtonColumn, OnePixelShortSpreadsTheButtonsEvenly) {
    // 273 = 58 * 4 + 41: gap = (273 - 160) / 5 = 22, step = (273 - 22) / 4 = 62.
    ButtonTops t = buttonColumnTops(273, false);
    EXPECT_EQ(t.ajoute, 22);
    EXPECT_EQ(t.enleve, 84);
    EXPECT_EQ(t.cherche, 146);
    EXPECT_EQ(t.quitte, 208);
    EXPECT_FALSE(t.revoirPlaced);

    // 331 with BtnRevoir: gap = (331 - 200) / 6 = 21, step = (331 - 21) / 5 = 62.
    t = buttonColumnTops(331, true);
    EXPECT_EQ(t.ajoute, 21);
    EXPECT_EQ(t.enleve, 83);
    EXPECT_EQ(t.revoir, 145);
    EXPECT_EQ(t.cherche, 207);
    EXPECT_EQ(t.quitte, 269);
}

TEST(ButtonColumn, ColumnShorterThanTheButtonsOverlapsThemFromTheTop) {
    // 150 < 40 * 4: gap 0, step 150 / 4 = 37, less than a button's height.
    ButtonTops t = buttonColumnTops(150, false);
    EXPECT_EQ(t.ajoute, 0);
    EXPECT_EQ(t.enleve, 37);
    EXPECT_EQ(t.cherche, 74);
    EXPECT_EQ(t.quitte, 111);
    // Exactly 40 n: still no gap, buttons touch.
    t = buttonColumnTops(200, true);
    EXPECT_EQ(t.ajoute, 0);
    EXPECT_EQ(t.quitte, 160);
}

TEST(PaneRatios, HalvesRoundToEven) {
    EXPECT_EQ(perMille(200, 640), 312);   // 312.5
    EXPECT_EQ(perMille(216, 640), 338);   // 337.5
    EXPECT_EQ(perMille(268, 497), 539);   // 539.23
    EXPECT_EQ(perMille(1, 3), 333);
    EXPECT_EQ(perMille(2, 3), 667);
    EXPECT_EQ(perMille(5, 0), 0);
}

TEST(PaneRatios, RoundingDoesNotDependOnTheCallersMode) {
    const int saved = std::fegetround();
    std::fesetround(FE_UPWARD);
    EXPECT_EQ(perMille(200, 640), 312);
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    std::fesetround(saved);
}

TEST(PaneRatios, ResizingTruncatesTheWidthAndRoundsTheHeight) {
    EXPECT_EQ(dirPanelWidthFor(312, 800), 249);     // 249.6 truncated
    EXPECT_EQ(dirPanelWidthFor(312, 640), 199);     // 199.68 truncated
    EXPECT_EQ(dblListHeightFor(539, 500), 270);     // 269.5, half away from zero
    EXPECT_EQ(dblListHeightFor(539, 600), 323);     // 323.4
    EXPECT_EQ(dblListHeightFor(539, 497), 268);     // back to the design height
}

}  // namespace
}  // namespace parelix
