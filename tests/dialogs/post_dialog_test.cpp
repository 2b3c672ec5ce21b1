// Post through IDispatch with its status dialog, driven from a test thread
// as a person would: the dialog is found by its title, its bar and labels
// are read, its buttons pressed; the loopback receiver tells what arrived.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <functional>
#include <thread>

#include "control_client.h"
#include "dialog_driver.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kBar = 1349, kStop = 1011, kCancel = 206;
constexpr int kFileCountLabel = 1007, kTransferLabel = 1010;
const wchar_t kCancelledText[] = L"\uC804\uC1A1\uC774 \uCDE8\uC18C\uB418\uC5C8\uC2B5\uB2C8\uB2E4.";
const wchar_t kReply[] = L"\uC798 \uBC1B\uC558\uC2B5\uB2C8\uB2E4";  // "잘 받았습니다"
const char kReplyUtf8[] = "\xec\x9e\x98 \xeb\xb0\x9b\xec\x95\x98\xec\x8a\xb5\xeb\x8b\x88\xeb\x8b\xa4";

std::string UrlEncode(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (isalnum(c)) out += static_cast<char>(c);
    else out += std::string("%") + hex[c >> 4] + hex[c & 15];
  }
  return out;
}

// Runs Post(async) on this thread while driver plays the person on another.
struct PostRun {
  std::wstring Result;
  HRESULT Hr = E_FAIL;
  double Seconds = 0;
};

// What a page's timer and a window hook see of a Post(false).
struct HiddenWatch {
  ControlClient* Control = nullptr;
  bool EverVisible = false, ShowSeen = false;
  int Bar = -1, Nested = 0;
  std::wstring NestedResults;
};
HiddenWatch* g_watch = nullptr;

bool IsStatusDialog(HWND window) {
  wchar_t cls[16] = {}, title[64] = {};
  GetClassNameW(window, cls, 16);
  GetWindowTextW(window, title, 64);
  return std::wstring(cls) == L"#32770" && std::wstring(title) == kStatusTitle;
}

LRESULT CALLBACK SeeShows(int code, WPARAM wp, LPARAM lp) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
  const bool shows = (m->message == WM_SHOWWINDOW && m->wParam) ||
                     (m->message == WM_WINDOWPOSCHANGING &&
                      (reinterpret_cast<const WINDOWPOS*>(m->lParam)->flags & SWP_SHOWWINDOW));
  if (code == HC_ACTION && g_watch && shows && IsStatusDialog(m->hwnd)) g_watch->ShowSeen = true;
  return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK WatchTick(HWND, UINT, UINT_PTR, DWORD) {
  HiddenWatch& w = *g_watch;
  HWND dialog = FindAnyDialog(kStatusTitle);
  if (!dialog) return;
  w.EverVisible = w.EverVisible || IsWindowVisible(dialog);
  w.Bar = std::max(w.Bar, BarPosition(dialog, kBar));
  CallResult nested = w.Control->Call(L"Post", {Bool(false)});
  ++w.Nested;
  w.NestedResults += nested.Text();
  if (w.Control->GetText(L"ErrorCode") != L"E01008") w.NestedResults += L"[not E01008]";
}

class PostDialog : public ::testing::Test {
protected:
  // A container's thread is in an apartment for the control's whole life:
  // the objects its dialogs hand a screen reader live there.
  static void SetUpTestSuite() { OleInitialize(nullptr); }
  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "run through with_receiver.sh";
    receiver.Reset();
    url = L"http://127.0.0.1:" + std::to_wstring(receiver.Port()) + L"/upload/recv.asp";
  }

  void Put(const wchar_t* name, VARIANT value) { ASSERT_EQ(control.Put(name, value).Hr, S_OK); }
  void Add(const std::wstring& path) { ASSERT_EQ(control.Call(L"AddLocalFile", {Text(path.c_str())}).Hr, S_OK); }

  // Without a driver nobody touches the dialog. The objects the dialog hands
  // a screen reader live on this thread: it answers them until the person is
  // done, since a post that ends on its own may find them still reading.
  PostRun Post(bool async, const std::function<void(HWND)>& driver = nullptr) {
    std::atomic<bool> done{false};
    std::thread person([&] {
      if (driver) driver(FindDialog(kStatusTitle));
      done = true;
    });
    PostRun run;
    const ULONGLONG start = GetTickCount64();
    CallResult r = control.Call(L"Post", {Bool(async)});
    run.Seconds = (GetTickCount64() - start) / 1000.0;
    for (MSG msg; !done; MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT))
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    person.join();
    run.Hr = r.Hr;
    if (r.Hr == S_OK) run.Result = r.Text();
    return run;
  }

  // The body bytes of the request whose file part named name holds exactly bytes.
  bool Arrived(long request, const std::string& bytes) {
    std::string raw = receiver.Raw(request);
    return !raw.empty() && raw.find("\r\n\r\n" + bytes + "\r\n--") != std::string::npos;
  }

  ReceiverClient receiver;
  ControlClient control;
  TempFolder folder;
  std::wstring url;
};

