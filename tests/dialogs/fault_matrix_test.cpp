// The fault matrix: every network, server and file fault against every way a
// page posts (PostFile, PostMessage, Post(true) with its dialog, and the
// multi-file dialog of OpenPostDialog), each against the loopback receiver.
// Whatever the fault, the call returns (the host lives), the user's list is
// as it was, no thread or temporary file is left behind, and the next post
// to the same server works. The outcome of each cell is printed as a table;
// docs/reliability.md keeps the same table.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "control_client.h"
#include "dialog_driver.h"
#include "process_figures.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

constexpr int kSingleBar = 1349, kSingleCancel = 206;
constexpr int kMultiList = 213, kMultiStart = 222, kMultiCancel = 217, kMultiBar = 214;
const wchar_t kErrorTitle[] = L"\uC624\uB958";
constexpr DWORD kReplyLimitSeconds = 4;

enum class Way { PostFile, PostMessage, PostDialog, MultiDialog };
const char* Name(Way way) {
  switch (way) {
    case Way::PostFile: return "PostFile";
    case Way::PostMessage: return "PostMessage";
    case Way::PostDialog: return "Post(true)";
    case Way::MultiDialog: return "OpenPostDialog";
  }
  return "?";
}

// What the file to send suffers after it was listed.
enum class FileFault { None, Deleted, Shortened, Locked };
// What the person does in a dialog.
enum class Person { Nothing, CancelAtOnce, CancelWhileSending, CancelAfterLastByte };

struct Fault {
  const char* Row;
  std::string Rule;          // receiver rule for every request ("" none); "queue:" a one-shot rule
  bool NothingListening = false;
  FileFault File = FileFault::None;
  Person Acts = Person::Nothing;
  bool DialogsOnly = false;  // rows a synchronous call has no way to meet
  int Utf8 = 1;
  // Error codes the synchronous calls and Post(true) may end with ("" none).
  std::set<std::wstring> Codes;
  long Status = -2;          // the ResponseStatusCode expected (-2: any)
  std::size_t TextLength = std::string::npos;  // the ResponseText length expected
  const wchar_t* TextHas = nullptr;            // a text the reply must hold
  // The call must end by then. A bound, not a speed: a reply read whole
  // costs CPU time, which a loaded machine stretches.
  double MostSeconds = kReplyLimitSeconds + 25.0;
};

long TempFileCount() {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((std::wstring(dir) + L"*").c_str(), &data);
  long count = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do ++count;
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return count;
}

