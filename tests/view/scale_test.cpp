// The control on a display scaled to 144 DPI (a Wine prefix of its own with
// LogPixels 144), as a person sees it: the list's skinned header, its menu,
// both status dialogs and the open-or-save question, each captured (the
// screenshots land beside the report) and checked for the scale: pictures
// and fonts drawn half as large again, no label cut or lying over another.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "dialog_driver.h"
#include "embedded_control.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kDpi = 144;
constexpr int kStop = 1011, kBar = 1349, kMultiCancel = 217;

int AtScale(int pixels) { return MulDiv(pixels, kDpi, 96); }

// How tall the first line of text in [x0, x1) x [y0, y1) is drawn: the
// rows holding ink from the first such row on, without a gap.
int InkRun(const Picture& shot, int x0, int y0, int x1, int y1, int threshold = 100) {
  int rows = 0;
  for (int y = y0; y < y1 && y < shot.Height; ++y) {
    if (shot.DarkPixels(x0, y, x1, y + 1, threshold) > 0) ++rows;
    else if (rows > 0) break;
  }
  return rows;
}

// What a person would see wrong in window's layout: a visible text that does
// not fit its control in the control's font, laid out as the control lays it
// out (a label wraps, a button does not), or two controls lying over each
// other (a frame around others excepted). Controls are named by their ids.
std::string LayoutFaults(HWND window) {
  std::string faults;
  std::vector<RECT> shown;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r;
    GetWindowRect(child, &r);
    const std::string id = std::to_string(GetDlgCtrlID(child));
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    const bool label = lstrcmpiW(kind, L"Static") == 0;
    const std::wstring text = TextOf(child);
    if (!text.empty() && (label || lstrcmpiW(kind, L"Button") == 0)) {
      HDC dc = GetDC(child);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
      RECT need{0, 0, r.right - r.left, 0};
      DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | (label ? DT_WORDBREAK | DT_EXPANDTABS : DT_SINGLELINE));
      SelectObject(dc, old);
      ReleaseDC(child, dc);
      if (need.right > r.right - r.left || need.bottom > r.bottom - r.top) faults += id + " is cut; ";
    }
    for (const RECT& o : shown) {
      RECT both, all;
      UnionRect(&all, &r, &o);
      if (IntersectRect(&both, &r, &o) && !EqualRect(&all, &r) && !EqualRect(&all, &o)) faults += id + " lies over another; ";
    }
    shown.push_back(r);
  }
  return faults;
}

class ScaleTest : public EmbeddedControlTest {
protected:
  void SetUp() override {
    EmbeddedControlTest::SetUp();
    ASSERT_TRUE(receiver_.Ok()) << "runs beside the loopback receiver";
    receiver_.Reset();
  }
  // Runs call on this thread while person looks at the dialog titled title.
  CallResult WithDialog(const wchar_t* method, std::vector<VARIANT> args, const wchar_t* title,
                        const std::function<void(HWND)>& person) {
    std::thread other([&] {
      // As a person sees it: shown, enabled and painted.
      HWND dialog = FindDialog(title);
      if (dialog) WaitUntil([&] { return IsWindowVisible(dialog) && IsWindowEnabled(dialog); });
      Sleep(500);
      person(dialog);
    });
    CallResult r = control_.Call(method, std::move(args));
    other.join();
    Pump();
    return r;
  }
  ReceiverClient receiver_;
};

