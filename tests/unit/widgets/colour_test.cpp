#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "widgets/gradient_stripes.h"
#include "widgets/hls_colour.h"

namespace zt::widgets {
namespace {

int Distance(Colour a, Colour b) {
  return std::max({std::abs(Red(a) - Red(b)), std::abs(Green(a) - Green(b)), std::abs(Blue(a) - Blue(b))});
}

TEST(HlsColour, KnownColoursAndRoundTripsAcrossTheCube) {
  // Pure red sits at 360 degrees (hue 255), blue at 240 (170); the way back
  // truncates, so a full component may lose one step.
  EXPECT_EQ(RgbToHls(MakeColour(255, 0, 0)), MakeHls(255, 127, 255));
  EXPECT_EQ(HlsToRgb(MakeHls(255, 127, 255)), MakeColour(254, 0, 0));
  EXPECT_EQ(RgbToHls(MakeColour(0, 0, 255)), MakeHls(170, 127, 255));
  EXPECT_EQ(RgbToHls(MakeColour(0, 120, 215)), MakeHls(146, 107, 255));
  EXPECT_EQ(HlsToRgb(MakeHls(146, 107, 255)), MakeColour(0, 120, 214));
  EXPECT_EQ(RgbToHls(MakeColour(212, 208, 200)), MakeHls(28, 206, 31));

  int worst = 0;
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) {
        const Colour c = MakeColour(r, g, b);
        worst = std::max(worst, Distance(c, HlsToRgb(RgbToHls(c))));
      }
  EXPECT_LE(worst, 7) << "a hue sector or the luminance rule is off";
}

TEST(HlsColour, GreysHaveNoSaturationAndStayGrey) {
  for (int g = 0; g < 256; ++g) {
    const Colour grey = MakeColour(g, g, g);
    EXPECT_EQ(RgbToHls(grey), MakeHls(0, g, 0)) << g;
    EXPECT_EQ(HlsToRgb(RgbToHls(grey)), grey) << g;
    for (int s : {-100, -50, 50, 100}) {
      const Colour moved = AdjustColour(grey, 0, s);
      EXPECT_EQ(moved, grey) << g << " saturation " << s;
    }
  }
}

TEST(HlsColour, AdjustMovesByShareOfTheWayWithIntegerTruncation) {
  // Greys show the luminance rule without hue rounding: up goes
  // (255 - x) * p / 100 towards white, down x * (p + 100) / 100.
  const Colour face = MakeColour(240, 240, 240);
  EXPECT_EQ(AdjustColour(face, 20, 0), MakeColour(243, 243, 243));
  EXPECT_EQ(AdjustColour(face, 75, 0), MakeColour(251, 251, 251));
  EXPECT_EQ(AdjustColour(face, 73, 0), MakeColour(250, 250, 250));
  EXPECT_EQ(AdjustColour(face, -18, 0), MakeColour(196, 196, 196));
  EXPECT_EQ(AdjustColour(face, -27, 0), MakeColour(175, 175, 175));
  EXPECT_EQ(AdjustColour(MakeColour(192, 192, 192), 20, 0), MakeColour(204, 204, 204));

  const Colour highlight = MakeColour(0, 120, 215);
  EXPECT_EQ(AdjustColour(highlight, 0, 0), HlsToRgb(RgbToHls(highlight)));
  EXPECT_EQ(AdjustColour(highlight, 70, -57), MakeColour(190, 212, 229));
  EXPECT_EQ(AdjustColour(highlight, 50, -66), MakeColour(156, 184, 205));
  // Luminance at either end leaves no colour.
  EXPECT_EQ(AdjustColour(highlight, 100, 0), MakeColour(255, 255, 255));
  EXPECT_EQ(AdjustColour(highlight, -100, 0), MakeColour(0, 0, 0));
  // Full desaturation leaves the grey of the same luminance.
  const Colour grey = AdjustColour(highlight, 0, -100);
  EXPECT_EQ(Red(grey), Green(grey));
  EXPECT_EQ(Green(grey), Blue(grey));
  EXPECT_EQ(Red(grey), Luminance(RgbToHls(highlight)));
}

// Stripes must tile [left, right) exactly, none empty, in order.
void ExpectTiled(const std::vector<Stripe>& stripes, int left, int right) {
  ASSERT_FALSE(stripes.empty());
  EXPECT_EQ(stripes.front().left, left);
  EXPECT_EQ(stripes.back().right, right);
  for (std::size_t i = 0; i < stripes.size(); ++i) {
    EXPECT_LT(stripes[i].left, stripes[i].right) << i;
    if (i > 0) {
      EXPECT_EQ(stripes[i].left, stripes[i - 1].right) << i;
    }
  }
}

TEST(GradientStripes, MenuBandNarrowerThanItsStepsSkipsEmptyStripes) {
  // 75 steps over 30 pixels: every pixel is one stripe, taking the colour of
  // the last step that still covers it.
  const auto stripes = GradientStripes(0, 30, MakeColour(180, 196, 228), MakeColour(255, 255, 255));
  ExpectTiled(stripes, 0, 30);
  ASSERT_EQ(stripes.size(), 30u);
  EXPECT_EQ(stripes.front().colour, MakeColour(182, 197, 228));
  EXPECT_EQ(stripes[15].colour, MakeColour(219, 226, 242));
  EXPECT_EQ(stripes.back().colour, MakeColour(254, 254, 254));
  for (std::size_t i = 1; i < stripes.size(); ++i) {
    EXPECT_GE(Red(stripes[i].colour), Red(stripes[i - 1].colour));
    EXPECT_GE(Blue(stripes[i].colour), Blue(stripes[i - 1].colour));
  }
}

TEST(GradientStripes, WideRangesDescendingColoursAndDegenerateCases) {
  // Ten steps over 100 pixels: ten stripes of ten.
  const auto wide = GradientStripes(5, 105, MakeColour(0, 0, 0), MakeColour(10, 4, 0));
  ExpectTiled(wide, 5, 105);
  ASSERT_EQ(wide.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(wide[i].left, 5 + 10 * i);
    EXPECT_EQ(wide[i].colour, MakeColour(i, i * 4 / 10, 0)) << i;
  }
  // Falling components truncate towards zero of the exact value, never
  // jumping past the next step.
  const auto falling = GradientStripes(0, 300, MakeColour(255, 255, 255), MakeColour(180, 196, 228));
  ExpectTiled(falling, 0, 300);
  EXPECT_EQ(falling[0].colour, MakeColour(255, 255, 255));
  EXPECT_EQ(falling[1].colour, MakeColour(254, 254, 254));
  EXPECT_EQ(falling.back().colour, MakeColour(181, 196, 228));
  // One pixel for 49 steps: (1 / 49) * 49 falls short of 1, every stripe is
  // empty, and the end colour fills what is left.
  const auto remainder = GradientStripes(0, 1, MakeColour(0, 0, 0), MakeColour(49, 0, 0));
  ASSERT_EQ(remainder.size(), 1u);
  EXPECT_EQ(remainder[0].left, 0);
  EXPECT_EQ(remainder[0].right, 1);
  EXPECT_EQ(remainder[0].colour, MakeColour(49, 0, 0));

  const auto same = GradientStripes(3, 9, MakeColour(1, 2, 3), MakeColour(1, 2, 3));
  ASSERT_EQ(same.size(), 1u);
  EXPECT_EQ(same[0].left, 3);
  EXPECT_EQ(same[0].right, 9);
  EXPECT_TRUE(GradientStripes(9, 9, 0, 0xFFFFFF).empty());
  EXPECT_TRUE(GradientStripes(9, 3, 0, 0xFFFFFF).empty());
}

}  // namespace
}  // namespace zt::widgets