TEST_F(PostDialog, ShowsProgressOnItsPanelAndReturnsTheReply) {
  // The reply waits, so the dialog stays up for a person whose reading a
  // loaded machine has slowed past the end of the upload.
  receiver.Rule("body=" + UrlEncode(kReplyUtf8) + "&encoding=utf-8&delay=10");
  const std::string first = PatternBytes(100000, 1), second = PatternBytes(2 << 20, 2);
  Add(MakePatternFile(folder.Path() + L"first.bin", 100000, 1));
  Add(MakePatternFile(folder.Path() + L"second.bin", 2 << 20, 2));
  ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(L"/srv/old.doc")}).Hr, S_OK);
  ASSERT_EQ(control.Call(L"AddMessage", {Text(L"who"), Text(L"kim")}).Hr, S_OK);
  Put(L"URL", Text(url.c_str()));
  Put(L"UTF8", Long(1));
  Put(L"KByteRate", Long(1000));  // about two seconds for 2.1 MB
  const long before = receiver.Count();

  bool visible = false;
  std::wstring midCount, lastCount, lastTransfer;
  int midBar = -1, lastBar = -1, panelText = 0, panelInk = 0, panelBlue = 0, elapsedElsewhere = -1, elapsedInk = 0;
  std::uint32_t faceTop = 0, faceBottom = 0;
  std::wstring stopName;
  AccessibleNode counter, stopNode, pressedNode;
  HWND shown = nullptr;
  WinEventWatch events;
  PostRun run = Post(true, [&](HWND dialog) {
    if (!dialog) return;
    shown = dialog;
    visible = IsWindowVisible(dialog) != FALSE;
    WaitUntil([&] { return BarPosition(dialog, kBar) >= 30; });
    Sleep(600);  // the labels follow within a half second
    midBar = BarPosition(dialog, kBar);
    midCount = ItemText(dialog, kFileCountLabel);
    Picture shot = CaptureClient(dialog);
    shot.SaveBmp(L"post_dialog.bmp");
    if (shot.Width > 300 && shot.Height > 60) {
      panelText = shot.DarkPixels(6, 50, 150, 64);   // the file counter in Korean
      panelInk = shot.DarkPixels(200, 0, 327, 30, 160);  // LOADING
      const std::uint32_t sky = shot.At(260, 100);
      panelBlue = ((sky & 255) > ((sky >> 16) & 255)) ? 1 : 0;  // more blue than red
      // The elapsed time from row 150 of the panel, or just below the bar
      // where the font put the bar lower, and nowhere else under the bar.
      RECT bar, stopButton;
      GetWindowRect(GetDlgItem(dialog, kBar), &bar);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bar), 2);
      GetWindowRect(GetDlgItem(dialog, kStop), &stopButton);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&stopButton), 2);
      const int top = std::max<int>(150, bar.bottom + 2);
      elapsedElsewhere = shot.DarkPixels(6, bar.bottom + 1, 150, top) + shot.DarkPixels(6, top + 14, 150, stopButton.top);
      elapsedInk = shot.DarkPixels(6, top, 150, top + 14);
    }
    RECT stop;
    GetWindowRect(GetDlgItem(dialog, kStop), &stop);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&stop), 2);
    stopName = AccessibleName(GetDlgItem(dialog, kStop));  // owner drawing hides no name
    // The walk a screen reader makes: the painted counter, the buttons as
    // push buttons, Stop focused, and pressed while Space holds it down.
    counter = NodeNamed(AccessibleWalk(dialog), L"\uD30C\uC77C\uC218");
    // Other programs' dialogs coming up on the same display take the
    // foreground; brought back, the dialog gives the focus back to the
    // button that had it, so Stop must still be the one.
    for (int attempt = 0; attempt < 5; ++attempt) {
      stopNode = NodeNamed(AccessibleWalk(dialog), L"Stop");
      if (stopNode.State & STATE_SYSTEM_FOCUSED) break;
      SetForegroundWindow(dialog);
      Sleep(150);
    }
    SendMessageW(GetDlgItem(dialog, kStop), BM_SETSTATE, TRUE, 0);
    pressedNode = NodeNamed(AccessibleWalk(dialog), L"Stop");
    SendMessageW(GetDlgItem(dialog, kStop), BM_SETSTATE, FALSE, 0);
    if (stop.bottom - 5 < shot.Height) {
      faceTop = shot.At(stop.left + 4, stop.top + 3);
      faceBottom = shot.At(stop.left + 4, stop.bottom - 4);
    }
    WaitUntil([&] { return BarPosition(dialog, kBar) == 100; });
    WaitUntil([&] { return ItemText(dialog, kTransferLabel).find(L"2145 KB / 2145 KB") != std::wstring::npos; }, 3000);
    lastBar = BarPosition(dialog, kBar);
    lastCount = ItemText(dialog, kFileCountLabel);
    lastTransfer = ItemText(dialog, kTransferLabel);
  });

  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_EQ(run.Result, kReply);
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  EXPECT_TRUE(visible);
  EXPECT_GT(midBar, 0);
  EXPECT_LT(midBar, 100);
  EXPECT_EQ(midCount, L"\uD30C\uC77C\uC218 :  1 / 2 \uAC1C");  // 파일수 :  1 / 2 개
  EXPECT_EQ(lastBar, 100);
  EXPECT_EQ(lastCount, L"\uD30C\uC77C\uC218 :  1 / 2 \uAC1C");
  EXPECT_EQ(lastTransfer, L"2145 KB / 2145 KB");
  EXPECT_GT(panelText, 20) << "no text painted on the panel (see post_dialog.bmp)";
  EXPECT_GT(panelInk, 20) << "the panel bitmap is not shown";
  EXPECT_EQ(panelBlue, 1);
  EXPECT_EQ(elapsedElsewhere, 0) << "ink under the bar outside the elapsed time's rows (see post_dialog.bmp)";
  EXPECT_GT(elapsedInk, 20) << "no elapsed time at row 150 or just below the bar (see post_dialog.bmp)";
  EXPECT_NE(faceTop, faceBottom) << "the Stop button's face has no gradient";
  EXPECT_EQ(stopName, L"Stop");
  EXPECT_EQ(counter.Name, midCount);
  EXPECT_EQ(counter.Role, ROLE_SYSTEM_STATICTEXT) << "the painted counter is not shown to screen readers";
  EXPECT_EQ(stopNode.Role, ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(stopNode.State & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_PRESSED), STATE_SYSTEM_FOCUSED);
  EXPECT_NE(pressedNode.State & STATE_SYSTEM_PRESSED, 0);
  // A screen reader heard the panel's texts change, each once per change
  // and read from the panel itself, the bar move with them (not at each of
  // its steps), and the end of the post.
  std::vector<std::wstring> heard;
  for (const auto& e : events.Of(EVENT_OBJECT_NAMECHANGE))
    if (e.Window == shown) heard.push_back(e.Name);
  const std::wstring total = L"\uCD1D\uC6A9\uB7C9 : 2145 KB";  // 총용량
  EXPECT_EQ(std::count(heard.begin(), heard.end(), total), 1) << "the total was not read out, or again unchanged";
  EXPECT_EQ(std::count(heard.begin(), heard.end(), lastCount), 1);
  const std::size_t barMoves = events.Of(EVENT_OBJECT_VALUECHANGE, kBar).size();
  EXPECT_GE(barMoves, 1u);
  EXPECT_LE(barMoves, 12u) << "the bar was announced at each of its steps";
  const auto ended = events.Of(EVENT_SYSTEM_ALERT);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].Text, kStatusTitle);
  // The rate limit: 2 145 KB at 1 000 KB/s take at least 2.1 s.
  EXPECT_GE(run.Seconds, 2.0);
  // One request, every byte in place.
  ASSERT_EQ(receiver.Count(), before + 1);
  EXPECT_TRUE(Arrived(before + 1, first));
  EXPECT_TRUE(Arrived(before + 1, second));
  std::string account = receiver.Account(before + 1);
  EXPECT_NE(account.find("\"who\""), std::string::npos);
  EXPECT_NE(account.find("old.doc"), std::string::npos);
}

