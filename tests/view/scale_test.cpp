// The control on a display scaled to 144 DPI (a Wine prefix of its own with
// LogPixels 144), as a person sees it: the list's skinned header, its menu,
// both status dialogs and the open-or-save question, each captured (the
// screenshots land beside the report) and checked for the scale: pictures
// and fonts drawn half as large again, no label cut or lying over another.
// High contrast too, at this scale and at 96 DPI (the same program in the
// contrast prefix): the module asks the system through SystemParametersInfo,
// which Wine cannot make answer yes, so the test answers that one question
// in the module's import table. The system colours are set to a scheme no
// skin uses; the list, its header and the post's panel and buttons must take
// them, and a switch either way must show as soon as the control's window
// hears of it. Screenshots: contrast_view_<dpi>_<list_page|list_on|list_off|post>.bmp.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "dialog_driver.h"
#include "embedded_control.h"
#include "import_patch.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kDpi = 144;
constexpr int kStop = 1011, kBar = 1349, kMultiCancel = 217;

constexpr int kElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT};
constexpr COLORREF kScheme[] = {RGB(0, 0, 96), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 0)};
constexpr COLORREF kPageBack = 0x00E0F0, kPageText = 0x800000;

std::atomic<bool> g_contrast{false};
using SpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
SpiFn g_system = nullptr;

BOOL WINAPI AnswerContrast(UINT action, UINT param, void* value, UINT flags) {
  const BOOL ok = g_system(action, param, value, flags);
  if (ok && action == SPI_GETHIGHCONTRAST && g_contrast) static_cast<HIGHCONTRASTW*>(value)->dwFlags |= HCF_HIGHCONTRASTON;
  return ok;
}

// The system colours the contrast scenario sets for the whole session (its
// prefix is its own), put back whatever the test's end.
struct SchemeForTheTest {
  COLORREF saved[4]{};
  SchemeForTheTest() {
    for (int i = 0; i < 4; ++i) saved[i] = GetSysColor(kElements[i]);
    SetSysColors(4, kElements, kScheme);
  }
  ~SchemeForTheTest() {
    SetSysColors(4, kElements, saved);
    g_contrast = false;
  }
};

std::uint32_t Rgb(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

int Count(const Picture& p, RECT r, COLORREF colour) {
  int n = 0;
  for (int y = std::max<LONG>(r.top, 0); y < r.bottom && y < p.Height; ++y)
    for (int x = std::max<LONG>(r.left, 0); x < r.right && x < p.Width; ++x) n += p.At(x, y) == Rgb(colour);
  return n;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

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
    const RECT stop = ChildRect(dialog, GetDlgItem(dialog, kStop));
    // The dialog shows through outside the rounded corner: about 5 pixels
    // of a corner drawn for 96 DPI, about 12 at this scale.
    const std::uint32_t faceRgb = Rgb(GetSysColor(COLOR_BTNFACE));
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

TEST_F(ScaleTest, TheListItsHeaderAndThePostsPanelFollowTheSwitchAtOnce) {
  SchemeForTheTest scheme;
  ImportPatch patch(GetModuleHandleW(L"ZTFileUpload.ocx"), "user32.dll", "SystemParametersInfoW",
                    reinterpret_cast<void*>(&AnswerContrast));
  ASSERT_TRUE(patch.Ok()) << "the module does not ask the system for its settings";
  g_system = reinterpret_cast<SpiFn>(patch.Original());
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto at = [&](int n) { return MulDiv(n, dpi, 96); };
  const std::wstring name = L"contrast_view_" + std::to_wstring(dpi) + L"_";

  AddFiles({{L"a.txt", 10}, {L"b.bin", 2 << 20}});
  Put(L"BgColor", static_cast<long>(kPageBack));
  Put(L"FgColor", static_cast<long>(kPageText));
  Put(L"ListType", 1);  // the rebuild takes the page's colours
  RECT rows{}, listBox{};
  GetClientRect(List(), &listBox);
  ListView_GetItemRect(List(), 0, &rows, LVIR_BOUNDS);
  rows.bottom += rows.bottom - rows.top;  // both rows
  const POINT empty{listBox.right / 2, listBox.bottom - at(20)};
  HWND header = ListView_GetHeader(List());
  const RECT head = ChildRect(List(), header);

  // The page's colours once the list has painted; then each way the
  // container may pass the switch on, checked on the screen with nothing
  // but the message to repaint it.
  for (int i = 0; i < 50 && CaptureClient(List()).At(empty.x, empty.y) != Rgb(kPageBack); ++i) {
    Pump();
    Sleep(100);
  }
  Put(L"BgColor", 0x0000FF);  // waits for the next build, a switch included
  struct Step {
    bool on;
    UINT message;
    const wchar_t* shot;
  };
  for (const Step& step : {Step{false, 0, L"list_page"}, Step{true, WM_SYSCOLORCHANGE, L"list_on"},
                           Step{false, WM_SETTINGCHANGE, L"list_off"}}) {
    SCOPED_TRACE(step.shot);
    g_contrast = step.on;
    if (step.message) SendMessageW(ControlWindow(), step.message, 0, 0);
    Pump();
    const Picture list = CaptureClient(List());
    list.SaveBmp(name + step.shot + L".bmp");
    EXPECT_EQ(list.At(empty.x, empty.y), Rgb(step.on ? kScheme[0] : kPageBack)) << "the list's background";
    EXPECT_GT(Count(list, rows, step.on ? kScheme[1] : kPageText), 10) << "the rows' text";
    EXPECT_EQ(list.At(head.left + at(6), (head.top + head.bottom) / 2) == Rgb(kScheme[2]), step.on) << "the header";
  }

  // The post's panel and its flat buttons while it runs, switched on.
  g_contrast = true;
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(receiver_.Port()) + L"/upload/recv.asp";
  ASSERT_EQ(control_.Put(L"URL", Text(url.c_str())).Hr, S_OK);
  Put(L"KByteRate", 1000);  // two seconds to look
  int panelText = -1, stopText = -1;
  std::uint32_t panelBack = 0, stopFace = 0;
  CallResult r = WithDialog(L"Post", {Bool(true)}, kStatusTitle, [&](HWND dialog) {
    if (!dialog) return;
    WaitUntil([&] { return BarPosition(dialog, kBar) >= 30; });
    Sleep(600);  // the panel's texts follow within half a second
    const Picture shot = CaptureClient(dialog);
    shot.SaveBmp(name + L"post.bmp");
    panelText = Count(shot, {at(6), at(50), at(150), at(64)}, kScheme[3]);
    panelBack = shot.At(at(260), at(100));
    const RECT stop = ChildRect(dialog, GetDlgItem(dialog, kStop));
    stopText = Count(shot, stop, kScheme[3]);
    stopFace = shot.At(stop.left + at(8), (stop.top + stop.bottom) / 2);
  });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(panelBack, Rgb(kScheme[2])) << "the panel's picture is drawn";
  EXPECT_GT(panelText, 20) << "the panel's texts are not in the button text colour";
  EXPECT_EQ(stopFace, Rgb(kScheme[2])) << "Stop keeps its gradient";
  EXPECT_GT(stopText, 10) << "Stop's frame and caption";
}

}  // namespace
}  // namespace zt::test