std::string Narrow(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// The entries of the list as a script reads them back.
std::vector<std::wstring> ListOf(const ControlClient& c) {
  std::vector<std::wstring> rows;
  const long count = c.GetLong(L"FileCount");
  const long pos = c.GetLong(L"FilePos");
  for (long i = 0; i < count; ++i) {
    c.Put(L"FilePos", Long(i));
    rows.push_back(c.GetText(L"FileName") + L"|" + c.GetText(L"FilePath") + L"|" +
                   std::to_wstring(c.GetLong(L"FileSize")));
  }
  c.Put(L"FilePos", Long(pos));
  return rows;
}

struct Outcome {
  std::wstring Code;
  long Status = -1;
  std::size_t TextLength = 0;
  std::wstring Text;
  double Seconds = 0;
  bool ListKept = false, NextPostWorks = false;
  long ThreadsLeft = 0, HandlesGrown = 0, TempFilesLeft = 0;
};

class FaultMatrix : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", std::to_wstring(kReplyLimitSeconds).c_str());
    // A temporary folder of this process's own: other tests share the prefix's.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring own = std::wstring(temp) + L"zt-fault-matrix-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(own.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", own.c_str());
    SetEnvironmentVariableW(L"TEMP", own.c_str());
  }
  static void TearDownTestSuite() {
    SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", nullptr);
    PrintTable();
  }

  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "run through with_receiver.sh";
    receiver.Reset();
    base = L"http://127.0.0.1:" + std::to_wstring(receiver.Port());
  }

  // A control with two files and a server entry, and a message field.
  void Fill(ControlClient& c, int utf8) {
    file = MakePatternFile(folder.Path() + L"data.bin", 300000, 5);
    ASSERT_EQ(c.Call(L"AddLocalFile", {Text(file.c_str())}).Hr, S_OK);
    ASSERT_EQ(c.Call(L"AddLocalFile", {Text(MakePatternFile(folder.Path() + L"more.bin", 2000, 6).c_str())}).Hr, S_OK);
    ASSERT_EQ(c.Call(L"AddVirtualFileWithSize", {Text(L"/srv/kept.doc"), Text(L"77")}).Hr, S_OK);
    ASSERT_EQ(c.Call(L"AddMessage", {Text(L"who"), Text(L"kim")}).Hr, S_OK);
    ASSERT_EQ(c.Put(L"FilePos", Long(0)).Hr, S_OK);
    ASSERT_EQ(c.Put(L"UTF8", Long(utf8)).Hr, S_OK);
  }

  // Plays the person in a dialog: the cancel of the row, and whatever error
  // box the multi-file dialog raises dismissed.
  static void Drive(Way way, Person acts, HWND dialog) {
    if (!dialog) return;
    const bool multi = way == Way::MultiDialog;
    const int bar = multi ? kMultiBar : kSingleBar, cancel = multi ? kMultiCancel : kSingleCancel;
    if (multi) Click(dialog, kMultiStart);
    switch (acts) {
      case Person::CancelAtOnce:
        Click(dialog, cancel);
        break;
      case Person::CancelWhileSending:
        WaitUntil([&] { return BarPosition(dialog, bar) >= 3 || !IsWindow(dialog); });
        Click(dialog, cancel);
        break;
      case Person::CancelAfterLastByte:
        WaitUntil([&] { return BarPosition(dialog, bar) == 100 || !IsWindow(dialog); });
        Click(dialog, cancel);
        break;
      case Person::Nothing:
        break;
    }
    if (!multi) return;
    // The multi-file dialog stays until closed. A failure of its fields
    // raises a box and stops the run with Start enabled again.
    bool boxSeen = false;
    WaitUntil([&] {
      if (HWND box = FindDialog(kErrorTitle, 0)) {
        boxSeen = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitGone(box, 5000);
      }
      return !IsWindow(dialog) || ItemText(dialog, kMultiCancel) == L"Close" ||
             (boxSeen && ItemEnabled(dialog, kMultiStart));
    }, 60000);
    // Closed as a person would, again until it goes: on a loaded machine a
    // box may come up after the wait above, and then swallows the first try.
    while (IsWindow(dialog)) {
      if (HWND box = FindDialog(kErrorTitle, 0)) PostMessageW(box, WM_COMMAND, IDOK, 0);
      if (ItemText(dialog, kMultiCancel) == L"Close") Click(dialog, kMultiCancel);
      else PressEscape(dialog);
      WaitGone(dialog, 5000);
    }
  }

  static void Step(const char* name) {
    std::printf(" %s", name);
    std::fflush(stdout);
  }

  Outcome Run(const Fault& f, Way way) {
    Outcome o;
    ControlClient c;
    Fill(c, f.Utf8);
    const std::wstring url = f.NothingListening
                                 ? L"http://127.0.0.1:" + std::to_wstring(ClosedLoopbackPort()) + L"/matrix"
                                 : base + L"/matrix";
    c.Put(L"URL", Text(url.c_str()));
    if (f.Acts == Person::CancelWhileSending) c.Put(L"KByteRate", Long(100));  // three seconds a file
    const std::vector<std::wstring> listBefore = ListOf(c);
    Step("filled");
    const long threads = ThreadCount(), handles = HandleCount(), temps = TempFileCount();

    if (f.Rule.rfind("queue:", 0) == 0) {
      receiver.Rule(f.Rule.substr(6));
    } else if (!f.Rule.empty()) {
      receiver.Rule("default=1&" + f.Rule);
    }
    HANDLE locker = INVALID_HANDLE_VALUE;
    switch (f.File) {
      case FileFault::Deleted: DeleteFileW(file.c_str()); break;
      case FileFault::Shortened: MakePatternFile(file, 1000, 5); break;
      case FileFault::Locked:
        locker = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        break;
      case FileFault::None: break;
    }

    Step("ruled");
    std::atomic<bool> returned{false};
    std::thread person([&] {
      // Post(true) ends its dialog by itself unless the person acts. The
      // person waits for the dialog as long as the call runs: on a loaded
      // machine it may take longer to show than any fixed wait, and the
      // multi-file dialog, never started, would then wait forever.
      if (way == Way::PostDialog && f.Acts == Person::Nothing) return;
      if (way != Way::PostDialog && way != Way::MultiDialog) return;
      HWND dialog = nullptr;
      while (!dialog && !returned) dialog = FindDialog(kStatusTitle, 1000);
      Drive(way, f.Acts, dialog);
    });
    const ULONGLONG start = GetTickCount64();
    CallResult r = way == Way::PostFile      ? c.Call(L"PostFile")
                   : way == Way::PostMessage ? c.Call(L"PostMessage")
                   : way == Way::PostDialog  ? c.Call(L"Post", {Bool(true)})
                                             : c.Call(L"OpenPostDialog");
    o.Seconds = (GetTickCount64() - start) / 1000.0;
    Step("returned");
    returned = true;
    person.join();
    EXPECT_EQ(r.Hr, S_OK) << Narrow(r.Description());

    if (locker != INVALID_HANDLE_VALUE) CloseHandle(locker);
    receiver.Reset();
    MakePatternFile(file, 300000, 5);

    o.Code = c.GetText(L"ErrorCode");
    o.Status = c.GetLong(L"ResponseStatusCode");
    o.Text = c.GetText(L"ResponseText");
    o.TextLength = o.Text.size();
    o.ListKept = ListOf(c) == listBefore;
    Step("read");
    // The next post to the same server, in the same process, works.
    if (!f.NothingListening) {
      ControlClient next;
      next.Put(L"URL", Text(url.c_str()));
      next.Call(L"AddMessage", {Text(L"after"), Text(L"fault")});
      CallResult posted = next.Call(L"PostMessage");
      o.NextPostWorks = posted.Hr == S_OK && next.GetLong(L"ResponseStatusCode") == 200 && posted.Text() == L"OK";
    } else {
      o.NextPostWorks = true;
    }
    Step("next");
    // WinINet may keep one collector thread of its own: one more is allowed,
    // so waiting for fewer would only cost time.
    WaitUntil([&] { return ThreadCount() <= threads + 1; }, 5000);
    o.ThreadsLeft = ThreadCount() - threads;
    o.HandlesGrown = HandleCount() - handles;
    o.TempFilesLeft = TempFileCount() - temps;
    return o;
  }

  void Check(const Fault& f, Way way, const Outcome& o) {
    SCOPED_TRACE(std::string(f.Row) + " / " + Name(way));
    EXPECT_TRUE(o.ListKept) << "the list changed";
    EXPECT_TRUE(o.NextPostWorks) << "the next post to the same server failed";
    EXPECT_LE(o.ThreadsLeft, 1) << "threads left behind";
    EXPECT_EQ(o.TempFilesLeft, 0) << "temporary files left behind";
    EXPECT_LE(o.HandlesGrown, 16) << "handles left behind";
    EXPECT_LT(o.Seconds, f.MostSeconds) << "the call took too long";
    // The multi-file dialog marks failed files in its list; the error pair
    // speaks only for its fields request.
    if (way == Way::MultiDialog) return;
    if (!f.Codes.empty()) {
      EXPECT_TRUE(f.Codes.count(o.Code)) << "ErrorCode " << Narrow(o.Code);
    }
    if (f.Status != -2) {
      EXPECT_EQ(o.Status, f.Status);
    }
    if (f.TextLength != std::string::npos) {
      EXPECT_EQ(o.TextLength, f.TextLength);
    }
    if (f.TextHas) {
      EXPECT_NE(o.Text.find(f.TextHas), std::wstring::npos) << Narrow(o.Text.substr(0, 40));
    }
  }

  static void PrintTable() {
    std::printf("\nFault matrix (ErrorCode / ResponseStatusCode / reply characters / seconds):\n");
    std::printf("| %-34s | %-26s | %-26s | %-26s | %-26s |\n", "fault", "PostFile", "PostMessage", "Post(true)",
                "OpenPostDialog");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(28, '-').c_str(),
                std::string(28, '-').c_str(), std::string(28, '-').c_str(), std::string(28, '-').c_str());
    for (const auto& row : table) {
      std::printf("| %-34s |", row.first.c_str());
      for (Way way : {Way::PostFile, Way::PostMessage, Way::PostDialog, Way::MultiDialog}) {
        auto cell = row.second.find(way);
        if (cell == row.second.end()) {
          std::printf(" %-26s |", "n/a");
          continue;
        }
        const Outcome& o = cell->second;
        char text[64];
        std::snprintf(text, sizeof(text), "%s / %ld / %zu / %.1f", o.Code.empty() ? "-" : Narrow(o.Code).c_str(),
                      o.Status, o.TextLength, o.Seconds);
        std::printf(" %-26s |", text);
      }
      std::printf("\n");
    }
    std::fflush(stdout);
  }

  // ZT_MATRIX_ROWS=text runs only the rows whose name holds text.
  void RunRows(const std::vector<Fault>& faults) {
    const char* only = std::getenv("ZT_MATRIX_ROWS");
    for (const Fault& f : faults) {
      if (only && !std::strstr(f.Row, only)) continue;
      for (Way way : {Way::PostFile, Way::PostMessage, Way::PostDialog, Way::MultiDialog}) {
        if (f.DialogsOnly && (way == Way::PostFile || way == Way::PostMessage)) continue;
        if (f.File != FileFault::None && way == Way::PostMessage) continue;  // sends no file
        // Named as it starts and marked at each step, so a cell that hangs
        // shows in the output where it stopped.
        std::printf("cell: %s / %s:", f.Row, Name(way));
        std::fflush(stdout);
        const Outcome o = Run(f, way);
        std::printf(" done\n");
        Check(f, way, o);
        if (table.empty() || table.back().first != f.Row) table.emplace_back(f.Row, std::map<Way, Outcome>());
        table.back().second[way] = o;
      }
    }
  }

  static std::vector<std::pair<std::string, std::map<Way, Outcome>>> table;
  ReceiverClient receiver;
  TempFolder folder;
  std::wstring base, file;
};

