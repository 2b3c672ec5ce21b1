// The control in a container we did not write: Wine's ATL (atl.dll's
// AtlAxWin window class), which creates, sites and activates it from its
// registered ProgID. The list view must show, click and rebuild there too.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "control_client.h"
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
    ASSERT_TRUE(init && init());
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

}  // namespace
}  // namespace zt::test
