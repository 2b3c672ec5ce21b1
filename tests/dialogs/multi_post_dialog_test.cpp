// OpenPostDialog through IDispatch: the multi-file dialog driven from a test
// thread (rows, states, bars, Start, Pause, Cancel, Esc, the error box)
// against the loopback receiver.
#include <winsock2.h>
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "control_client.h"
#include "dialog_driver.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kServer = 221, kPort = 208, kList = 213, kStart = 222, kPause = 218, kCancel = 217;
constexpr int kOverallBar = 214, kFileBar = 215;
const wchar_t kWaiting[] = L"\uB300\uAE30", kDone[] = L"\uC644\uB8CC", kFailed[] = L"\uC2E4\uD328";
const wchar_t kResending[] = L"\uC7AC\uC804\uC1A1";
const wchar_t kErrorTitle[] = L"\uC624\uB958";
const wchar_t kFieldsRefused[] = L"\uBA54\uC2DC\uC9C0 \uC804\uC1A1 \uC911 \uC624\uB958\uAC00 \uBC1C\uC0DD\uD588\uC2B5\uB2C8\uB2E4.";

class MultiPostDialog : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "run through with_receiver.sh";
    receiver.Reset();
    url = L"http://127.0.0.1:" + std::to_wstring(receiver.Port()) + L"/multi/recv.asp";
    ASSERT_EQ(control.Put(L"URL", Text(url.c_str())).Hr, S_OK);
  }
  void Add(const std::wstring& path) { ASSERT_EQ(control.Call(L"AddLocalFile", {Text(path.c_str())}).Hr, S_OK); }
  void AddServer(const wchar_t* path) { ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(path)}).Hr, S_OK); }

  // OpenPostDialog on this thread while driver plays the person; false when
  // the call failed.
  bool Open(const std::function<void(HWND)>& driver) {
    std::thread person([&] { driver(FindDialog(kStatusTitle)); });
    CallResult r = control.Call(L"OpenPostDialog");
    person.join();
    return r.Hr == S_OK;
  }

  std::wstring FileOf(long request) {
    // The file part's name as the receiver's account shows it.
    std::string a = receiver.Account(request);
    auto at = a.find("\"filename\": \"");
    if (at == std::string::npos) return L"";
    at += 13;
    std::string name = a.substr(at, a.find('"', at) - at);
    return std::wstring(name.begin(), name.end());
  }

  ReceiverClient receiver;
  ControlClient control;
  TempFolder folder;
  std::wstring url;
};

