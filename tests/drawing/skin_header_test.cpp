// The skinned header on a real report-mode list view under Wine: the band,
// the edges and separators are checked pixel by pixel against the skin's
// colour table, with items reordered, too narrow for their text, and gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>

#include "picture.h"
#include "platform/module_state.h"
#include "platform/unique_handle.h"
#include "widgets/skin_header.h"

namespace zt::widgets {
namespace {

using testing::Picture;
using testing::Rgb;
using Column = std::array<COLORREF, 16>;

constexpr COLORREF kWhite = RGB(255, 255, 255);

Column Greys(const std::array<int, 16>& values) {
  Column c{};
  for (int y = 0; y < 16; ++y) c[y] = RGB(values[y], values[y], values[y]);
  return c;
}
// A dark edge: `upper` for rows 0 to 11, #808080 below.
Column Dark(int upper) { return Greys({upper, upper, upper, upper, upper, upper, upper, upper, upper, upper, upper,
                                       upper, 0x80, 0x80, 0x80, 0x80}); }

// The skin's colour table, top row first: bitmap 228; bitmap 229's outer
// column and face; bitmap 230's outer column; and the light half of a
// separator, through which the band's top and bottom lines run.
const Column kBand = Greys({0x5A, 0xFF, 0xFF, 0xFF, 0xFF, 0xF7, 0xEF, 0xE7, 0xDE, 0xD6, 0xCE, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});
const Column kLeftOuter = Dark(0x5B);
const Column kLeftFace = [] {
  Column c = Greys({0x5A, 0xFF, 0xFF, 0xFF, 0xFE, 0xF8, 0xEE, 0xE5, 0xDC, 0xD3, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});
  c[10] = RGB(0xCF, 0xCE, 0xCC);
  return c;
}();
const Column kRightOuter = Dark(0x5A);
const Column kSeparatorLight =
    Greys({0x5A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});

::testing::AssertionResult ColumnIs(const Picture& p, int x, const Column& want, const char* what) {
  for (int y = 0; y < 16; ++y)
    if (p.At(x, y) != want[y])
      return ::testing::AssertionFailure() << what << ": column " << x << " row " << y << " is " << Rgb(p.At(x, y))
                                           << ", the skin says " << Rgb(want[y]);
  return ::testing::AssertionSuccess();
}

// Pixels of an item's text: whatever differs from the skin under it.
struct Ink {
  int left = INT_MAX, right = -1;   // columns with ink
  int lowest_row_of_rightmost = -1, highest_row_of_rightmost = INT_MAX;
};
Ink InkBetween(const Picture& p, int from, int to) {
  Ink ink;
  for (int x = from; x < to; ++x)
    for (int y = 0; y < 16; ++y)
      if (p.At(x, y) != kBand[y]) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
      }
  for (int y = 0; y < 16 && ink.right >= 0; ++y)
    if (p.At(ink.right, y) != kBand[y]) {
      ink.highest_row_of_rightmost = std::min(ink.highest_row_of_rightmost, y);
      ink.lowest_row_of_rightmost = std::max(ink.lowest_row_of_rightmost, y);
    }
  return ink;
}

class SkinHeaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    com::SetModuleInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    frame_.Reset(CreateWindowExW(0, L"STATIC", L"frame", WS_POPUP | WS_VISIBLE, 20, 300, 520, 200, nullptr, nullptr,
                                 nullptr, nullptr));
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 520, 200, frame_.Get(),
                            nullptr, nullptr, nullptr);
    // A font taller than the skin, so the header is too.
    LOGFONTW big{};
    big.lfHeight = -20;
    lstrcpyW(big.lfFaceName, L"Tahoma");
    font_.Reset(CreateFontIndirectW(&big));
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), TRUE);
    AddColumn(0, L"\uD30C\uC77C\uBA85", 200);  // "파일명"
    AddColumn(1, L"Size", 90);
    AddColumn(2, L"A long column title that cannot fit", 70);
    header_ = ListView_GetHeader(list_);
  }

  void AddColumn(int index, const wchar_t* title, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    ListView_InsertColumn(list_, index, &column);
  }

  RECT ItemRect(int index) const {
    RECT r{};
    Header_GetItemRect(header_, index, &r);
    return r;
  }

  Picture Shot(const wchar_t* name) const {
    RedrawWindow(header_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Picture p = Picture::OfWindow(header_);
    p.Save(name);
    return p;
  }

  win::UniqueHwnd frame_;
  HWND list_ = nullptr;
  HWND header_ = nullptr;
  win::UniqueHfont font_;
};

