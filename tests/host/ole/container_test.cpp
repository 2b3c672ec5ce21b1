// The control's embedding seen from a container: in-place activation puts
// its window inside the container's, the site's rectangle moves it, keys
// reach it once it is active, and a container drawing it without a window
// gets the white fill and the ellipse.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "control_site.h"
#include "test_control.h"

namespace zt::ole::testing {
namespace {

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZTOleTestContainer";
    RegisterClassW(&wc);
    window_ = CreateWindowW(wc.lpszClassName, L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                            0, 0, 500, 400, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    control_ = new TestControl();
    site_ = new host::ControlSite(window_, L"FileUpload");
  }
  void TearDown() override {
    site_->Unembed();
    site_->Release();
    control_->Release();
    DestroyWindow(window_);
  }
  HRESULT Embed(RECT r) {
    std::wstring step;
    return site_->Embed(control_->Unknown(), nullptr, r, &step);
  }
  static RECT ClientRectIn(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  HWND window_ = nullptr;
  TestControl* control_ = nullptr;
  host::ControlSite* site_ = nullptr;
};

TEST_F(ContainerTest, InPlaceActivationMakesAChildStaticWindowThatFollowsTheSite) {
  ASSERT_EQ(Embed(RECT{10, 20, 310, 220}), S_OK);
  EXPECT_TRUE(site_->InPlaceActive());
  HWND w = control_->ControlWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w, control_->created);
  EXPECT_EQ(GetParent(w), window_);
  EXPECT_TRUE(IsWindowVisible(w));
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  EXPECT_EQ(lstrcmpiW(cls, L"Static"), 0);
  RECT r = ClientRectIn(w, window_);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  ASSERT_FALSE(control_->resizes.empty());
  EXPECT_EQ(control_->resizes.back().cx, 300);

  site_->Resize(RECT{0, 0, 500, 120});
  r = ClientRectIn(w, window_);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right - r.left, 500);
  EXPECT_EQ(r.bottom - r.top, 120);
  ASSERT_FALSE(control_->resizes.empty());
  EXPECT_EQ(control_->resizes.back().cx, 500);
  EXPECT_EQ(control_->resizes.back().cy, 120);

  // Deactivation takes the window away and tells the site.
  site_->Unembed();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(control_->ControlWindow(), nullptr);
  EXPECT_FALSE(site_->InPlaceActive());
}

TEST_F(ContainerTest, KeysReachTheControlOnlyOnceItIsActive) {
  ASSERT_EQ(Embed(RECT{0, 0, 200, 100}), S_OK);
  HWND w = control_->ControlWindow();
  MSG key = {};
  key.hwnd = w;
  key.message = WM_KEYDOWN;
  key.wParam = VK_DELETE;
  // Only in place active: the container dispatches keys itself.
  EXPECT_FALSE(site_->TranslateKey(&key));

  auto ole_object = com::ComPtr<IUnknown>(control_->Unknown()).As<IOleObject>(IID_IOleObject);
  RECT r = {0, 0, 200, 100};
  IOleClientSite* client = site_;
  ASSERT_EQ(ole_object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, client, 0, window_, &r), S_OK);
  EXPECT_EQ(GetFocus(), w);
  control_->messages.clear();
  EXPECT_TRUE(site_->TranslateKey(&key));
  EXPECT_NE(std::find(control_->messages.begin(), control_->messages.end(), UINT(WM_KEYDOWN)),
            control_->messages.end());

  // A key for another window is left to the container.
  MSG other = key;
  other.hwnd = window_;
  EXPECT_FALSE(site_->TranslateKey(&other));
}

TEST_F(ContainerTest, InactiveControlDrawsWhiteFillAndInscribedEllipse) {
  constexpr int kW = 120, kH = 80;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, kW + 20, kH + 20);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all = {0, 0, kW + 20, kH + 20};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &all, red);
  DeleteObject(red);

  auto view = com::ComPtr<IUnknown>(control_->Unknown()).As<IViewObject2>(IID_IViewObject2);
  ASSERT_TRUE(view);
  RECTL bounds = {10, 10, 10 + kW, 10 + kH};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);

  auto at = [dc](int x, int y) { return GetPixel(dc, x, y) & 0xFFFFFF; };
  const COLORREF white = RGB(255, 255, 255), black = 0, red_px = RGB(255, 0, 0);
  EXPECT_EQ(at(5, 5), red_px);              // outside the bounds: untouched
  EXPECT_EQ(at(11, 11), white);             // corner of the bounds: the fill
  EXPECT_EQ(at(10 + kW / 2, 10 + kH / 2), white);  // inside the ellipse
  EXPECT_EQ(at(10 + kW / 2, 10), black);    // the ellipse touches the top edge
  EXPECT_EQ(at(10, 10 + kH / 2), black);    // and the left edge
  EXPECT_EQ(at(10 + kW / 2, 10 + kH - 1), black);  // and the bottom
  // Nothing of the old picture is left inside the bounds.
  int reds = 0;
  for (int y = 10; y < 10 + kH; ++y) {
    for (int x = 10; x < 10 + kW; ++x) reds += at(x, y) == red_px;
  }
  EXPECT_EQ(reds, 0);

  // Only the content aspect is drawn, and only with a DC to draw on.
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0),
            E_INVALIDARG);

  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
}

TEST_F(ContainerTest, ObjectReportsItsMiscStatusAndExtent) {
  auto ole_object = com::ComPtr<IUnknown>(control_->Unknown()).As<IOleObject>(IID_IOleObject);
  DWORD status = 0;
  ASSERT_EQ(ole_object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 0x20191u);
  SIZEL size = {5000, 2500};
  ASSERT_EQ(ole_object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  SIZEL back = {};
  ASSERT_EQ(ole_object->GetExtent(DVASPECT_CONTENT, &back), S_OK);
  EXPECT_EQ(back.cx, 5000);
  EXPECT_EQ(back.cy, 2500);
  SIZEL negative = {-1, 10};
  EXPECT_EQ(ole_object->SetExtent(DVASPECT_CONTENT, &negative), E_INVALIDARG);
}

}  // namespace
}  // namespace zt::ole::testing
