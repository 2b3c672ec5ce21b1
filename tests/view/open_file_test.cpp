// OpenFile on server entries against the loopback receiver, answered as a
// person answers: the open-or-save question, the save dialog, the message
// box of a failure; what lands on disk read back byte by byte.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dialog_driver.h"
#include "embedded_control.h"
#include "receiver_client.h"

namespace zt::test {
namespace {

const wchar_t kQuestionTitle[] = L"Open Attached File";
const wchar_t kErrorCaption[] = L"ZTFILEUPLOAD Control";
// The shell's own box when no program opens a file type ("오류").
const wchar_t kShellErrorTitle[] = L"\uC624\uB958";
constexpr int kSaveButton = 32784, kOpenButton = 32785;
// The window of a long fetch ("파일 받는 중") and its items.
const wchar_t kFetchTitle[] = L"\uD30C\uC77C \uBC1B\uB294 \uC911";
constexpr int kFetchName = 1401, kFetchAmount = 1402, kFetchRate = 1403, kFetchBar = 1404, kFetchCancel = 1405;

// The receiver's test pattern (tools/receiver: pattern_bytes).
std::string PatternBytes(std::size_t size, std::uint32_t seed) {
  std::uint32_t state = seed * 2654435761u + 1;
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = static_cast<char>(state >> 24);
  }
  return out;
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring TemporaryFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// The names of the control's temporary copies in the temporary folder (the
// system keeps three letters of the "ZTFILE" prefix).
std::vector<std::wstring> TemporaryCopies() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((TemporaryFolder() + L"ZTF*.tmp*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

class OpenFileTest : public EmbeddedControlTest {
protected:
  void SetUp() override {
    EmbeddedControlTest::SetUp();
    ASSERT_TRUE(receiver_.Ok()) << "runs beside the loopback receiver";
    receiver_.Reset();
    // Copies a killed earlier run may have left would count as ours.
    for (const std::wstring& name : TemporaryCopies()) DeleteFileW((TemporaryFolder() + name).c_str());
  }
  std::wstring ServerUrl(const std::string& path, int port = 0) {
    return L"http://127.0.0.1:" + std::to_wstring(port ? port : receiver_.Port()) +
           std::wstring(path.begin(), path.end());
  }
  // Adds the server entry and makes it current.
  void AddCurrent(const std::wstring& url) {
    AddServer(url.c_str());
    ASSERT_EQ(control_.Put(L"FilePos", Long(FindFilePos(url.substr(url.rfind(L'/') + 1).c_str()))).Hr, S_OK);
  }
  // OpenFile while person answers on another thread.
  CallResult OpenWithPerson(const std::function<void()>& person) {
    std::thread other(person);
    CallResult r = control_.Call(L"OpenFile");
    other.join();
    Pump();
    return r;
  }

  ReceiverClient receiver_;
};

// The person answers the open-or-save question with button (or Esc).
void Answer(int button) {
  HWND question = FindDialog(kQuestionTitle);
  ASSERT_NE(question, nullptr) << "no open-or-save question";
  if (button == IDCANCEL)
    SendMessageW(question, WM_COMMAND, IDCANCEL, 0);
  else
    Click(question, button);
  EXPECT_TRUE(WaitGone(question));
}

// The person at the save dialog: types target (or cancels when empty).
void SaveAs(const std::wstring& target) {
  HWND dialog = FindFileDialog();
  ASSERT_NE(dialog, nullptr) << "no save dialog";
  if (!target.empty()) TypeFileName(dialog, target);
  SendMessageW(dialog, WM_COMMAND, target.empty() ? IDCANCEL : IDOK, 0);
  EXPECT_TRUE(WaitGone(dialog));
}

TEST_F(OpenFileTest, AServerFileArrivesWholeThenOpensAsTheEntrysCopyOrMovesWhereTheUserSaves) {
  // A 1 MiB file sent in small, slow pieces arrives whole; OPEN makes the
  // copy the entry's local file, named with the entry's extension, and hands
  // it to the shell, which opens it (notepad) or says it cannot (its own
  // error box); the person closes whichever appears.
  const std::size_t size = 1 << 20;
  receiver_.Rule("path=/files/report.txt&pattern=" + std::to_string(size) + "&seed=3&piece=1000&piece_delay=0.001");
  AddCurrent(ServerUrl("/files/report.txt"));
  bool opened = false;
  CallResult r = OpenWithPerson([&] {
    Answer(kOpenButton);
    HWND shown = nullptr;
    opened = WaitUntil([&] {
      shown = FindWindowW(L"Notepad", nullptr);
      if (!shown) shown = FindDialog(kShellErrorTitle, 0);
      return shown != nullptr;
    }, 20000);
    if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_TRUE(opened) << "the copy was not handed to the shell";
  // The copy stays in the temporary folder, named with the extension.
  const std::vector<std::wstring> copies = TemporaryCopies();
  ASSERT_EQ(copies.size(), 1u);
  const std::wstring copy = TemporaryFolder() + copies[0];
  EXPECT_EQ(copy.substr(copy.size() - 4), L".txt");
  const std::string got = ReadWholeFile(Narrow(copy));
  EXPECT_EQ(got.size(), size);
  EXPECT_TRUE(got == PatternBytes(size, 3)) << "the copy differs from the server's file";
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");
  // The entry now has that local copy: opening it again asks the server
  // nothing and shows nothing.
  const long requests = receiver_.Count();
  EXPECT_EQ(control_.Call(L"OpenFile").Hr, S_OK);
  EXPECT_EQ(receiver_.Count(), requests);
  DeleteFileW(copy.c_str());

  // SAVE moves the copy where the save dialog says; the entry stays a server
  // entry and nothing is left in the temporary folder. The control's Port
  // serves an entry that names no port of its own.
  const std::wstring target = folder_.Path() + L"kept.bin";
  receiver_.Rule("path=/files/b.bin&pattern=5000&seed=4");
  const std::wstring portless = L"http://127.0.0.1/files/b.bin";
  AddCurrent(portless);
  Put(L"Port", receiver_.Port());
  // The question names the file, its size and its server, in plain labels a
  // screen reader reads, and Alt+S answers SAVE.
  std::vector<std::wstring> asked;
  std::wstring spoken;
  AccessibleNode save;
  r = OpenWithPerson([&] {
    HWND question = FindDialog(kQuestionTitle);
    ASSERT_NE(question, nullptr);
    asked = StaticTexts(question);
    spoken = NodeNamed(AccessibleWalk(question), L"\uD30C\uC77C \uC774\uB984").Name;
    save = NodeNamed(AccessibleWalk(question), L"SAVE");
    PressMnemonic(question, L's');
    EXPECT_TRUE(WaitGone(question));
    SaveAs(target);
  });
  EXPECT_EQ(r.Hr, S_OK);
  ASSERT_EQ(asked.size(), 2u);
  // "파일 이름 : b.bin", "크기 : 4 KB", "보낸 서버 : 127.0.0.1"
  EXPECT_EQ(asked[0], L"\uD30C\uC77C \uC774\uB984 : b.bin\n\uD06C\uAE30 : 4 KB\n\uBCF4\uB0B8 \uC11C\uBC84 : 127.0.0.1");
  EXPECT_EQ(asked[1].find(L"\uC0AC\uC6A9\uD558\uAE30"), 0u) << "the warning follows";
  EXPECT_EQ(spoken, asked[0]) << "a screen reader reads the label as shown";
  EXPECT_NE(save.State & STATE_SYSTEM_FOCUSED, 0) << "SAVE, focused, is what Enter answers";
  EXPECT_TRUE(ReadWholeFile(Narrow(target)) == PatternBytes(5000, 4)) << "the saved file differs";
  EXPECT_EQ(control_.GetText(L"FilePath"), portless);
  EXPECT_TRUE(TemporaryCopies().empty());

  // Esc answers like SAVE; cancelling the save dialog then keeps nothing.
  Put(L"Port", 0);
  receiver_.Rule("path=/files/c.bin&pattern=300&seed=5");
  AddCurrent(ServerUrl("/files/c.bin"));
  bool windowShown = false;  // a quick fetch shows no window of its own
  r = OpenWithPerson([&] {
    WaitUntil([&] {
      windowShown = windowShown || FindAnyDialog(kFetchTitle);
      return FindDialog(kQuestionTitle, 0) != nullptr;
    });
    asked = StaticTexts(FindDialog(kQuestionTitle));
    Answer(IDCANCEL);
    SaveAs(L"");
  });
  EXPECT_EQ(r.Hr, S_OK);
  ASSERT_FALSE(asked.empty());
  EXPECT_NE(asked[0].find(L"c.bin\n\uD06C\uAE30 : 300 \uBC14\uC774\uD2B8\n"), std::wstring::npos)
      << "a file under a kilobyte is counted in bytes, not as 0 KB: " << Narrow(asked[0]);
  EXPECT_FALSE(windowShown);
  EXPECT_EQ(control_.GetText(L"FilePath"), ServerUrl("/files/c.bin"));
  EXPECT_TRUE(TemporaryCopies().empty());
}

TEST_F(OpenFileTest, InAtlsContainerAtTheDefaultsTheQuestionShowsAndTheEntrysOwnPortIsUsed) {
  // Wine's ATL container makes a new control by its ProgID: Port is 80, as a
  // page gets it. The entry names the receiver's port, which wins; the
  // open-or-save question must be on screen, or the page waits on nothing.
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();
  HMODULE module = LoadLibraryW(ModulePath().c_str());
  ASSERT_NE(module, nullptr);
  auto entry = [&](const char* name) {
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  };
  ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  ASSERT_TRUE(init && getControl && init());
  HWND window = CreateWindowExW(0, L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 600, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  Pump();
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(getControl(window, unknown.Put()), S_OK);
  ControlClient page(unknown.As<IDispatch>(IID_IDispatch));
  ASSERT_TRUE(page.Get());
  EXPECT_EQ(page.GetLong(L"Port"), 80);

  // Before and after the page names its upload address without a port.
  for (const wchar_t* pageUrl : {L"", L"http://127.0.0.1/upload/recv.asp"}) {
    SCOPED_TRACE(Narrow(pageUrl));
    if (*pageUrl) {
      ASSERT_EQ(page.Put(L"URL", Text(pageUrl)).Hr, S_OK);
    }
    EXPECT_EQ(page.GetLong(L"Port"), 80);
    const std::string path = *pageUrl ? "/files/after.bin" : "/files/new.bin";
    receiver_.Rule("path=" + path + "&pattern=4000&seed=6");
    const std::wstring url = ServerUrl(path);
    ASSERT_TRUE(page.Call(L"AddVirtualFileWithSize", {Text(url.c_str()), Text(L"0")}).Bool());
    const std::wstring name = url.substr(url.rfind(L'/') + 1);
    ASSERT_EQ(page.Put(L"FilePos", Long(page.Call(L"FindFilePos", {Text(name.c_str())}).Long())).Hr, S_OK);
    const std::wstring target = folder_.Path() + name;
    std::thread person([&] {
      Answer(kSaveButton);
      SaveAs(target);
    });
    EXPECT_EQ(page.Call(L"OpenFile").Hr, S_OK);
    person.join();
    EXPECT_EQ(page.GetText(L"ErrorCode"), L"");
    EXPECT_TRUE(ReadWholeFile(Narrow(target)) == PatternBytes(4000, 6)) << "not fetched from the entry's port";
  }
  page = ControlClient(com::ComPtr<IDispatch>());
  unknown = com::ComPtr<IUnknown>();
  DestroyWindow(window);
  Pump();
  entry("DllUnregisterServer")();
}

TEST_F(OpenFileTest, AFailedFetchAsksNothingLeavesNothingAndIsToldInABoxAndTheErrorPair) {
  // A file the server does not have, then a server that is not there.
  receiver_.Rule("default=1&status=404");
  const int deadPort = 1;  // nothing listens on port 1
  for (const std::wstring& url : {ServerUrl("/files/missing.pdf"), ServerUrl("/files/gone.pdf", deadPort)}) {
    AddCurrent(url);
    std::wstring shown;
    bool asked = false;
    CallResult r = OpenWithPerson([&] {
      HWND box = FindDialog(kErrorCaption, 40000);
      ASSERT_NE(box, nullptr) << "no message box";
      asked = FindAnyDialog(kQuestionTitle) != nullptr;
      shown = MessageBoxText(box);
      EXPECT_TRUE(ShowsStopIcon(box));
      Click(box, IDOK);
      WaitGone(box);
    });
    EXPECT_EQ(r.Hr, S_OK) << "the call itself raises nothing";
    EXPECT_FALSE(asked);
    EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E04006");
    const std::wstring description = control_.GetText(L"ErrorDescription");
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(shown.substr(0, description.size()), description);
    EXPECT_EQ(control_.GetText(L"FilePath"), url) << "the entry is unchanged";
    EXPECT_TRUE(TemporaryCopies().empty());
  }
}

TEST_F(OpenFileTest, ASecureServerPathIsFetchedOverTlsAndOnlyFromATrustedServer) {
  const int trusted = receiver_.TlsPort(ReceiverClient::Certificate::Trusted);
  ASSERT_NE(trusted, 0) << "the receiver serves no TLS (ZT_RECEIVER_TLS)";
  auto secureUrl = [](int port, const char* path) {
    return L"https://localhost:" + std::to_wstring(port) + std::wstring(path, path + std::strlen(path));
  };
  // Trusted: the bytes arrive whole, over TLS, and are saved where the person says.
  const std::wstring target = folder_.Path() + L"secure.bin";
  receiver_.Rule("path=/files/s.bin&pattern=70000&seed=9");
  const long before = receiver_.Count();
  AddCurrent(secureUrl(trusted, "/files/s.bin"));
  CallResult r = OpenWithPerson([&] {
    Answer(kSaveButton);
    SaveAs(target);
  });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");
  EXPECT_TRUE(ReadWholeFile(Narrow(target)) == PatternBytes(70000, 9)) << "the saved file differs";
  EXPECT_NE(receiver_.Account(before + 1).find("\"tls\": true"), std::string::npos) << "not fetched over TLS";

  // A certificate from an unknown authority, or made out to another name, is
  // a failed fetch: no question, nothing kept, E04006 in the box and the pair.
  for (auto which : {ReceiverClient::Certificate::Stranger, ReceiverClient::Certificate::OtherName}) {
    SCOPED_TRACE(which == ReceiverClient::Certificate::Stranger ? "unknown authority" : "another name");
    AddCurrent(secureUrl(receiver_.TlsPort(which),
                         which == ReceiverClient::Certificate::Stranger ? "/files/stranger.bin" : "/files/other.bin"));
    const long count = receiver_.Count();
    bool asked = false;
    r = OpenWithPerson([&] {
      HWND box = FindDialog(kErrorCaption, 40000);
      ASSERT_NE(box, nullptr) << "no message box";
      asked = FindAnyDialog(kQuestionTitle) != nullptr;
      Click(box, IDOK);
      WaitGone(box);
    });
    EXPECT_EQ(r.Hr, S_OK);
    EXPECT_FALSE(asked);
    EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E04006");
    EXPECT_EQ(receiver_.Count(), count) << "a request reached the server";
    EXPECT_TRUE(TemporaryCopies().empty());
  }
}

TEST_F(OpenFileTest, WhatTheServerSendsNeverRunsThoughOtherFilesStillOpen) {
  // A server entry the page named like a report but that runs as a batch
  // file: OPEN tells the person it will not run it and keeps nothing.
  const std::wstring marker = folder_.Path() + L"ran.txt";
  const std::string script = "@echo ran> \"" + Narrow(marker) + "\"\r\n";
  std::string encoded;
  for (unsigned char c : script) {
    char hex[4];
    snprintf(hex, sizeof hex, "%%%02X", c);
    encoded += hex;
  }
  // Likewise a program under a name that says nothing (an unlisted
  // extension, none at all, or one Windows drops), and types that mount,
  // connect or import what they hold.
  const std::string program = "MZ%90%00%03%00";
  const std::pair<const char*, std::string> refused[] = {
      {"Quarterly%20report.bat", encoded}, {"report.xyz", program}, {"report.exe.", program},
      {"summary", program},                {"disk.iso", "x"},       {"remote.rdp", "x"}};
  CallResult r;
  for (const auto& [name, body] : refused) {
    SCOPED_TRACE(name);
    receiver_.Rule(std::string("path=/files/") + name + "&body=" + body);
    const std::wstring url = ServerUrl(std::string("/files/") + name);
    AddCurrent(url);
    std::wstring shown;
    r = OpenWithPerson([&] {
      Answer(kOpenButton);
      HWND box = FindDialog(kErrorCaption);
      ASSERT_NE(box, nullptr) << "no box said why the file was not opened";
      shown = MessageBoxText(box);
      EXPECT_TRUE(ShowsStopIcon(box));
      EXPECT_TRUE(TemporaryCopies().empty()) << "the refused copy stayed while the box showed";
      Click(box, IDOK);
      WaitGone(box);
    });
    EXPECT_EQ(r.Hr, S_OK);
    EXPECT_NE(shown.find(url.substr(url.rfind(L'/') + 1)), std::wstring::npos) << Narrow(shown);
    EXPECT_EQ(control_.GetText(L"FilePath"), url) << "the entry became the copy";
  }

  // A document still opens: it becomes the entry's copy and goes to the
  // shell. The copy carries the download mark where the file system holds
  // named streams; where it does not (Wine), nothing else is left beside it.
  receiver_.Rule("path=/files/report.pdf&pattern=4000&seed=6");
  const std::wstring pdf = ServerUrl("/files/report.pdf");
  AddCurrent(pdf);
  r = OpenWithPerson([&] {
    Answer(kOpenButton);
    // Wine has no program for it and may say so in its own box.
    if (HWND shell = FindDialog(kShellErrorTitle, 3000)) PostMessageW(shell, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(r.Hr, S_OK);
  const std::vector<std::wstring> copies = TemporaryCopies();
  ASSERT_EQ(copies.size(), 1u);
  const std::wstring copy = TemporaryFolder() + copies[0];
  EXPECT_EQ(copy.substr(copy.size() - 4), L".pdf");
  const long requests = receiver_.Count();
  EXPECT_EQ(control_.Call(L"OpenFile").Hr, S_OK);
  EXPECT_EQ(receiver_.Count(), requests) << "the document did not become the entry's copy";
  const std::string mark = ReadWholeFile(Narrow(copy + L":Zone.Identifier"));
  if (!mark.empty()) {
    EXPECT_EQ(mark.find("[ZoneTransfer]\r\nZoneId="), 0u) << mark;
    EXPECT_NE(mark.find("HostUrl=" + Narrow(pdf) + "\r\n"), std::string::npos) << mark;
  }
  DeleteFileW(copy.c_str());
  EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the server's script ran";
}

TEST_F(OpenFileTest, TheHostAnswersWhileAServerTricklesAndSilenceOrAnOversizedReplyEndsTheFetch) {
  // The reply in pieces of 20 bytes, one every 0.5 s: past a second the
  // fetch's window shows, meanwhile the page's window answers every message
  // within a second, and a call from another apartment into the busy
  // control is refused with E01008.
  receiver_.Rule("path=/files/slow.bin&pattern=60&seed=2&piece=20&piece_delay=0.5");
  AddCurrent(ServerUrl("/files/slow.bin"));
  IStream* marshalled = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, control_.Get(), &marshalled), S_OK);
  std::atomic<bool> fetching{true}, left{false};
  int answered = 0, unanswered = 0;
  bool windowSeen = false;
  std::wstring busyCode;
  std::thread caller([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      com::ComPtr<IDispatch> other;
      CoGetInterfaceAndReleaseStream(marshalled, IID_IDispatch, other.PutVoid());
      ControlClient client(other);
      auto showing = [] {
        HWND window = FindAnyDialog(kFetchTitle);
        return window && IsWindowVisible(window);
      };
      while (fetching && !FindDialog(kQuestionTitle, 0)) {
        windowSeen = windowSeen || showing();
        // The window goes when the fetch is over; Wine then waits for a
        // window manager the virtual display lacks (docs/testing-under-wine.md).
        if (windowSeen && !showing()) break;
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(page_, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &ignored))
          ++answered;
        else if (!windowSeen || showing())
          ++unanswered;
        if (busyCode.empty() && answered >= 3) {
          client.Call(L"OpenFile");
          busyCode = client.GetText(L"ErrorCode");
        }
        Sleep(100);
      }
    }
    CoUninitialize();
    left = true;
  });
  CallResult r = OpenWithPerson([&] {
    Answer(kSaveButton);
    SaveAs(L"");
  });
  fetching = false;
  // The caller's proxy lets go of the control through this apartment.
  while (!left) Pump();
  caller.join();
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_GE(answered, 10) << "the fetch did not take the time the server took";
  EXPECT_EQ(unanswered, 0) << "the page's window stopped answering during the fetch";
  EXPECT_TRUE(windowSeen) << "a fetch of a second and a half showed nothing";
  EXPECT_EQ(busyCode, L"E01008");
  EXPECT_TRUE(TemporaryCopies().empty());

  // Past a second the fetch shows its window: the name, the kilobytes of the
  // declared total, the rate. Cancel ends the fetch long before the server
  // would, keeps nothing, asks nothing and tells no box: only the error pair.
  receiver_.Rule("path=/files/long.pdf&pattern=100000&seed=6&piece=2000&piece_delay=0.4");
  AddCurrent(ServerUrl("/files/long.pdf"));
  std::wstring name, amount, rate;
  std::vector<AccessibleNode> walk;
  std::atomic<bool> returned{false};
  bool asked = false, told = false;
  WinEventWatch events;
  const auto begin = std::chrono::steady_clock::now();
  std::thread person([&] {
    HWND window = FindDialog(kFetchTitle, 20000);
    ASSERT_NE(window, nullptr) << "a long fetch showed nothing";
    WaitUntil([&] { return ItemText(window, kFetchAmount).find(L"0 KB") != 0; }, 5000);
    name = ItemText(window, kFetchName), amount = ItemText(window, kFetchAmount), rate = ItemText(window, kFetchRate);
    walk = AccessibleWalk(window);
    Click(window, kFetchCancel);
    EXPECT_TRUE(WaitGone(window));
    // Whatever shows before OpenFile returns is answered, so a fault fails
    // the test instead of hanging it.
    WaitUntil([&] {
      if (HWND box = FindDialog(kErrorCaption, 0)) told = true, Click(box, IDOK);
      if (HWND question = FindDialog(kQuestionTitle, 0)) asked = true, Click(question, kSaveButton);
      if (HWND save = FindFileDialog(0)) SendMessageW(save, WM_COMMAND, IDCANCEL, 0);
      return returned.load();
    }, 60000);
  });
  r = control_.Call(L"OpenFile");
  returned = true;
  person.join();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15)) << "Cancel did not end the fetch";
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(name, L"\uBC1B\uB294 \uD30C\uC77C : long.pdf");
  // Some of the declared 97 KB had arrived.
  EXPECT_TRUE(amount.size() > 11 && amount.find(L"0 KB") != 0 && amount.substr(amount.size() - 11) == L" KB / 97 KB")
      << Narrow(amount);
  EXPECT_EQ(rate.substr(0, 8), L"\uBC1B\uB294 \uC18D\uB3C4 : ");
  // A screen reader finds the name and Cancel, hears the amount, the rate and
  // the bar change, and reads the amount as shown.
  EXPECT_EQ(NodeNamed(walk, name).Name + NodeNamed(walk, L"\uCDE8\uC18C").Name, name + L"\uCDE8\uC18C");  // 취소
  const auto amounts = events.Of(EVENT_OBJECT_NAMECHANGE, kFetchAmount);
  ASSERT_FALSE(amounts.empty()) << "the fetched amount was not announced";
  EXPECT_EQ(amounts.back().Name.substr(amounts.back().Name.size() - 11), L" KB / 97 KB");
  EXPECT_FALSE(events.Of(EVENT_OBJECT_NAMECHANGE, kFetchRate).empty());
  EXPECT_FALSE(events.Of(EVENT_OBJECT_VALUECHANGE, kFetchBar).empty());
  EXPECT_FALSE(asked);
  EXPECT_FALSE(told);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"I04001");
  EXPECT_EQ(control_.GetText(L"ErrorDescription"), L"\uC804\uC1A1\uC774 \uCDE8\uC18C\uB418\uC5C8\uC2B5\uB2C8\uB2E4.");
  EXPECT_EQ(control_.GetText(L"FilePath"), ServerUrl("/files/long.pdf"));
  EXPECT_TRUE(TemporaryCopies().empty());

  // A server that goes silent ends the fetch at the reply limit; one that
  // declares more than the temporary folder can hold is refused before a
  // byte is written. Both are failed fetches that leave nothing behind.
  SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", L"2");
  receiver_.Rule("path=/files/silent.bin&pattern=10&delay=20");
  receiver_.Rule("path=/files/huge.bin&body=x&declare=1152921504606846976");
  for (const char* path : {"/files/silent.bin", "/files/huge.bin"}) {
    SCOPED_TRACE(path);
    AddCurrent(ServerUrl(path));
    const auto start = std::chrono::steady_clock::now();
    bool asked = false;
    r = OpenWithPerson([&] {
      HWND box = FindDialog(kErrorCaption, 40000);
      ASSERT_NE(box, nullptr) << "no message box";
      asked = FindDialog(kQuestionTitle, 0) != nullptr;
      Click(box, IDOK);
      WaitGone(box);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << "the fetch outwaited its limit";
    EXPECT_EQ(r.Hr, S_OK);
    EXPECT_FALSE(asked);
    EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E04006");
    EXPECT_TRUE(TemporaryCopies().empty());
  }
  SetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", nullptr);
}

}  // namespace
}  // namespace zt::test
