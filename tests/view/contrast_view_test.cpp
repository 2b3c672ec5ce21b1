// High contrast in the control as a page embeds it: the module asks the
// system through SystemParametersInfo, which Wine cannot make answer yes, so
// the test answers that one question in the module's import table. The
// system colours are set to a scheme no skin uses (a prefix of its own:
// they are the whole session's). The list, its header and the post's panel
// and buttons must take those colours, and a switch either way must show as
// soon as the control's window hears of it. Screenshots:
// contrast_view_<dpi>_<list_page|list_on|list_off|post>.bmp.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "dialog_driver.h"
#include "embedded_control.h"
#include "import_patch.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kStop = 1011, kBar = 1349;
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

class ContrastView : public EmbeddedControlTest {
protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i) saved_[i] = GetSysColor(kElements[i]);
    SetSysColors(4, kElements, kScheme);
    EmbeddedControlTest::SetUp();
  }
  void TearDown() override {
    EmbeddedControlTest::TearDown();
    SetSysColors(4, kElements, saved_);
    g_contrast = false;
  }
  COLORREF saved_[4]{};
  ReceiverClient receiver_;
};

TEST_F(ContrastView, TheListItsHeaderAndThePostsPanelFollowTheSwitchAtOnce) {
  ASSERT_TRUE(receiver_.Ok()) << "runs beside the loopback receiver";
  receiver_.Reset();
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
  std::thread person([&] {
    HWND dialog = FindDialog(kStatusTitle);
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
  CallResult r = control_.Call(L"Post", {Bool(true)});
  person.join();
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(panelBack, Rgb(kScheme[2])) << "the panel's picture is drawn";
  EXPECT_GT(panelText, 20) << "the panel's texts are not in the button text colour";
  EXPECT_EQ(stopFace, Rgb(kScheme[2])) << "Stop keeps its gradient";
  EXPECT_GT(stopText, 10) << "Stop's frame and caption";
}

}  // namespace
}  // namespace zt::test