TEST_F(MultiPostDialog, SendsEachLocalFileInItsOwnRequestWithItsState) {
  AddServer(L"/srv/before.doc");
  Add(MakePatternFile(folder.Path() + L"a.bin", 70000, 1));
  AddServer(L"/srv/between.doc");
  Add(MakePatternFile(folder.Path() + L"b.bin", 200000, 2));
  const std::wstring gone = MakePatternFile(folder.Path() + L"gone.bin", 5000, 3);
  Add(gone);
  AddServer(L"/srv/after.doc");
  ASSERT_EQ(control.Call(L"AddMessage", {Text(L"who"), Text(L"kim")}).Hr, S_OK);
  ASSERT_TRUE(DeleteFileW(gone.c_str()));  // vanishes before its turn
  const long before = receiver.Count();

  std::vector<std::vector<std::wstring>> listed, finished;
  std::vector<std::vector<std::wstring>> retried;
  std::wstring server, port, closeCaption, startCaption;
  std::vector<std::wstring> labels;
  std::vector<AccessibleNode> walk;  // before the run, as a screen reader finds it
  WinEventWatch events;
  bool retryOffered = true;
  bool startEnabled = true, pauseEnabled = true, closeEnabled = false;
  int overall = -1, fileBar = -1;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    listed = ListRows(GetDlgItem(dialog, kList), 4);
    labels = StaticTexts(dialog);
    server = ItemText(dialog, kServer);
    port = ItemText(dialog, kPort);
    walk = AccessibleWalk(dialog);
    Click(dialog, kStart);
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; });
    closeCaption = ItemText(dialog, kCancel);
    finished = ListRows(GetDlgItem(dialog, kList), 4);
    startEnabled = ItemEnabled(dialog, kStart);
    pauseEnabled = ItemEnabled(dialog, kPause);
    closeEnabled = ItemEnabled(dialog, kCancel);
    overall = BarPosition(dialog, kOverallBar);
    fileBar = BarPosition(dialog, kFileBar);
    startCaption = ItemText(dialog, kStart);
    // The file is back: the retry sends it alone.
    MakePatternFile(gone, 5000, 3);
    Click(dialog, kStart);
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Cancel"; }, 5000);
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; });
    retried = ListRows(GetDlgItem(dialog, kList), 4);
    retryOffered = ItemEnabled(dialog, kStart);
    Click(dialog, kCancel);
  }));

  ASSERT_EQ(listed.size(), 3u);  // local files only
  EXPECT_EQ(listed[0][0], L"a.bin");
  EXPECT_EQ(listed[0][1], folder.Path() + L"a.bin");
  EXPECT_EQ(listed[0][2], L"68 Kb");
  EXPECT_EQ(listed[1][3], kWaiting);
  EXPECT_EQ(server, L"\uC11C\uBC84 URL : 127.0.0.1/multi/recv.asp");
  // No label reads out a placeholder before the run starts.
  EXPECT_EQ(std::count(labels.begin(), labels.end(), L"Static"), 0);
  EXPECT_EQ(NodeNamed(walk, L"\uC11C\uBC84 URL").Name, server);
  EXPECT_EQ(NodeNamed(walk, L"Start").State & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_NE(NodeNamed(walk, L"Pause").State & STATE_SYSTEM_UNAVAILABLE, 0) << "Pause read as available before a run";
  // Announced: the rows' new states, the labels, the bars, both ends (the run and the retry).
  EXPECT_GE(events.Of(EVENT_OBJECT_NAMECHANGE, kList).size(), 5u);
  EXPECT_FALSE(events.Of(EVENT_OBJECT_VALUECHANGE, kOverallBar).empty());
  EXPECT_FALSE(events.Of(EVENT_OBJECT_NAMECHANGE, 219).empty()) << "the overall amount";
  EXPECT_EQ(events.Of(EVENT_SYSTEM_ALERT).size(), 2u);
  EXPECT_EQ(port, L"\uD3EC\uD2B8 \uBC88\uD638 : " + std::to_wstring(receiver.Port()));
  ASSERT_EQ(finished.size(), 3u);
  EXPECT_EQ(finished[0][3], kDone);
  EXPECT_EQ(finished[1][3], kDone);
  EXPECT_EQ(finished[2][3], kFailed);  // never arrived, so never "done"
  EXPECT_EQ(closeCaption, L"Close");
  EXPECT_TRUE(startEnabled);  // offered again for the failed file
  EXPECT_EQ(startCaption, L"\uC7AC\uC2DC\uB3C4");  // "재시도"
  ASSERT_EQ(retried.size(), 3u);
  for (const auto& row : retried) EXPECT_EQ(row[3], kDone) << row[0];
  EXPECT_FALSE(retryOffered);  // nothing failed the second time
  EXPECT_FALSE(pauseEnabled);
  EXPECT_TRUE(closeEnabled);
  EXPECT_EQ(overall, 100);
  EXPECT_EQ(fileBar, 0);  // the last file was gone: nothing of it was sent
  // The fields alone first, then one request per file that exists.
  ASSERT_EQ(receiver.Count(), before + 4);
  EXPECT_EQ(FileOf(before + 4), L"gone.bin");  // the retry: that file alone
  EXPECT_TRUE(receiver.Raw(before + 4).find("\r\n\r\n" + PatternBytes(5000, 3) + "\r\n--") != std::string::npos);
  std::string fields = receiver.Account(before + 1);
  EXPECT_NE(fields.find("\"who\""), std::string::npos);
  EXPECT_EQ(fields.find("\"filename\": \""), std::string::npos);
  EXPECT_EQ(FileOf(before + 2), L"a.bin");
  EXPECT_EQ(FileOf(before + 3), L"b.bin");
  EXPECT_EQ(receiver.Account(before + 2).find("\"who\""), std::string::npos);
  std::string raw = receiver.Raw(before + 3);
  EXPECT_NE(raw.find("\r\n\r\n" + PatternBytes(200000, 2) + "\r\n--"), std::string::npos);
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), -1);
}