TEST_F(PostDialog, HiddenPostSendsTheSameBytesAndEmptyUrlIsRefusedFirst) {
  const std::string bytes = PatternBytes(300000, 7);
  Add(MakePatternFile(folder.Path() + L"quiet.bin", 300000, 7));
  const long before = receiver.Count();

  // No destination: refused before any request, no dialog left behind.
  PostRun refused = Post(true);
  ASSERT_EQ(refused.Hr, S_OK);
  EXPECT_EQ(refused.Result, L"");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E01001");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
  EXPECT_EQ(receiver.Count(), before);

  // The page's own timer, every 10 ms on the page's thread, looks at the
  // hidden dialog and calls Post again, as a page may while one runs; a
  // hook sees a show even inside the making of the window, where no timer runs.
  Put(L"URL", Text(url.c_str()));
  HiddenWatch watch;
  watch.Control = &control;
  g_watch = &watch;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &SeeShows, nullptr, GetCurrentThreadId());
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, &WatchTick);
  PostRun run = Post(false);
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(hook);
  g_watch = nullptr;
  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_EQ(run.Result, L"OK");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200) << "a refused Post took the running post's reply";
  EXPECT_FALSE(watch.EverVisible);
  EXPECT_FALSE(watch.ShowSeen) << "the hidden dialog was shown for a moment";
  EXPECT_EQ(watch.Bar, 0);
  // Each post called into the running one was refused, returned nothing and
  // said why; that refusal, not the first one, is what the pair holds.
  EXPECT_GT(watch.Nested, 3);
  EXPECT_EQ(watch.NestedResults, L"");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E01008");
  ASSERT_EQ(receiver.Count(), before + 1);
  EXPECT_TRUE(Arrived(before + 1, bytes));
}