std::vector<std::pair<std::string, std::map<Way, Outcome>>> FaultMatrix::table;

const std::wstring kNoCode;

TEST_F(FaultMatrix, ConnectionFaults) {
  RunRows({
      {"nothing listening", "", true, FileFault::None, Person::Nothing, false, 1, {L"E04006"}, -1, 0},
      // Fails at the step it reached; or, should WinINet send it again on a
      // new connection, arrives whole.
      {"connection reset mid-header", "queue:reset_head=1", false, FileFault::None, Person::Nothing, false, 1,
       {kNoCode, L"E04006", L"E04007", L"E04008", L"E04010"}},
      // The rest of a 300 kB body may still fit the socket's buffers, so the
      // drop shows only when the status line is awaited (E04010).
      {"connection reset mid-body", "close_after=150000", false, FileFault::None, Person::Nothing, false, 1,
       {L"E04007", L"E04008", L"E04009", L"E04010", kNoCode}, -2},
      {"closed after the body, no status", "hangup=1", false, FileFault::None, Person::Nothing, false, 1,
       {L"E04009", L"E04010"}, -1, 0},
      // After the reply limit, the request's receive timeout: the status line
      // never came, whichever thread waits for it.
      {"accepts and never answers", "delay=3600", false, FileFault::None, Person::Nothing, false, 1,
       {L"E04010"}, -1, 0},
  });
}

