#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "platform/Text.h"

using namespace parelix;

TEST(MulDiv, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(5, -1, 2), -3);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
    EXPECT_EQ(MulDiv(-5, -1, -2), -3);
    EXPECT_EQ(MulDiv(-5, 1, -2), 3);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);     // 2.33
    EXPECT_EQ(MulDiv(8, 1, 3), 3);     // 2.67
    EXPECT_EQ(MulDiv(-8, 1, 3), -3);
    EXPECT_EQ(MulDiv(-7, 1, 3), -2);
    EXPECT_EQ(MulDiv(0, 5, 7), 0);
    EXPECT_EQ(MulDiv(313, 640, 1000), 200);   // 200.32
    EXPECT_EQ(MulDiv(3, 1, 6), 1);     // 0.5
    EXPECT_EQ(MulDiv(-3, 1, 6), -1);
}

TEST(MulDiv, WideIntermediateAndLimits) {
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(100000, 100000, 1000), 10000000);   // product beyond 32 bits
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);   // too large
    EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

namespace {
int sign(int v) { return (v > 0) - (v < 0); }
}

TEST(LstrcmpA, CaseSensitiveLanguageOrder) {
    EXPECT_EQ(lstrcmpA("abc", "abc"), 0);
    EXPECT_EQ(lstrcmpA("", ""), 0);
    EXPECT_LT(lstrcmpA("", "a"), 0);
    EXPECT_NE(lstrcmpA("a", "A"), 0);
    EXPECT_EQ(sign(lstrcmpA("a", "A")), -sign(lstrcmpA("A", "a")));
    // Letters by language, not by code: lower and upper case stand together.
    EXPECT_LT(lstrcmpA("apple", "Banana"), 0);
    EXPECT_LT(lstrcmpA("Apple", "banana"), 0);
    EXPECT_LT(lstrcmpA("\xc3\xa9t\xc3\xa9", "f"), 0);   // "été" before "f"
    EXPECT_LT(lstrcmpA("e", "\xc3\xa9"), 0);
}

TEST(LstrcmpA, FolderArrowsKeepTogether) {
    std::vector<std::string> names{"zeta.txt", "--> b", "Alpha", "--> a", "_under", "-dash",
                                   "--> Z", "9lives", ".profile", "(x)", "--x", "-->b",
                                   "--> b2", "~tilde", "a b"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpA(a, b) < 0; });
    std::vector<std::size_t> arrows;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].rfind("--> ", 0) == 0) arrows.push_back(i);
    ASSERT_EQ(arrows.size(), 4u);
    EXPECT_EQ(arrows.back() - arrows.front(), 3u) << testing::PrintToString(names);
    // Among themselves the folders go by their names.
    EXPECT_LT(lstrcmpA("--> a", "--> b"), 0);
    EXPECT_LT(lstrcmpA("--> b", "--> b2"), 0);
    EXPECT_LT(lstrcmpA("--> b", "--> Z"), 0);
    // And before every name that starts with a letter or a digit.
    EXPECT_LT(lstrcmpA("--> zz", "9lives"), 0);
    EXPECT_LT(lstrcmpA("--> zz", "Alpha"), 0);
}

TEST(LstrcmpA, InvalidBytesHaveAFixedOrder) {
    const std::vector<std::string> texts{"a\xff", "a\xfe", "a\xc3", "a", "a\xc3\xa9", "\xff",
                                         "\x80\x80", "A\xff", "b"};
    for (const auto& x : texts) {
        EXPECT_EQ(lstrcmpA(x, x), 0);
        for (const auto& y : texts) {
            if (x == y) continue;
            const int xy = lstrcmpA(x, y);
            EXPECT_NE(xy, 0) << testing::PrintToString(x) << " " << testing::PrintToString(y);
            EXPECT_EQ(sign(xy), -sign(lstrcmpA(y, x)));
            for (const auto& z : texts) {   // transitive, so a sort is well defined
                if (xy < 0 && lstrcmpA(y, z) < 0) {
                    EXPECT_LT(lstrcmpA(x, z), 0);
                }
            }
        }
    }
}

TEST(Cut255, KeepsTheFirst255Bytes) {
    EXPECT_EQ(cut255("abc"), "abc");
    EXPECT_EQ(cut255(std::string(255, 'x')).size(), 255u);
    const std::string longer = std::string(254, 'y') + "zw";
    EXPECT_EQ(cut255(longer), std::string(254, 'y') + "z");
}