TEST_F(PostDialog, StopHoldsTheBodyResumeFinishesItAndEscChangesNothing) {
  const std::uint32_t size = 6 << 20;
  const std::string bytes = PatternBytes(size, 3);
  Add(MakePatternFile(folder.Path() + L"held.bin", size, 3));
  Put(L"URL", Text(url.c_str()));
  Put(L"KByteRate", Long(2000));  // about three seconds
  const long before = receiver.Count();
  const long long bytesBefore = receiver.BodyBytes();

  std::wstring pausedCaption, resumedCaption;
  long long heldFrom = -1, heldTo = -2;
  bool aliveAfterEsc = false;
  PostRun run = Post(true, [&](HWND dialog) {
    if (!dialog) return;
    WaitUntil([&] { return BarPosition(dialog, kBar) >= 10; });
    Click(dialog, kStop);
    WaitUntil([&] { return ItemText(dialog, kStop) == L"Resume"; });
    pausedCaption = ItemText(dialog, kStop);
    Sleep(800);  // what was under way drains
    heldFrom = receiver.BodyBytes() - bytesBefore;
    Sleep(1500);
    heldTo = receiver.BodyBytes() - bytesBefore;
    PressEscape(dialog);
    Sleep(300);
    aliveAfterEsc = IsWindow(dialog) && IsWindowVisible(dialog);
    Click(dialog, kStop);
    WaitUntil([&] { return ItemText(dialog, kStop) == L"Stop"; });
    resumedCaption = ItemText(dialog, kStop);
  });
  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_EQ(pausedCaption, L"Resume");
  EXPECT_EQ(resumedCaption, L"Stop");
  EXPECT_EQ(heldFrom, heldTo) << "bytes arrived while stopped";
  EXPECT_GT(heldFrom, 0);
  EXPECT_LT(heldFrom, static_cast<long long>(size));
  EXPECT_TRUE(aliveAfterEsc);
  EXPECT_EQ(run.Result, L"OK");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  ASSERT_EQ(receiver.Count(), before + 1);
  EXPECT_TRUE(Arrived(before + 1, bytes));
}

