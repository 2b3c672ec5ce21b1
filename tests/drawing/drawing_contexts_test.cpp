// The off-screen contexts deliver exactly their rectangle to the target, at
// the target's coordinates, and nothing while they live.
#include <gtest/gtest.h>

#include "picture.h"
#include "platform/unique_handle.h"
#include "widgets/buffer_dc.h"
#include "widgets/gradient_fill.h"
#include "widgets/mem_dc.h"

namespace zt::widgets {
namespace {

using testing::Picture;
using testing::Rgb;

constexpr COLORREF kBlue = RGB(0, 0, 200), kRed = RGB(220, 0, 0), kGreen = RGB(0, 160, 0);

TEST(DrawingContexts, DeliverOnlyTheirRectangleWhenTheyEnd) {
  win::WindowDc screen(nullptr);
  win::UniqueHdc target(CreateCompatibleDC(screen.Get()));
  win::UniqueHbitmap bitmap(CreateCompatibleBitmap(screen.Get(), 60, 40));
  win::SelectGuard select(target.Get(), bitmap.Get());
  FillSolid(target.Get(), RECT{0, 0, 60, 40}, kBlue);
  auto at = [&](int x, int y) { return Rgb(Picture::OfDc(target.Get(), 60, 40).At(x, y)); };

  {
    CBufferDC buffer(target.Get(), RECT{10, 5, 30, 25});
    ASSERT_NE(buffer.Get(), target.Get());
    FillSolid(buffer.Get(), RECT{0, 0, 60, 40}, kRed);  // in the target's own coordinates
    SetPixelV(buffer.Get(), 12, 7, kGreen);
    EXPECT_EQ(at(15, 15), Rgb(kBlue)) << "nothing shows before the buffer ends";
  }
  EXPECT_EQ(at(10, 5), Rgb(kRed));
  EXPECT_EQ(at(29, 24), Rgb(kRed));
  EXPECT_EQ(at(12, 7), Rgb(kGreen));
  for (auto [x, y] : {std::pair{9, 10}, {30, 10}, {15, 4}, {15, 25}}) EXPECT_EQ(at(x, y), Rgb(kBlue)) << x << "," << y;

  // An empty rectangle buffers the target's clip box.
  win::UniqueHrgn clip(CreateRectRgn(40, 0, 60, 40));
  SelectClipRgn(target.Get(), clip.Get());
  {
    CBufferDC whole(target.Get(), RECT{});
    EXPECT_EQ(whole.Rect().left, 40);
    FillSolid(whole.Get(), RECT{0, 0, 60, 40}, kGreen);
  }
  SelectClipRgn(target.Get(), nullptr);
  EXPECT_EQ(at(50, 20), Rgb(kGreen));
  EXPECT_EQ(at(35, 20), Rgb(kBlue));

  // CMemDC starts with the target's background colour and keeps logical
  // coordinates; what falls outside its rectangle is never delivered.
  SetBkColor(target.Get(), kGreen);
  FillSolid(target.Get(), RECT{0, 0, 60, 40}, kBlue);
  const RECT area{20, 10, 50, 30};
  {
    CMemDC dc(target.Get(), &area);
    ASSERT_NE(dc.Get(), target.Get());
    SetPixelV(dc.Get(), 25, 15, kRed);
    SetPixelV(dc.Get(), 5, 5, kRed);
  }
  EXPECT_EQ(at(25, 15), Rgb(kRed));
  EXPECT_EQ(at(20, 10), Rgb(kGreen));
  EXPECT_EQ(at(49, 29), Rgb(kGreen));
  EXPECT_EQ(at(5, 5), Rgb(kBlue));
  EXPECT_EQ(at(50, 30), Rgb(kBlue));
}

}  // namespace
}  // namespace zt::widgets