TEST_F(ScaleTest, TheListItsMenuAndTheDialogsAreDrawnForTheDisplaysScale) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(dpi, kDpi) << "the prefix's LogPixels did not take";

  // The header's skin is 16 rows at 96 DPI, its last one dark: here 24 rows,
  // row 15 still light, the dark one at 23; its text 18 pixels high.
  AddFiles({{L"a.txt", 10}, {L"b.txt", 2 << 20}});
  Put(L"ListType", 1);
  HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  RECT item{};
  SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
  const Picture head = CaptureClient(header);
  head.SaveBmp(L"scale144_header.bmp");
  ASSERT_GE(head.Height, AtScale(16));
  EXPECT_GE(head.At(item.left + 6, 15) & 0xFF, 0xC0u) << "the skin is drawn 16 rows high";
  EXPECT_LE(head.At(item.left + 6, AtScale(16) - 1) & 0xFF, 0x90u) << "the skin's last row is not at row 23";
  EXPECT_GE(InkRun(head, item.left + 4, AtScale(2), item.right - 4, head.Height - AtScale(2)), 13) << "the header's text is not drawn at scale";

  // The menu: items at least 30 pixels high, its band (a gradient into the
  // body's colour, 30 pixels wide at 96 DPI) 45 pixels wide.
  int itemHeight = 0, bandEnd = 0;
  const MenuSeen seen = RightClickMenu(List(), {}, [&](HWND popup, HMENU menu) {
    RECT first{};
    GetMenuItemRect(nullptr, menu, 0, &first);
    itemHeight = first.bottom - first.top;
    const Picture shot = CaptureClient(popup);
    shot.SaveBmp(L"scale144_menu.bmp");
    // Inside the popup's 3-pixel frame, above the first item's image.
    if (shot.Width > 60) {
      const std::uint32_t body = shot.At(shot.Width - 8, 5);
      while (bandEnd + 3 < shot.Width && shot.At(bandEnd + 3, 5) != body) ++bandEnd;
    }
  });
  EXPECT_TRUE(seen.opened);
  EXPECT_GE(itemHeight, AtScale(20));
  EXPECT_GE(bandEnd, AtScale(30) - 6) << "the menu's band is drawn for 96 DPI";

  // The status dialog: its panel, text and buttons at scale, nothing cut.
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(receiver_.Port()) + L"/upload/recv.asp";
  ASSERT_EQ(control_.Put(L"URL", Text(url.c_str())).Hr, S_OK);
  Put(L"KByteRate", 1000);  // two seconds to look
  int loadingRight = 0, counterRows = 0;
  int cornerFace = 0;
  std::string postFaults = "<no dialog>";
  CallResult r = WithDialog(L"Post", {Bool(true)}, kStatusTitle, [&](HWND dialog) {
    if (!dialog) return;
    WaitUntil([&] { return BarPosition(dialog, kBar) >= 30; });
    Sleep(600);  // the panel's texts follow within half a second
    const Picture shot = CaptureClient(dialog);
    shot.SaveBmp(L"scale144_post_dialog.bmp");
    // LOADING ends near the panel's right edge: 327 pixels at 96 DPI.
    for (int x = 0; x < shot.Width; ++x)
      if (shot.DarkPixels(x, 0, x + 1, AtScale(30), 160) > 0) loadingRight = x;
    counterRows = InkRun(shot, AtScale(6), AtScale(50) - 2, AtScale(200), AtScale(90));
    RECT stop;
    GetWindowRect(GetDlgItem(dialog, kStop), &stop);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&stop), 2);
    // The dialog shows through outside the rounded corner: about 5 pixels
    // of a corner drawn for 96 DPI, about 12 at this scale.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t faceRgb = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    for (int y = stop.top; y < stop.top + 8 && stop.left + 8 <= shot.Width && y < shot.Height; ++y)
      for (int x = stop.left; x < stop.left + 8; ++x) cornerFace += shot.At(x, y) == faceRgb;
    postFaults = LayoutFaults(dialog);
  });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_GT(loadingRight, 400) << "the panel is drawn at 96 DPI (see scale144_post_dialog.bmp)";
  EXPECT_GE(counterRows, 13) << "the panel's text is drawn at 96 DPI";
  EXPECT_GE(cornerFace, 9) << "the buttons' corners are rounded for 96 DPI";
  EXPECT_EQ(postFaults, "");

  // The multi-file dialog and the open-or-save question: nothing cut.
  std::string multiFaults = "<no dialog>";
  r = WithDialog(L"OpenPostDialog", {}, kStatusTitle, [&](HWND dialog) {
    if (!dialog) return;
    CaptureClient(dialog).SaveBmp(L"scale144_multi_dialog.bmp");
    multiFaults = LayoutFaults(dialog);
    Click(dialog, kMultiCancel);
    WaitGone(dialog);
  });
  EXPECT_EQ(multiFaults, "");

  receiver_.Rule("path=/files/q.txt&pattern=1000&seed=1");
  Put(L"Port", 0);
  const std::wstring file = L"http://127.0.0.1:" + std::to_wstring(receiver_.Port()) + L"/files/q.txt";
  AddServer(file.c_str());
  ASSERT_EQ(control_.Put(L"FilePos", Long(FindFilePos(L"q.txt"))).Hr, S_OK);
  std::string questionFaults = "<no dialog>";
  WithDialog(L"OpenFile", {}, L"Open Attached File", [&](HWND question) {
    if (!question) return;
    CaptureClient(question).SaveBmp(L"scale144_question.bmp");
    questionFaults = LayoutFaults(question);
    SendMessageW(question, WM_COMMAND, IDCANCEL, 0);  // "save", then no name
    WaitGone(question);
    if (HWND save = FindFileDialog()) SendMessageW(save, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(questionFaults, "");
}

}  // namespace
}  // namespace zt::test