TEST_F(MultiPostDialog, RefusedFieldsStopTheRunAndServerEntriesAloneFinishAtOnce) {
  Add(MakePatternFile(folder.Path() + L"kept.bin", 1000, 4));
  ASSERT_EQ(control.Call(L"AddMessage", {Text(L"who"), Text(L"kim")}).Hr, S_OK);
  receiver.Rule("status=500");
  const long before = receiver.Count();
  std::wstring boxText;
  bool startStillEnabled = false, endedByEsc = false;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    HWND box = FindDialog(kErrorTitle);
    if (box) {
      boxText = TextOf(GetDlgItem(box, 0xFFFF));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      WaitGone(box);
    }
    startStillEnabled = ItemEnabled(dialog, kStart);
    PressEscape(dialog);
    endedByEsc = WaitGone(dialog, 5000);
  }));
  EXPECT_EQ(boxText, kFieldsRefused);
  EXPECT_TRUE(startStillEnabled);
  EXPECT_TRUE(endedByEsc);
  EXPECT_EQ(receiver.Count(), before + 1);  // the fields, and no file
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E04007");
  EXPECT_EQ(control.GetText(L"ErrorDescription"), kFieldsRefused);

  // Refused before sending: the refusal's own code and text, in the box too.
  ASSERT_EQ(control.Put(L"URL", Text(L"")).Hr, S_OK);
  boxText.clear();
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    if (HWND box = FindDialog(kErrorTitle)) {
      boxText = TextOf(GetDlgItem(box, 0xFFFF));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      WaitGone(box);
    }
    PressEscape(dialog);
    WaitGone(dialog, 5000);
  }));
  const std::wstring noDestination = L"\uC804\uC1A1 \uB300\uC0C1 \uD638\uC2A4\uD2B8\uBA85\uACFC \uC704\uCE58\uB97C "
                                     L"\uC124\uC815\uD558\uC9C0 \uC54A\uC558\uC2B5\uB2C8\uB2E4.";
  EXPECT_EQ(control.GetText(L"ErrorCode"), L"E01001");
  EXPECT_EQ(control.GetText(L"ErrorDescription"), noDestination);
  EXPECT_EQ(boxText, noDestination);
  EXPECT_EQ(receiver.Count(), before + 1);

  // Only server entries: nothing to send, the way out is there at once.
  ControlClient serverOnly;
  ASSERT_EQ(serverOnly.Put(L"URL", Text(url.c_str())).Hr, S_OK);
  ASSERT_EQ(serverOnly.Call(L"AddVirtualFile", {Text(L"/srv/x.doc")}).Hr, S_OK);
  std::size_t rows = 99;
  bool closable = false;
  std::thread person([&] {
    HWND dialog = FindDialog(kStatusTitle);
    if (!dialog) return;
    rows = ListRows(GetDlgItem(dialog, kList), 4).size();
    Click(dialog, kStart);
    closable = WaitUntil([&] { return ItemEnabled(dialog, kCancel) && ItemText(dialog, kCancel) == L"Close"; }, 5000);
    Click(dialog, kCancel);
  });
  EXPECT_EQ(serverOnly.Call(L"OpenPostDialog").Hr, S_OK);
  person.join();
  EXPECT_EQ(rows, 0u);
  EXPECT_TRUE(closable);
  EXPECT_EQ(receiver.Count(), before + 1);
}

// A page's timer, run by the dialog's modal loop on the page's thread.
std::function<void()> pageTick;
void CALLBACK PageTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (pageTick) pageTick();
}

