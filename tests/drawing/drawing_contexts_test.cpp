// The off-screen contexts deliver exactly their rectangle to the target,
// at the target's coordinates, and nothing while they live.
#include <gtest/gtest.h>

#include "picture.h"
#include "platform/unique_handle.h"
#include "widgets/buffer_dc.h"
#include "widgets/draw_guards.h"
#include "widgets/gradient_fill.h"
#include "widgets/mem_dc.h"

namespace zt::widgets {
namespace {

using testing::Picture;
using testing::Rgb;

constexpr COLORREF kBlue = RGB(0, 0, 200), kRed = RGB(220, 0, 0), kGreen = RGB(0, 160, 0);

// A memory target filled with blue.
class Target {
public:
  Target(int width, int height) : width_(width), height_(height) {
    win::WindowDc screen(nullptr);
    dc_.Reset(CreateCompatibleDC(screen.Get()));
    bitmap_.Reset(CreateCompatibleBitmap(screen.Get(), width, height));
    previous_ = SelectObject(dc_.Get(), bitmap_.Get());
    FillSolid(dc_.Get(), RECT{0, 0, width, height}, kBlue);
  }
  ~Target() { SelectObject(dc_.Get(), previous_); }
  HDC Get() const { return dc_.Get(); }
  Picture Shot() const { return Picture::OfDc(dc_.Get(), width_, height_); }

private:
  int width_, height_;
  win::UniqueHdc dc_;
  win::UniqueHbitmap bitmap_;
  HGDIOBJ previous_;
};

TEST(DrawingContexts, BufferDcCopiesOnlyItsRectangleWhenItEnds) {
  Target target(60, 40);
  {
    CBufferDC buffer(target.Get(), RECT{10, 5, 30, 25});
    ASSERT_NE(buffer.Get(), target.Get());
    // Drawn everywhere, in the target's own coordinates.
    FillSolid(buffer.Get(), RECT{0, 0, 60, 40}, kRed);
    SetPixelV(buffer.Get(), 12, 7, kGreen);
    EXPECT_EQ(Rgb(target.Shot().At(15, 15)), Rgb(kBlue)) << "nothing shows before the buffer ends";
  }
  const Picture p = target.Shot();
  EXPECT_EQ(Rgb(p.At(10, 5)), Rgb(kRed));
  EXPECT_EQ(Rgb(p.At(29, 24)), Rgb(kRed));
  EXPECT_EQ(Rgb(p.At(12, 7)), Rgb(kGreen));
  for (auto [x, y] : {std::pair{9, 10}, {30, 10}, {15, 4}, {15, 25}, {0, 0}, {59, 39}})
    EXPECT_EQ(Rgb(p.At(x, y)), Rgb(kBlue)) << x << "," << y;

  // An empty rectangle buffers the target's clip box.
  win::UniqueHrgn clip(CreateRectRgn(40, 0, 60, 40));
  SelectClipRgn(target.Get(), clip.Get());
  {
    CBufferDC whole(target.Get(), RECT{});
    EXPECT_EQ(whole.Rect().left, 40);
    EXPECT_EQ(whole.Rect().right, 60);
    FillSolid(whole.Get(), RECT{0, 0, 60, 40}, kGreen);
  }
  SelectClipRgn(target.Get(), nullptr);
  EXPECT_EQ(Rgb(target.Shot().At(50, 20)), Rgb(kGreen));
  EXPECT_EQ(Rgb(target.Shot().At(35, 20)), Rgb(kBlue));
}

TEST(DrawingContexts, MemDcStartsWithTheBackgroundAndKeepsLogicalCoordinates) {
  Target target(60, 40);
  SetBkColor(target.Get(), kGreen);
  const RECT area{20, 10, 50, 30};
  {
    CMemDC dc(target.Get(), &area);
    ASSERT_NE(dc.Get(), target.Get());
    SetPixelV(dc.Get(), 25, 15, kRed);
    SetPixelV(dc.Get(), 5, 5, kRed);  // outside the rectangle: never delivered
  }
  const Picture p = target.Shot();
  EXPECT_EQ(Rgb(p.At(25, 15)), Rgb(kRed));
  EXPECT_EQ(Rgb(p.At(20, 10)), Rgb(kGreen)) << "the background fill";
  EXPECT_EQ(Rgb(p.At(49, 29)), Rgb(kGreen)) << "the background fill";
  EXPECT_EQ(Rgb(p.At(5, 5)), Rgb(kBlue));
  EXPECT_EQ(Rgb(p.At(50, 30)), Rgb(kBlue));

  // The drawing guards put everything back.
  HGDIOBJ pen = GetCurrentObject(target.Get(), OBJ_PEN), brush = GetCurrentObject(target.Get(), OBJ_BRUSH),
          font = GetCurrentObject(target.Get(), OBJ_FONT);
  const COLORREF text = GetTextColor(target.Get());
  {
    PenGuard p1(target.Get(), kRed);
    BrushGuard b1(target.Get(), BrushGuard::kNoFill);
    StockObjectGuard f1(target.Get(), DEFAULT_GUI_FONT, kGreen);
    FontWeightGuard bold(target.Get(), true);
    EXPECT_NE(GetCurrentObject(target.Get(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(target.Get(), OBJ_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetTextColor(target.Get()), kGreen);
    LOGFONTW current{};
    GetObjectW(GetCurrentObject(target.Get(), OBJ_FONT), sizeof current, &current);
    EXPECT_EQ(current.lfWeight, FW_BOLD);
    Rectangle(target.Get(), 0, 0, 10, 10);
  }
  EXPECT_EQ(GetCurrentObject(target.Get(), OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(target.Get(), OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(target.Get(), OBJ_FONT), font);
  EXPECT_EQ(GetTextColor(target.Get()), text);
  EXPECT_EQ(Rgb(target.Shot().At(0, 5)), Rgb(kRed)) << "the pen's outline";
  EXPECT_EQ(Rgb(target.Shot().At(5, 5)), Rgb(kBlue)) << "the null brush leaves the inside";
}

}  // namespace
}  // namespace zt::widgets