TEST_F(SkinHeaderTest, BandEdgesSeparatorsAndTextsFollowTheSkin) {
  CZTSkinHeaderCtrl skin;
  ASSERT_TRUE(skin.Attach(header_));
  EXPECT_EQ(skin.Header(), header_);
  const Picture p = Shot(L"header_skin.bmp");
  ASSERT_GT(p.Height(), 16) << "the header should be taller than the skin";
  const RECT first = ItemRect(0), second = ItemRect(1), third = ItemRect(2);

  EXPECT_TRUE(ColumnIs(p, first.left, kLeftOuter, "leftmost item's outer edge"));
  EXPECT_TRUE(ColumnIs(p, first.left + 1, kLeftFace, "leftmost item's face"));
  EXPECT_TRUE(ColumnIs(p, first.left + 3, kBand, "item body"));
  EXPECT_TRUE(ColumnIs(p, first.right - 2, kBand, "inner column of the right edge"));
  // Between two items: the dark line of the right edge, then a light line.
  EXPECT_TRUE(ColumnIs(p, second.left - 1, kRightOuter, "separator, dark half"));
  EXPECT_TRUE(ColumnIs(p, second.left, kSeparatorLight, "separator, light half"));
  EXPECT_TRUE(ColumnIs(p, second.left + 1, kBand, "item body after a separator"));
  EXPECT_TRUE(ColumnIs(p, third.right - 1, kRightOuter, "last item's right edge"));
  EXPECT_TRUE(ColumnIs(p, third.right + 10, kBand, "band after the last item"));
  EXPECT_TRUE(ColumnIs(p, p.Width() - 1, kBand, "band at the right end"));
  // Below the skin: the fill colour of the paint context.
  for (int x : {int(first.left) + 5, int(third.right) + 10})
    for (int y = 16; y < p.Height(); ++y) EXPECT_EQ(Rgb(p.At(x, y)), Rgb(kWhite)) << x << "," << y;

  // Titles are centred; a title too wide for its item ends in an ellipsis
  // inside it: the rightmost ink is a dot on the baseline.
  const Ink size = InkBetween(p, second.left + 2, second.right - 2);
  ASSERT_GE(size.right, 0) << "no title drawn";
  EXPECT_NEAR((size.left + size.right) / 2.0, (second.left + second.right) / 2.0, 3);
  const Ink cut = InkBetween(p, third.left + 1, third.right - 2);
  ASSERT_GE(cut.right, 0) << "no title drawn";
  EXPECT_GE(cut.left, third.left + 2);
  EXPECT_GT(cut.highest_row_of_rightmost, 8) << "the cut title should end in dots";
  EXPECT_TRUE(InkBetween(p, first.left + 2, first.right - 2).right >= 0) << "the Korean title is missing";
}

TEST_F(SkinHeaderTest, ReorderedEmptiedDetachedAndDestroyed) {
  CZTSkinHeaderCtrl skin;
  ASSERT_TRUE(skin.Attach(header_));
  // Dragged first: the item shown leftmost gets the left edge, whatever its index.
  int order[] = {1, 0, 2};
  ASSERT_TRUE(Header_SetOrderArray(header_, 3, order));
  const Picture moved = Shot(L"header_reordered.bmp");
  const RECT size = ItemRect(1), name = ItemRect(0);
  ASSERT_EQ(size.left, 0);
  EXPECT_TRUE(ColumnIs(moved, 0, kLeftOuter, "reordered leftmost item's outer edge"));
  EXPECT_TRUE(ColumnIs(moved, 1, kLeftFace, "reordered leftmost item's face"));
  EXPECT_TRUE(ColumnIs(moved, name.left - 1, kRightOuter, "separator before the moved item"));
  EXPECT_TRUE(ColumnIs(moved, name.left, kSeparatorLight, "separator before the moved item"));

  // No items: only the band, which starts two columns in.
  for (int i = 0; i < 3; ++i) ListView_DeleteColumn(list_, 0);
  ASSERT_EQ(Header_GetItemCount(header_), 0);
  const Picture empty = Shot(L"header_empty.bmp");
  for (int y = 0; y < 16; ++y) EXPECT_EQ(Rgb(empty.At(0, y)), Rgb(kWhite)) << y;
  EXPECT_TRUE(ColumnIs(empty, 2, kBand, "band of an empty header"));
  EXPECT_TRUE(ColumnIs(empty, 300, kBand, "band of an empty header"));

  // Detached: the header paints itself again.
  AddColumn(0, L"Name", 120);
  skin.Detach();
  EXPECT_EQ(skin.Header(), nullptr);
  EXPECT_FALSE(ColumnIs(Shot(L"header_detached.bmp"), 0, kLeftOuter, "system header"));

  // Attached again and destroyed with the list: the skin lets go by itself.
  ASSERT_TRUE(skin.Attach(header_));
  DestroyWindow(list_);
  EXPECT_EQ(skin.Header(), nullptr);
  EXPECT_FALSE(skin.Attach(nullptr));
  EXPECT_FALSE(skin.Attach(header_)) << "a destroyed header";
}

}  // namespace
}  // namespace zt::widgets