TEST_F(FaultMatrix, ReplyFaults) {
  // Once: closing a request, Wine's WinINet reads on through what remains of
  // a reply, so each 100 MB reply costs seconds, and the multi-file dialog
  // makes three requests.
  const std::string hundredMegabytes = "queue:body=" + std::string(1000, 'x') + "&repeat=104858";
  RunRows({
      {"500 with a body", "status=500&body=boom", false, FileFault::None, Person::Nothing, false, 1, {kNoCode}, 500,
       4, L"boom"},
      {"redirect (302)", "status=302&location=/elsewhere&body=moved", false, FileFault::None, Person::Nothing, false,
       1, {kNoCode}, 302, 5, L"moved"},
      {"reply of 100 MB", hundredMegabytes, false, FileFault::None, Person::Nothing, false, 1, {kNoCode}, 200,
       std::size_t(1) << 20, nullptr, 120},
      // C0 80 is never UTF-8; FF is no lead byte of code page 949.
      {"reply not valid UTF-8", "body_b64=QUIswIBDRA==", false, FileFault::None, Person::Nothing, false, 1,
       {kNoCode}, 200, std::string::npos, L"AB,"},
      {"reply not valid code page 949", "body_b64=QUIs/0NE", false, FileFault::None, Person::Nothing, false, 0,
       {kNoCode}, 200, std::string::npos, L"AB,"},
      // Servers answering HTTP/1.0 requests close the connection after the reply.
      {"reply with Connection: close", "keep_alive=0&body=closing", false, FileFault::None, Person::Nothing, false,
       1, {kNoCode}, 200, 7, L"closing"},
      {"reply ended by closing, no length", "no_length=1&body=closing", false, FileFault::None, Person::Nothing,
       false, 1, {kNoCode}, 200, 7, L"closing"},
  });
}

// A post takes each file as it is when the post starts: a deleted one is left
// out like any missing file, a shortened one goes at its new size (declared
// length and manifest agree); only a file that cannot be opened fails it.
TEST_F(FaultMatrix, FilesChangedAfterListing) {
  RunRows({
      {"file deleted after listing", "", false, FileFault::Deleted, Person::Nothing, false, 1, {kNoCode}, 200, 2,
       L"OK"},
      {"file shortened after listing", "", false, FileFault::Shortened, Person::Nothing, false, 1, {kNoCode}, 200,
       2, L"OK"},
      {"file locked after listing", "", false, FileFault::Locked, Person::Nothing, false, 1, {L"E04001"}, -1, 0},
  });
}

// Last: under Wine a request cancelled mid-body on a kept connection went back
// to the pool for the next request; each row checks that next request.
TEST_F(FaultMatrix, CancelInEveryPhase) {
  RunRows({
      {"cancel while connecting", "", false, FileFault::None, Person::CancelAtOnce, true, 1,
       {L"I04001", kNoCode}},
      {"cancel while sending", "", false, FileFault::None, Person::CancelWhileSending, true, 1, {L"I04001"}, -1, 0},
      {"cancel while waiting for the reply", "delay=2&body=late", false, FileFault::None,
       Person::CancelAfterLastByte, true, 1, {kNoCode}, 200, 4, L"late"},
  });
}

}  // namespace
}  // namespace zt::test
