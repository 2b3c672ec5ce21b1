#pragma once
// A page window of the test's own with the control embedded in it through
// our container, its events recorded: the starting point of every test that
// uses the control's list view as a person does.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "control_client.h"
#include "control_site.h"
#include "event_sink.h"
#include "view_window.h"

namespace zt::test {

using Texts = std::vector<std::wstring>;

class EmbeddedControlTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // A new control in the page, width x height at the page's corner.
  void Embed(int width, int height);
  HWND ControlWindow() const;
  HWND List() const { return FindListView(ControlWindow()); }
  void Put(const wchar_t* name, long value);
  std::vector<FiredEvent>& Events() { return advised_->Sink().Events; }
  // The first argument of every event id fired, in order.
  Texts EventArgs(DISPID id);
  // Files made in folder_ and added with AddLocalFile, in order.
  void AddFiles(const std::vector<std::pair<std::wstring, DWORD>>& files);
  void AddServer(const wchar_t* path, const wchar_t* size = L"0");
  // ListType is a 16-bit property.
  long ListType() { return V_I2(control_.Get(L"ListType").Value.Get()); }
  long FindFilePos(const wchar_t* name) { return control_.Call(L"FindFilePos", {Text(name)}).Long(); }

  HWND page_ = nullptr;
  host::ControlSite* site_ = nullptr;
  ControlClient control_{com::ComPtr<IDispatch>()};
  std::unique_ptr<Advised> advised_;
  TempFolder folder_;
};

}  // namespace zt::test