TEST_F(MultiPostDialog, APageEditingTheListMidRunChangesNothingTheRowsShow) {
  for (const wchar_t* name : {L"a.bin", L"b.bin", L"c.bin"}) Add(folder.MakeFile(name, 3000));
  const std::wstring other = folder.MakeFile(L"x.bin", 3000);
  receiver.Rule("delay=0.6");  // the first file is still on its way when the page acts
  const long before = receiver.Count();
  // The page also points elsewhere: once the window shows (taken, but the
  // window keeps what it showed) and while files go (refused).
  const wchar_t elsewhere[] = L"http://127.0.0.1:1/other/recv.asp";
  std::atomic<bool> shown{false}, moved{false}, started{false};
  bool edited = false;
  HRESULT moveBeforeStart = E_FAIL, moveWhileSending = S_OK, credentialsWhileSending = S_OK;
  std::wstring codeWhileSending;
  pageTick = [&] {
    if (shown && !moved) {
      moveBeforeStart = control.Put(L"URL", Text(elsewhere)).Hr;
      moved = true;
    }
    if (!started || edited) return;
    edited = true;
    control.Call(L"DeleteFile2", {Text(L"b.bin")});
    control.Call(L"AddLocalFile", {Text(other.c_str())});
    moveWhileSending = control.Put(L"Port", Long(1)).Hr;
    codeWhileSending = control.GetText(L"ErrorCode");
    credentialsWhileSending = control.Put(L"UserName", Text(L"intruder")).Hr;
    control.Put(L"URL", Text(elsewhere));
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, PageTimer);
  std::vector<std::vector<std::wstring>> rows;
  std::wstring server;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    shown = true;
    WaitUntil([&] { return moved.load(); });
    server = ItemText(dialog, kServer);
    Click(dialog, kStart);
    started = true;
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; });
    rows = ListRows(GetDlgItem(dialog, kList), 4);
    Click(dialog, kCancel);
  }));
  KillTimer(nullptr, timer);
  pageTick = nullptr;
  EXPECT_TRUE(edited);
  EXPECT_EQ(moveBeforeStart, S_OK);
  EXPECT_NE(server.find(L"/multi/recv.asp"), std::wstring::npos);
  EXPECT_TRUE(FAILED(moveWhileSending) && FAILED(credentialsWhileSending)) << "a page moved a running post";
  EXPECT_EQ(codeWhileSending, L"E01008");
  EXPECT_EQ(control.GetText(L"UserName"), L"");
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) EXPECT_EQ(row[3], kDone) << row[0];
  ASSERT_EQ(receiver.Count(), before + 3);
  EXPECT_EQ(FileOf(before + 1), L"a.bin");
  EXPECT_EQ(FileOf(before + 2), L"b.bin");  // deleted by the page, still the row the person approved
  EXPECT_EQ(FileOf(before + 3), L"c.bin");
  EXPECT_EQ(control.GetLong(L"FileCount"), 3);  // the page's own edit stands in the list
}

// Last, as a guard: a cancelled body on a kept connection once reached the
// next request of the process through Wine's pool (posts now close theirs).
TEST_F(MultiPostDialog, PauseHoldsTheBodyAndCancelStopsEveryFurtherRequest) {
  Add(folder.MakeFile(L"one.bin", 8 << 20));
  Add(folder.MakeFile(L"two.bin", 8 << 20));
  ASSERT_EQ(control.Put(L"KByteRate", Long(2000)).Hr, S_OK);
  const long before = receiver.Count();
  const long long bytesBefore = receiver.BodyBytes();
  long long heldFrom = -1, heldTo = -2;
  bool cancelWhileRunning = true, cancelWhilePaused = false;
  std::wstring pausedCaption;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    WaitUntil([&] { return BarPosition(dialog, kFileBar) >= 10; });
    cancelWhileRunning = ItemEnabled(dialog, kCancel);
    Click(dialog, kPause);
    WaitUntil([&] { return ItemText(dialog, kPause) == L"Resume"; });
    pausedCaption = ItemText(dialog, kPause);
    cancelWhilePaused = ItemEnabled(dialog, kCancel);
    Sleep(800);
    heldFrom = receiver.BodyBytes() - bytesBefore;
    Sleep(1200);
    heldTo = receiver.BodyBytes() - bytesBefore;
    Click(dialog, kPause);  // resume
    WaitUntil([&] { return ItemText(dialog, kPause) == L"Pause"; });
    Sleep(300);
    Click(dialog, kPause);
    WaitUntil([&] { return ItemEnabled(dialog, kCancel); });
    Click(dialog, kCancel);
    WaitGone(dialog, 10000);
  }));
  EXPECT_FALSE(cancelWhileRunning);
  EXPECT_EQ(pausedCaption, L"Resume");
  EXPECT_TRUE(cancelWhilePaused);
  EXPECT_EQ(heldFrom, heldTo) << "bytes arrived while paused";
  EXPECT_GT(heldFrom, 0);
  Sleep(1500);
  EXPECT_EQ(receiver.Count(), before + 1) << "a file was sent after Cancel";
  EXPECT_LT(receiver.BodyBytes() - bytesBefore, 8ll << 20);
}

