// The control in a container we did not write: Wine's ATL (atl.dll's
// AtlAxWin window class), which creates, sites and activates it from its
// registered ProgID. The list view must show, click and rebuild there too.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <objsafe.h>
#include <olectl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "control_client.h"
#include "dialog_driver.h"
#include "receiver_client.h"
#include "control_site.h"
#include "embedded_control.h"
#include "event_sink.h"
#include "view_window.h"

namespace zt::test {
namespace {

using Texts = std::vector<std::wstring>;

class AtlContainerTest : public ::testing::Test {
protected:
  void SetUp() override {
    OleInitialize(nullptr);
    module_ = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module_, nullptr);
    ASSERT_EQ(Entry("DllRegisterServer")(), S_OK);
    atl_ = LoadLibraryW(L"atl.dll");
    ASSERT_NE(atl_, nullptr);
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxWinInit")));
    ASSERT_TRUE(init);
    // A second test of the process may hear FALSE (32-bit Wine): the class
    // stays registered, and each test's window creation checks it.
    init();
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    Pump();
    if (module_) Entry("DllUnregisterServer")();
  }
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();
  EntryPoint Entry(const char* name) {
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
  HMODULE atl_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(AtlContainerTest, AtlAxWinShowsAndDrivesTheList) {
  window_ = CreateWindowExW(0, L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            0, 0, 700, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window_, nullptr);
  Pump();
  auto get = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
  ASSERT_NE(get, nullptr);
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(get(window_, unknown.Put()), S_OK);
  ControlClient control(unknown.As<IDispatch>(IID_IDispatch));
  ASSERT_TRUE(control.Get());
  Advised advised(unknown.Get());

  // ATL activated the control in place: its window holds the list.
  auto in_place = unknown.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_TRUE(in_place);
  HWND controlWindow = nullptr;
  ASSERT_EQ(in_place->GetWindow(&controlWindow), S_OK);
  HWND list = FindListView(controlWindow);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(IsWindowVisible(list));

  TempFolder folder;
  for (const wchar_t* name : {L"one.txt", L"two.txt"})
    ASSERT_TRUE(control.Call(L"AddLocalFile", {Text(folder.MakeFile(name, 2048).c_str())}).Bool());
  ASSERT_EQ(control.Put(L"ListType", Long(1)).Hr, S_OK);
  list = FindListView(controlWindow);
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & 0xFFFF00FF, 0x50010001);
  EXPECT_EQ(ColumnTexts(list, 0), (Texts{L"two.txt", L"one.txt"}));
  EXPECT_EQ(ColumnTexts(list, 2), (Texts{L"2 Kb", L"2 Kb"}));

  ClickRow(list, 1);
  ASSERT_FALSE(advised.Sink().Events.empty());
  EXPECT_EQ(advised.Sink().Events.back().Id, 2);  // ItemClick
  EXPECT_EQ(control.GetText(L"FileName"), L"one.txt");

  ClickHeader(list, 0);
  EXPECT_EQ(ColumnTexts(list, 0), (Texts{L"one.txt", L"two.txt"}));

  // The menu opens inside ATL's window too, and a view command rebuilds.
  const MenuSeen seen = RightClickMenu(list, {VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN});
  EXPECT_TRUE(seen.opened);
  EXPECT_EQ(seen.checked, (std::vector<unsigned>{32782}));
  EXPECT_EQ(V_I2(control.Get(L"ListType").Value.Get()), 3);
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(GetWindowLongW(FindListView(controlWindow), GWL_STYLE) & 0xFFFF00FF, 0x50010003);
}

// The keyboard alone, real keys, no mouse message: the control in Wine's
// ATL host window between two buttons of a page whose loop does what an ATL
// application's does (the active object's TranslateAccelerator, then the
// dialog manager). Wine's host passes no focus on, so it is a control parent.
TEST_F(AtlContainerTest, TheKeyboardAloneTabsInAddsUsesTheMenuDeletesTabsOutAndAnswersAPost) {
  ReceiverClient receiver;
  ASSERT_TRUE(receiver.Ok());
  WNDCLASSW page{};
  page.lpfnWndProc = DefWindowProcW;
  page.lpszClassName = L"ZTKeyboardPage";
  RegisterClassW(&page);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, page.lpszClassName, L"page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            700, 420, nullptr, nullptr, nullptr, nullptr);
  auto child = [&](DWORD ex, const wchar_t* cls, const wchar_t* text, DWORD style, int y, int height) {
    return CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 600, height, window_, nullptr, nullptr,
                           nullptr);
  };
  HWND before = child(0, L"BUTTON", L"before", WS_TABSTOP, 8, 24);
  HWND host = child(WS_EX_CONTROLPARENT, L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", 0, 40, 300);
  HWND after = child(0, L"BUTTON", L"after", WS_TABSTOP, 350, 24);
  Pump();
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
                reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")))(host, unknown.Put()), S_OK);
  ControlClient control(unknown.As<IDispatch>(IID_IDispatch));
  auto active = unknown.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
  HWND controlWindow = nullptr;
  active->GetWindow(&controlWindow);
  TempFolder folder;
  folder.MakeFile(L"k1.txt", 48 * 1024);
  folder.MakeFile(L"k2.txt", 3);
  SetForegroundWindow(window_);
  SetFocus(before);

  const DWORD thread = GetCurrentThreadId();
  auto list = [&] { return FindListView(controlWindow); };
  auto focusIs = [&](HWND expected) { return WaitUntil([&] { return FocusOf(thread) == expected; }, 5000); };
  std::atomic<bool> done{false};
  bool tabbedIn = false, leftAndBack = false;
  RECT row{}, menu{};
  std::thread person([&] {
    PressKeys({VK_TAB});
    tabbedIn = focusIs(list());
    PressKeys({VK_INSERT});
    if (HWND dialog = FindFileDialog()) {
      TypeText(folder.Path());
      PressKeys({VK_RETURN});
      WaitUntil([&] { return ItemText(dialog, 0x47C).empty() || ItemText(dialog, 0x480).empty(); }, 5000);
      TypeText(L"\"k1.txt\" \"k2.txt\"");
      PressKeys({VK_RETURN});
      WaitGone(dialog);
    }
    PressKeys({VK_DOWN});
    row = RowOnScreen(list(), 0);
    PressKeys({VK_F10}, VK_SHIFT);
    HWND popup = nullptr;
    WaitUntil([&] { return (popup = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(popup); }, 5000);
    if (popup && GetWindowRect(popup, &menu)) PressKeys({VK_UP, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN});  // details
    if (WaitUntil([&] { return (GetWindowLongW(list(), GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT; }, 5000) &&
        focusIs(list()))
      PressKeys({VK_HOME, VK_DELETE});
    PressKeys({VK_TAB});
    leftAndBack = focusIs(after);
    PressKeys({VK_TAB}, VK_SHIFT);
    leftAndBack = leftAndBack && focusIs(list());
    done = true;
  });
  for (MSG msg; !done; MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT)) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && active->TranslateAccelerator(&msg) == S_OK)
        continue;
      if (IsDialogMessageW(window_, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  person.join();
  EXPECT_TRUE(tabbedIn) << "Tab did not reach the list";
  EXPECT_GE(menu.top, row.top) << "the menu opened away from the focused row";
  EXPECT_LE(menu.top, row.bottom + 2);
  EXPECT_EQ(V_I2(control.Get(L"ListType").Value.Get()), 1);
  EXPECT_EQ(ColumnTexts(list(), 0), (Texts{L"k1.txt"})) << "two added, the first row's removed";
  EXPECT_TRUE(leftAndBack) << "Tab did not leave the list for the page's next control, or Shift+Tab not come back";

  // Post's dialog: Enter stops (Stop has the focus), Enter resumes, and the
  // receiver gets the file.
  const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(receiver.Port()) + L"/recv";
  control.Put(L"URL", Text(url.c_str()));
  control.Put(L"KByteRate", Long(16));
  std::wstring paused, resumed;
  std::thread answer([&] {
    HWND dialog = FindDialog(kStatusTitle);
    PressKeys({VK_RETURN});
    WaitUntil([&] { return (paused = ItemText(dialog, 1011)) == L"Resume"; }, 5000);
    PressKeys({VK_RETURN});
    WaitUntil([&] { return (resumed = ItemText(dialog, 1011)) == L"Stop"; }, 5000);
  });
  EXPECT_EQ(control.Call(L"Post", {Bool(true)}).Hr, S_OK);
  answer.join();
  EXPECT_EQ(paused + L"," + resumed, L"Resume,Stop");
  EXPECT_EQ(control.GetLong(L"ResponseStatusCode"), 200);
  EXPECT_NE(receiver.Account(receiver.Count()).find("k1.txt"), std::string::npos);
}

// The site lock, whichever way the page gets the object: a script-made one
// learns its page from the site the script engine gives (IObjectWithSite),
// a container that never asks IObjectSafety (ATL) is held at the members,
// a refusal outlives every later site, and a list that exists but cannot be
// read refuses every page.
TEST_F(AtlContainerTest, TheSiteLockHoldsWhateverTheContainerAndTheOrderOfCalls) {
  const wchar_t kProduct[] = L"Software\\ZTFileUpload";
  const wchar_t kList[] = L"Software\\ZTFileUpload\\AllowedSites";
  auto setList = [&](std::vector<const wchar_t*> entries) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kList);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kList, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    for (std::size_t i = 0; i < entries.size(); ++i)
      RegSetValueExW(key, std::to_wstring(i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(entries[i]),
                     static_cast<DWORD>((wcslen(entries[i]) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  };
  struct Cleanup {
    const wchar_t* product;
    ~Cleanup() { RegDeleteTreeW(HKEY_CURRENT_USER, product); }
  } cleanup{kProduct};
  // A site as a script engine's host gives one, naming the page it runs on.
  auto siteOn = [](const wchar_t* url) {
    auto* site = new host::ControlSite(nullptr, L"made");
    site->AddRef();
    site->PresentPage(url);
    return com::ComPtr<IUnknown>::Attach(static_cast<IOleClientSite*>(site));
  };
  auto withSite = [](ControlClient& control, IUnknown* site) {
    auto object = com::ComPtr<IDispatch>(control.Get()).As<IObjectWithSite>(IID_IObjectWithSite);
    return object ? object->SetSite(site) : E_NOINTERFACE;
  };

  setList({L"nopage:", L"https://upload.example.com"});
  ControlClient refused;  // made as `new ActiveXObject(...)` makes it: no client site
  EXPECT_EQ(refused.Get(L"Port").Hr, S_OK) << "no page yet: the list admits it";
  ASSERT_EQ(withSite(refused, siteOn(L"https://evil.example/upload.html").Get()), S_OK);
  EXPECT_EQ(refused.Get(L"Port").Hr, E_ACCESSDENIED);
  EXPECT_EQ(refused.Call(L"AddVirtualFile", {Text(L"/srv/a.txt")}).Hr, E_ACCESSDENIED);
  auto safety = com::ComPtr<IDispatch>(refused.Get()).As<IObjectSafety>(IID_IObjectSafety);
  ASSERT_TRUE(safety);
  EXPECT_NE(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                              INTERFACESAFE_FOR_UNTRUSTED_CALLER), S_OK);
  // Taking the site away again, or a site on a listed page, admits nothing.
  withSite(refused, nullptr);
  EXPECT_EQ(refused.Get(L"Port").Hr, E_ACCESSDENIED);
  withSite(refused, siteOn(L"https://upload.example.com/").Get());
  EXPECT_EQ(refused.Get(L"Port").Hr, E_ACCESSDENIED);

  ControlClient admitted;
  ASSERT_EQ(withSite(admitted, siteOn(L"https://upload.example.com/app/page.html").Get()), S_OK);
  EXPECT_EQ(admitted.Put(L"Port", Long(8080)).Hr, S_OK);
  withSite(admitted, nullptr);

  // ATL names no page and never asks IObjectSafety: a list without
  // "nopage:" keeps its control's members shut.
  setList({L"https://upload.example.com"});
  window_ = CreateWindowExW(0, L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                            300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window_, nullptr);
  Pump();
  auto get = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(get(window_, unknown.Put()), S_OK);
  EXPECT_EQ(ControlClient(unknown.As<IDispatch>(IID_IDispatch)).Get(L"Port").Hr, E_ACCESSDENIED);

  // A value where the list's key belongs cannot be read as a list.
  RegDeleteTreeW(HKEY_CURRENT_USER, kList);
  HKEY product = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kProduct, 0, nullptr, 0, KEY_WRITE, nullptr, &product, nullptr), 0);
  const wchar_t entry[] = L"https://upload.example.com";
  RegSetValueExW(product, L"AllowedSites", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry), sizeof entry);
  RegCloseKey(product);
  ControlClient unreadable;
  ASSERT_EQ(withSite(unreadable, siteOn(L"https://upload.example.com/").Get()), S_OK);
  EXPECT_EQ(unreadable.Get(L"Port").Hr, E_ACCESSDENIED);
  withSite(unreadable, nullptr);
}


// A server that takes the connection and the request and never answers:
// the post's dialog stays up, waiting for the reply, as long as a test needs.
class SilentServer {
public:
  SilentServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener_, 4);
    int size = sizeof at;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
  }
  ~SilentServer() {
    closesocket(listener_);
    WSACleanup();
  }
  std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/recv"; }
  // From now on answers every request with a 6,000-byte file, at once or
  // 100 bytes every 50 ms (a fetch long enough for its window).
  void Serve(bool trickle) {
    std::thread([listener = listener_, trickle] {
      for (SOCKET client; (client = accept(listener, nullptr, nullptr)) != INVALID_SOCKET; closesocket(client)) {
        char request[4096];
        recv(client, request, sizeof request, 0);
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 6000\r\n\r\n", piece(trickle ? 100 : 6000, 'z');
        send(client, head.data(), static_cast<int>(head.size()), 0);
        for (size_t sent = 0; sent < 6000 && send(client, piece.data(), static_cast<int>(piece.size()), 0) > 0;
             sent += piece.size())
          Sleep(50);
      }
    }).detach();
  }

private:
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
};

// Plays the page while Post(true)'s dialog runs on this thread: a timer of
// the thread, which the dialog's own loop serves, waits until the status
// dialog is visible and enabled, notes what the container looks like then
// and does what the page does to it (close it, destroy its window).
struct UnderTheDialog {
  HWND Page = nullptr;
  std::function<void()> Act;
  bool Acted = false, PageEnabled = true;
  HWND Dialog = nullptr;
  std::function<void()> Look;  // what the container shows while it is up

