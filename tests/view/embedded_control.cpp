#include "embedded_control.h"

namespace zt::test {

void EmbeddedControlTest::SetUp() {
  OleInitialize(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZTViewTestPage";
  RegisterClassW(&wc);
  page_ = CreateWindowW(wc.lpszClassName, L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 1100, 500,
                        nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(page_, nullptr);
  site_ = new host::ControlSite(page_, L"FileUpload");
  site_->AddRef();
  Embed(601, 300);
}

void EmbeddedControlTest::TearDown() {
  advised_.reset();
  if (site_) {
    site_->Unembed();
    site_->Release();
  }
  control_ = ControlClient(com::ComPtr<IDispatch>());
  DestroyWindow(page_);
  Pump();
}

void EmbeddedControlTest::Embed(int width, int height) {
  control_ = ControlClient();
  ASSERT_TRUE(control_.Get());
  std::wstring step;
  ASSERT_EQ(site_->Embed(control_.Get(), nullptr, RECT{0, 0, width, height}, &step), S_OK) << step;
  advised_ = std::make_unique<Advised>(control_.Get());
  Pump();
}

HWND EmbeddedControlTest::ControlWindow() const {
  auto in_place = com::ComPtr<IDispatch>(control_.Get()).As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  HWND w = nullptr;
  if (in_place) in_place->GetWindow(&w);
  return w;
}

void EmbeddedControlTest::Put(const wchar_t* name, long value) {
  ASSERT_EQ(control_.Put(name, Long(value)).Hr, S_OK) << name;
  Pump();
}

Texts EmbeddedControlTest::EventArgs(DISPID id) {
  Texts args;
  for (const FiredEvent& e : Events())
    if (e.Id == id) args.push_back(e.Args.empty() ? L"" : e.Args[0]);
  return args;
}

void EmbeddedControlTest::AddFiles(const std::vector<std::pair<std::wstring, DWORD>>& files) {
  for (const auto& [name, size] : files)
    ASSERT_TRUE(control_.Call(L"AddLocalFile", {Text(folder_.MakeFile(name, size).c_str())}).Bool()) << name;
}

void EmbeddedControlTest::AddServer(const wchar_t* path, const wchar_t* size) {
  ASSERT_TRUE(control_.Call(L"AddVirtualFileWithSize", {Text(path), Text(size)}).Bool());
}

}  // namespace zt::test
