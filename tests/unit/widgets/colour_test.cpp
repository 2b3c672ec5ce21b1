#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "widgets/gradient_stripes.h"
#include "widgets/hls_colour.h"

namespace zt::widgets {
namespace {

TEST(HlsColour, KnownColoursRoundTripsAndGreys) {
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
        const Colour c = MakeColour(r, g, b), back = HlsToRgb(RgbToHls(c));
        worst = std::max({worst, std::abs(Red(c) - Red(back)), std::abs(Green(c) - Green(back)),
                          std::abs(Blue(c) - Blue(back))});
      }
  EXPECT_LE(worst, 7) << "a hue sector or the luminance rule is off";

  // A grey has no saturation, comes back exactly, and stays grey whatever
  // happens to its saturation (raising it must not tint it red).
  for (int g = 0; g < 256; ++g) {
    const Colour grey = MakeColour(g, g, g);
    EXPECT_EQ(RgbToHls(grey), MakeHls(0, g, 0)) << g;
    EXPECT_EQ(HlsToRgb(RgbToHls(grey)), grey) << g;
    EXPECT_EQ(AdjustColour(grey, 0, 50), grey) << g;
    EXPECT_EQ(AdjustColour(grey, 0, -100), grey) << g;
  }
}

TEST(HlsColour, AdjustMovesByShareOfTheWayWithIntegerTruncation) {
  // Greys show the luminance rule without hue rounding: up goes
  // (255 - x) * p / 100 towards white, down x * (p + 100) / 100.
  const Colour face = MakeColour(240, 240, 240);
  EXPECT_EQ(AdjustColour(face, 20, 0), MakeColour(243, 243, 243));
  EXPECT_EQ(AdjustColour(face, 73, 0), MakeColour(250, 250, 250));
  EXPECT_EQ(AdjustColour(face, -18, 0), MakeColour(196, 196, 196));
  EXPECT_EQ(AdjustColour(MakeColour(192, 192, 192), 20, 0), MakeColour(204, 204, 204));

  const Colour highlight = MakeColour(0, 120, 215);
  EXPECT_EQ(AdjustColour(highlight, 0, 0), HlsToRgb(RgbToHls(highlight)));
  EXPECT_EQ(AdjustColour(highlight, 70, -57), MakeColour(190, 212, 229));
  EXPECT_EQ(AdjustColour(highlight, 50, -66), MakeColour(156, 184, 205));
  EXPECT_EQ(AdjustColour(highlight, 100, 0), MakeColour(255, 255, 255));
  EXPECT_EQ(AdjustColour(highlight, -100, 0), MakeColour(0, 0, 0));
  const int l = Luminance(RgbToHls(highlight));
  EXPECT_EQ(AdjustColour(highlight, 0, -100), MakeColour(l, l, l));
}

TEST(GradientStripes, TileTheRangeOneStepApart) {
  // The menu band: 75 steps over 30 pixels, so most steps are empty and
  // each pixel takes the last step that covers it.
  const auto band = GradientStripes(0, 30, MakeColour(180, 196, 228), MakeColour(255, 255, 255));
  ASSERT_EQ(band.size(), 30u);
  for (std::size_t i = 0; i < band.size(); ++i) {
    EXPECT_EQ(band[i].left, int(i));
    EXPECT_EQ(band[i].right, int(i) + 1);
  }
  EXPECT_EQ(band.front().colour, MakeColour(182, 197, 228));
  EXPECT_EQ(band[15].colour, MakeColour(219, 226, 242));
  EXPECT_EQ(band.back().colour, MakeColour(254, 254, 254));

  // Ten steps over 100 pixels: stripes of ten; components truncate.
  const auto wide = GradientStripes(5, 105, MakeColour(0, 0, 0), MakeColour(10, 4, 0));
  ASSERT_EQ(wide.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(wide[i].left, 5 + 10 * i);
    EXPECT_EQ(wide[i].right, 15 + 10 * i);
    EXPECT_EQ(wide[i].colour, MakeColour(i, i * 4 / 10, 0)) << i;
  }
  // Falling: the exact value truncated, never a step too far.
  const auto falling = GradientStripes(0, 300, MakeColour(255, 255, 255), MakeColour(180, 196, 228));
  EXPECT_EQ(falling[1].colour, MakeColour(254, 254, 254));
  EXPECT_EQ(falling.back().colour, MakeColour(181, 196, 228));
  EXPECT_EQ(falling.back().right, 300);
  // One pixel for 49 steps: (1 / 49) * 49 falls short of 1 and every stripe
  // is empty; the end colour fills the rest.
  const auto remainder = GradientStripes(0, 1, MakeColour(0, 0, 0), MakeColour(49, 0, 0));
  ASSERT_EQ(remainder.size(), 1u);
  EXPECT_EQ(remainder[0].colour, MakeColour(49, 0, 0));

  const auto same = GradientStripes(3, 9, MakeColour(1, 2, 3), MakeColour(1, 2, 3));
  ASSERT_EQ(same.size(), 1u);
  EXPECT_EQ(same[0].right - same[0].left, 6);
  EXPECT_TRUE(GradientStripes(9, 9, 0, 0xFFFFFF).empty());
  EXPECT_TRUE(GradientStripes(9, 3, 0, 0xFFFFFF).empty());
}

}  // namespace
}  // namespace zt::widgets
