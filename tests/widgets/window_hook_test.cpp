// The one way the module hooks a window of another class: what a container
// that subclasses the same window after us (as browsers do) must still get.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/window_hook.h"

namespace zt::test {
namespace {

// Counts the messages it sees of one kind; may destroy its window in one.
class Counter final : public win::WindowHook {
public:
  int Seen = 0, Finals = 0;
  int* DepthInDestroy = nullptr;  // how deep WM_DESTROY came
  bool DestroyOnSeen = false;
  bool* Deleted = nullptr;  // set when it deletes itself at the final message

  ~Counter() override {
    if (Deleted) *Deleted = true;
  }

private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_USER + 7) {
      ++Seen;
      if (DestroyOnSeen) DestroyWindow(Window());
      return 70;
    }
    if (msg == WM_DESTROY && DepthInDestroy) *DepthInDestroy = Depth();
    return CallPrevious(msg, wp, lp);
  }
  void OnFinalMessage(HWND) override {
    ++Finals;
    if (Deleted) delete this;
  }
};

// A later subclasser of the raw kind: it keeps the procedure it replaced.
WNDPROC g_before = nullptr;
int g_laterSeen = 0;
LRESULT CALLBACK Later(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_USER + 7 || msg == WM_NCDESTROY) ++g_laterSeen;
  return CallWindowProcW(g_before, window, msg, wp, lp);
}

HWND MakeStatic() {
  return CreateWindowW(L"STATIC", L"start", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
}

TEST(WindowHook, ALaterSubclasserKeepsWorkingWhenWeGoAndTheLastMessageIsOurs) {
  // Hooked, then subclassed again by someone else.
  HWND window = MakeStatic();
  ASSERT_NE(window, nullptr);
  Counter ours;
  ASSERT_TRUE(ours.Hook(window));
  EXPECT_FALSE(Counter().Hook(window)) << "the window's slot is ours";
  g_laterSeen = 0;
  g_before = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Later)));
  EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 70);
  EXPECT_EQ(ours.Seen, 1);
  EXPECT_EQ(g_laterSeen, 1);

  // We go first: the later procedure stays the window's, and what it passes
  // on reaches the window's own class through our place in its chain.
  ours.Unhook();
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&Later));
  EXPECT_NE(SendMessageW(window, WM_USER + 7, 0, 0), 70);
  EXPECT_EQ(ours.Seen, 1);
  EXPECT_EQ(g_laterSeen, 2);
  SetWindowTextW(window, L"still a static");
  wchar_t text[32] = {};
  GetWindowTextW(window, text, 32);
  EXPECT_STREQ(text, L"still a static");
  DestroyWindow(window);
  EXPECT_EQ(g_laterSeen, 3) << "the later subclasser saw the last message";
  EXPECT_EQ(ours.Finals, 0) << "no final message for an owner that had gone";

  // Unhooked while ours is current: the class's own procedure is back.
  window = MakeStatic();
  const LONG_PTR own = GetWindowLongPtrW(window, GWLP_WNDPROC);
  Counter again;
  ASSERT_TRUE(again.Hook(window));
  again.Unhook();
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), own);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0);
  DestroyWindow(window);

  // A handler that destroys its own window: the final message comes inside
  // it (two messages deep), once, and the owner may delete itself there.
  window = MakeStatic();
  bool deleted = false;
  auto* self = new Counter;
  self->DestroyOnSeen = true;
  self->Deleted = &deleted;
  int depthInDestroy = -1;
  self->DepthInDestroy = &depthInDestroy;
  ASSERT_TRUE(self->Hook(window));
  EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 70);
  EXPECT_EQ(depthInDestroy, 2);
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace zt::test