  static UnderTheDialog* current;
  static BOOL CALLBACK FindDialog(HWND window, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
      current->Dialog = window;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    UnderTheDialog& self = *current;
    if (self.Acted) return;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, 0);
    if (!self.Dialog) return;
    self.Acted = true;
    self.PageEnabled = IsWindowEnabled(self.Page) != FALSE;
    if (self.Look) self.Look();
    self.Act();
  }
  // Post(true) by the control's run-time number, with this person beside it.
  CallResult Post(IDispatch* control) {
    ControlClient client{com::ComPtr<IDispatch>(control)};
    return During([&] { return client.Invoke(47, DISPATCH_METHOD, {Bool(true)}); });
  }
  CallResult During(const std::function<CallResult()>& call) {
    current = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &Tick);
    CallResult r = call();
    KillTimer(nullptr, timer);
    current = nullptr;
    return r;
  }
};
UnderTheDialog* UnderTheDialog::current = nullptr;

const wchar_t kCancelled[] = L"\uC804\uC1A1\uC774 \uCDE8\uC18C\uB418\uC5C8\uC2B5\uB2C8\uB2E4.";

// A container that closes the page while Post's dialog is up: the dialog
// ends with the page, the call returns as cancelled, nothing outlives it,
// and the next control of the process posts as the first would have.
TEST_F(AtlContainerTest, PostReturnsWhenThePageGoesUnderItsDialog) {
  SilentServer server;
  TempFolder folder;
  auto get = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
  ASSERT_NE(get, nullptr);
  int pages = 0;
  auto open = [&](com::ComPtr<IUnknown>& unknown) {
    HWND page = CreateWindowExW(0, L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 500, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    Pump();
    if (page) get(page, unknown.Put());
    ControlClient control(unknown.As<IDispatch>(IID_IDispatch));
    EXPECT_EQ(control.Put(L"URL", Text(server.Url().c_str())).Hr, S_OK);
    const std::wstring name = L"page" + std::to_wstring(++pages) + L".bin";
    EXPECT_TRUE(control.Call(L"AddLocalFile", {Text(folder.MakeFile(name, 40000).c_str())}).Bool());
    return page;
  };

  // The page's window is destroyed.
  com::ComPtr<IUnknown> first;
  HWND page = open(first);
  ASSERT_TRUE(first);
  UnderTheDialog destroy;
  destroy.Page = page;
  destroy.Act = [&] { DestroyWindow(page); };
  CallResult r = destroy.Post(com::ComPtr<IUnknown>(first).As<IDispatch>(IID_IDispatch).Get());
  ASSERT_TRUE(destroy.Acted);
  EXPECT_FALSE(destroy.PageEnabled) << "the page waits for the dialog";
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(r.Text(), L"");
  EXPECT_FALSE(IsWindow(page));
  EXPECT_FALSE(IsWindow(destroy.Dialog));
  ControlClient firstClient(first.As<IDispatch>(IID_IDispatch));
  EXPECT_EQ(firstClient.GetText(L"ErrorDescription"), kCancelled);
  EXPECT_EQ(firstClient.GetLong(L"FileCount"), 1) << "the control answers after its page went";

  // The next control: the container closes it (IOleObject::Close) under the dialog.
  com::ComPtr<IUnknown> second;
  window_ = open(second);
  ASSERT_TRUE(second);
  UnderTheDialog close;
  close.Page = window_;
  close.Act = [&] { second.As<IOleObject>(IID_IOleObject)->Close(OLECLOSE_NOSAVE); };
  r = close.Post(com::ComPtr<IUnknown>(second).As<IDispatch>(IID_IDispatch).Get());
  ASSERT_TRUE(close.Acted);
  EXPECT_FALSE(close.PageEnabled);
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_FALSE(IsWindow(close.Dialog));
  EXPECT_TRUE(IsWindowEnabled(window_)) << "the page is given back";
  ControlClient secondClient(second.As<IDispatch>(IID_IDispatch));
  EXPECT_EQ(secondClient.GetText(L"ErrorDescription"), kCancelled);
  // Nothing of the given-up post goes on: another one may start.
  EXPECT_NE(secondClient.GetText(L"ErrorCode"), L"E01008");
}

// Our own container: its frame hears EnableModeless around the dialog, and a
// container that lets go of the control altogether under the dialog (in-place
// deactivation, Close, every reference but the running call's released)
// still gets the call back, from a control that is freed only then.
class ContainerUnderDialogTest : public EmbeddedControlTest {};

TEST_F(ContainerUnderDialogTest, LettingGoUnderThePostDialogEndsIt) {
  SilentServer server;
  ASSERT_EQ(control_.Put(L"URL", Text(server.Url().c_str())).Hr, S_OK);
  AddFiles({{L"a.bin", 40000}});
  IDispatch* raw = control_.Get();
  raw->AddRef();  // as a script engine holds the object it calls
  int modelessOff = -1;
  UnderTheDialog letGo;
  letGo.Page = page_;
  letGo.Look = [&] { modelessOff = site_->ModelessOff(); };
  letGo.Act = [&] {
    advised_.reset();
    site_->Unembed();
    control_ = ControlClient(com::ComPtr<IDispatch>());
    raw->Release();  // the last reference outside the call
  };
  CallResult r = letGo.Post(raw);
  ASSERT_TRUE(letGo.Acted);
  EXPECT_EQ(modelessOff, 1) << "the frame was told before the dialog showed";
  EXPECT_EQ(site_->ModelessOff(), 0) << "and told again after";
  EXPECT_FALSE(letGo.PageEnabled);
  EXPECT_TRUE(IsWindowEnabled(page_));
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_FALSE(IsWindow(letGo.Dialog));

  // The next control in the process works.
  Embed(300, 200);
  AddServer(L"/srv/b.txt");
  EXPECT_EQ(control_.GetLong(L"FileCount"), 1);
}

// The fetched copies in the temporary folder.
size_t TempCopies() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((std::wstring(folder) + L"ZTF*.tmp*").c_str(), &found);
  size_t count = 0;
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) ++count;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return count;
}