// ParallelCount: that many requests at once, the next file waiting for a
// free lane; each file still alone in its own request, whole, once.
TEST_F(MultiPostDialog, ParallelCountSendsThatManyAtOnceAndEachFileOnce) {
  EXPECT_EQ(control.GetLong(L"ParallelCount"), 1);
  ASSERT_EQ(control.Put(L"ParallelCount", Long(3)).Hr, S_OK);
  std::set<std::wstring> names;
  for (int i = 0; i < 5; ++i) {
    names.insert(L"p" + std::to_wstring(i) + L".bin");
    Add(MakePatternFile(folder.Path() + *names.rbegin(), 30000 + i, 10 + i));
  }
  for (int i = 0; i < 3; ++i) receiver.Rule("delay=4");  // the first three are answered slowly
  const long before = receiver.Count();
  long atOnce = -1;
  std::vector<std::vector<std::wstring>> finished;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    WaitUntil([&] { return receiver.Count() - before >= 3; });
    Sleep(1000);
    atOnce = receiver.Count() - before;
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; }, 30000);
    finished = ListRows(GetDlgItem(dialog, kList), 4);
    Click(dialog, kCancel);
  }));
  EXPECT_EQ(atOnce, 3);
  ASSERT_EQ(finished.size(), 5u);
  for (const auto& row : finished) EXPECT_EQ(row[3], kDone) << row[0];
  ASSERT_EQ(receiver.Count(), before + 5);
  std::set<std::wstring> sent;
  for (long r = before + 1; r <= before + 5; ++r) sent.insert(FileOf(r));
  EXPECT_EQ(sent, names);
  for (long r = before + 1; r <= before + 5; ++r) {
    const int i = FileOf(r)[1] - L'0';
    EXPECT_NE(receiver.Raw(r).find("\r\n\r\n" + PatternBytes(30000 + i, 10 + i) + "\r\n--"), std::string::npos) << i;
  }
}

// RetryCount: a 5xx goes again by itself after a pause that Pause holds and
// Esc ends; a 4xx and a vanished file fail at once; spent retries fail.
TEST_F(MultiPostDialog, RetriesWhatAnotherTryCanCureAndNothingElse) {
  EXPECT_EQ(control.GetLong(L"RetryCount"), 0);
  ASSERT_EQ(control.Put(L"RetryCount", Long(2)).Hr, S_OK);
  for (const wchar_t* name : {L"busy.bin", L"refused.bin", L"down.bin", L"gone.bin"})
    Add(MakePatternFile(folder.Path() + name, 3000, 5));
  ASSERT_TRUE(DeleteFileW((folder.Path() + L"gone.bin").c_str()));
  for (const char* rule : {"status=503", "status=200", "status=404", "status=500", "status=502", "status=500"})
    receiver.Rule(rule);
  const long before = receiver.Count();
  auto firstState = [](HWND dialog) {
    auto rows = ListRows(GetDlgItem(dialog, kList), 4);
    return rows.empty() ? std::wstring() : rows[0][3];
  };
  std::wstring pausedState;
  long whilePaused = -1;
  std::vector<std::vector<std::wstring>> finished;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    WaitUntil([&] { return firstState(dialog) == kResending; }, 5000);
    Click(dialog, kPause);
    Sleep(1500);  // three times the first pause
    whilePaused = receiver.Count() - before;
    pausedState = firstState(dialog);
    Click(dialog, kPause);
    WaitUntil([&] { return ItemText(dialog, kCancel) == L"Close"; }, 20000);
    finished = ListRows(GetDlgItem(dialog, kList), 4);
    Click(dialog, kCancel);
  }));
  EXPECT_EQ(whilePaused, 1) << "the retry went while paused";
  EXPECT_EQ(pausedState, kResending);
  ASSERT_EQ(finished.size(), 4u);
  const wchar_t* states[] = {kDone, kFailed, kFailed, kFailed};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(finished[i][3], states[i]) << i;
  ASSERT_EQ(receiver.Count(), before + 6);  // busy twice, refused once, down three times, gone never
  EXPECT_EQ(FileOf(before + 2), L"busy.bin");
  EXPECT_EQ(FileOf(before + 6), L"down.bin");

  // Esc while a retry waits ends the window; nothing more is sent.
  receiver.Rule("status=503");
  bool ended = false;
  ASSERT_TRUE(Open([&](HWND dialog) {
    if (!dialog) return;
    Click(dialog, kStart);
    // Hiding a window can take Wine two seconds without a window manager.
    WaitUntil([&] { return firstState(dialog) == kResending; });
    PressEscape(dialog);
    ended = WaitGone(dialog, 10000);
  }));
  EXPECT_TRUE(ended);
  Sleep(1000);
  EXPECT_EQ(receiver.Count(), before + 7);
}

}  // namespace
}  // namespace zt::test