TEST_F(PostDialog, AfterTheLastByteCancelWaitsForTheReplyWhichHasALimit) {
  Add(MakePatternFile(folder.Path() + L"small.bin", 50000, 9));
  Put(L"URL", Text(url.c_str()));
  receiver.Rule("delay=2&body=late");
  bool stayed = false;
  PostRun run = Post(true, [&](HWND dialog) {
    if (!dialog) return;
    WaitUntil([&] { return BarPosition(dialog, kBar) == 100; });
    Click(dialog, kCancel);
    PressCloseBox(dialog);
    Sleep(700);
    stayed = IsWindow(dialog) != FALSE;
  });
  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(run.Result, L"late");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);

  // A server that never answers is given up after the reply limit.
  SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", L"2");
  receiver.Rule("delay=60");
  PostRun silent = Post(true);
  SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", nullptr);
  ASSERT_EQ(silent.Hr, S_OK);
  EXPECT_EQ(silent.Result, L"");
  EXPECT_LT(silent.Seconds, 20.0);
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04010");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
}

TEST_F(PostDialog, TransferFailureLeavesItsCodeAndText) {
  const std::wstring closed = L"http://127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()) + L"/x";
  Add(MakePatternFile(folder.Path() + L"f.bin", 1000, 1));
  Put(L"URL", Text(closed.c_str()));
  PostRun run = Post(true);
  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_EQ(run.Result, L"");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04006");
  EXPECT_EQ(control.GetText(L"ErrorDescription"), L"Request \uC804\uC1A1 \uC911 \uC624\uB958\uAC00 \uBC1C\uC0DD\uD588\uC2B5\uB2C8\uB2E4.");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
}

// Last, as a guard: a cancelled body on a kept connection once reached the
// next request of the process through Wine's pool (posts now close theirs).
// A page's timer, run by the dialog's modal loop on the page's thread.
std::function<void()> pageTick;
void CALLBACK PageTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (pageTick) pageTick();
}

TEST_F(PostDialog, CancelCutsTheBodyAndReleasesThePost) {
  Add(folder.MakeFile(L"long.bin", 32 << 20));
  Put(L"URL", Text(url.c_str()));
  Put(L"KByteRate", Long(4000));  // eight seconds if nobody cancels
  const long before = receiver.Count();
  const long long bytesBefore = receiver.BodyBytes();
  // Midway the page lowers the limit; the post slows down at once.
  std::atomic<bool> lower{false};
  pageTick = [&] {
    if (lower.exchange(false)) Put(L"KByteRate", Long(100));
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, PageTimer);
  long long slowBytes = -1;
  PostRun run = Post(true, [&](HWND dialog) {
    if (!dialog) return;
    WaitUntil([&] { return BarPosition(dialog, kBar) >= 5; });
    lower = true;
    WaitUntil([&] { return !lower; });
    Sleep(500);  // what was under way drains
    const long long from = receiver.BodyBytes();
    Sleep(1500);
    slowBytes = receiver.BodyBytes() - from;
    Click(dialog, kCancel);
  });
  KillTimer(nullptr, timer);
  pageTick = nullptr;
  EXPECT_GE(slowBytes, 0);
  EXPECT_LT(slowBytes, 1 << 20) << "the lowered limit (100 KB/s) did not take effect";
  ASSERT_EQ(run.Hr, S_OK);
  EXPECT_EQ(run.Result, L"");
  EXPECT_LT(run.Seconds, 7.0);
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"I04001");
  EXPECT_EQ(control.GetText(L"ErrorDescription"), kCancelledText);
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
  // Nothing more of the cancelled body arrives, and it stopped short.
  const long long cut = receiver.BodyBytes() - bytesBefore;
  Sleep(1000);
  EXPECT_EQ(receiver.BodyBytes() - bytesBefore, cut);
  EXPECT_LT(cut, 32ll << 20);
  EXPECT_EQ(receiver.Count(), before + 1);
  // The post was released: the control is not busy (E01008) any more.
  control.Call(L"PostMessage");
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E01009");
}

}  // namespace
}  // namespace zt::test