// Every other modal window of the control, in both containers, under each way
// a container takes a control away: the window ends, the call returns as
// cancelled, the page is given back, no fetched copy stays, and the next
// control works.
TEST_F(AtlContainerTest, EveryModalWindowEndsWhenTheContainerTakesTheControlAway) {
  SilentServer whole, slow;
  whole.Serve(false);
  slow.Serve(true);
  auto openFile = [](std::wstring url) {
    return [url](ControlClient& c) {
      c.Call(L"AddVirtualFile", {Text(url.c_str())});
      c.Put(L"FilePos", Long(c.Call(L"FindFilePos", {Text(url.substr(url.rfind(L'/') + 1).c_str())}).Long()));
      return c.Invoke(60, DISPATCH_METHOD, {});
    };
  };
  struct Dialog {
    const char* name;
    std::function<CallResult(ControlClient&)> call;
    const wchar_t* code;  // the error pair after
  };
  const Dialog dialogs[] = {
      {"file dialog", [](ControlClient& c) { return c.Invoke(42, DISPATCH_METHOD, {}); }, L""},
      {"folder dialog", [](ControlClient& c) { return c.Invoke(43, DISPATCH_METHOD, {}); }, L""},
      {"property frame",
       [this](ControlClient& c) {
         CallResult r;
         r.Hr = com::ComPtr<IDispatch>(c.Get()).As<IOleObject>(IID_IOleObject)->DoVerb(
             OLEIVERB_PROPERTIES, nullptr, nullptr, 0, window_, nullptr);
         return r;
       },
       L""},
      {"fetch's window", openFile(slow.Url() + L"/slow.bin"), L"I04001"},
      {"question", openFile(whole.Url() + L"/whole.txt"), L"I04001"},
      {"error box", openFile(L"http://127.0.0.1:1/refused.txt"), L"E04006"}};
  auto get = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
  const size_t copies = TempCopies();
  for (const Dialog& dialog : dialogs) {
    for (const std::wstring way : {L"destroyed", L"closed", L"let go", L"closed, never embedded"}) {
      SCOPED_TRACE(std::string(dialog.name) + ", " + std::string(way.begin(), way.end()));
      // ATL's page for the first two ways, ours for the third; the last is a
      // desktop program's control that never had a window of its own.
      const bool ours = way == L"let go", windowless = way == L"closed, never embedded";
      window_ = CreateWindowExW(0, ours || windowless ? L"STATIC" : L"AtlAxWin", L"ZTFILEUPLOAD.ZTFileUploadCtrl.1",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
      com::ComPtr<host::ControlSite> site;
      com::ComPtr<IUnknown> unknown;
      if (windowless) {
        unknown = com::ComPtr<IUnknown>(ControlClient().Get());
      } else if (ours) {
        site = com::ComPtr<host::ControlSite>::Attach(new host::ControlSite(window_, L"FileUpload"));
        site->AddRef();
        ControlClient made;
        std::wstring step;
        ASSERT_EQ(site->Embed(made.Get(), nullptr, RECT{0, 0, 400, 250}, &step), S_OK) << step;
        unknown = com::ComPtr<IUnknown>(made.Get());
      } else {
        Pump();
        ASSERT_EQ(get(window_, unknown.Put()), S_OK);
      }
      // The page's script holds the object it calls; the container lets go of the rest.
      ControlClient control(unknown.As<IDispatch>(IID_IDispatch));
      UnderTheDialog person;
      person.Page = window_;
      person.Act = [&] {
        if (way == L"destroyed") DestroyWindow(window_);
        if (way == L"closed" || windowless) unknown.As<IOleObject>(IID_IOleObject)->Close(OLECLOSE_NOSAVE);
        if (ours) site->Unembed(), site.Reset(), unknown.Reset();
      };
      CallResult r = person.During([&] { return dialog.call(control); });
      EXPECT_TRUE(person.Acted);
      EXPECT_EQ(person.PageEnabled, windowless) << "the page waits for the window of an embedded control";
      EXPECT_EQ(r.Hr, S_OK);
      EXPECT_FALSE(IsWindow(person.Dialog));
      EXPECT_TRUE(!IsWindow(window_) || IsWindowEnabled(window_)) << "the page is given back";
      EXPECT_EQ(control.GetText(L"ErrorCode"), dialog.code);
      DestroyWindow(window_);
      window_ = nullptr;
    }
  }
  EXPECT_EQ(TempCopies(), copies) << "a fetched copy was left behind";
  EXPECT_TRUE(ControlClient().Call(L"AddVirtualFile", {Text(L"/srv/next.txt")}).Bool()) << "the next control works";
}

}  // namespace
}  // namespace zt::test
