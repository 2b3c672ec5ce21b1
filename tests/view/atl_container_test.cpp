// The control in a container we did not write: Wine's ATL (atl.dll's
// AtlAxWin window class), which creates, sites and activates it from its
// registered ProgID. The list view must show, click and rebuild there too.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objsafe.h>

#include "control_client.h"
#include "control_site.h"
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

}  // namespace
}  // namespace zt::test
