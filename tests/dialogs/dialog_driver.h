#pragma once
// A person at the dialogs, from a thread of the test: finds a dialog of this
// process by its title, reads its labels, bars and list, presses buttons and
// keys, and looks at its pixels.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace zt::test {

// The title both status dialogs show.
extern const wchar_t kStatusTitle[];

// A dialog (#32770) of this process titled title, once it is visible and
// enabled as a person needs it; null when none is within timeoutMs. A
// dialog that exists but stays hidden is not found: nobody could answer it.
HWND FindDialog(const wchar_t* title, DWORD timeoutMs = 15000);
// The same for the first dialog that match accepts.
HWND FindDialogWhere(const std::function<bool(HWND)>& match, DWORD timeoutMs = 15000);
// A dialog titled title whether shown or not, at this moment: for tests that
// watch what must never show.
HWND FindAnyDialog(const wchar_t* title);

// The shell's open or save dialog (the one with a file name field), and
// typing into that field.
HWND FindFileDialog(DWORD timeoutMs = 15000);
void TypeFileName(HWND dialog, const std::wstring& text);
// The shell's folder browser (the one with a folder tree).
HWND FindFolderBrowser(DWORD timeoutMs = 15000);
// A window's name as a screen reader reads it, through the system's
// accessibility proxy ("<none>" when it has none).
std::wstring AccessibleName(HWND window);
// What a screen reader finds one level down a window's client area
// (AccessibleChildren): each child window's client object, and the simple
// elements the window answers for itself; the first shown (not invisible)
// whose name starts with prefix, or an empty node.
struct AccessibleNode {
  std::wstring Name;
  long Role = 0, State = 0;
};
std::vector<AccessibleNode> AccessibleWalk(HWND window);
AccessibleNode NodeNamed(const std::vector<AccessibleNode>& nodes, const std::wstring& prefix);
// The texts of a window's STATIC children.
std::vector<std::wstring> StaticTexts(HWND window);

// A message box: its text, and whether it shows the stop icon.
std::wstring MessageBoxText(HWND box);
bool ShowsStopIcon(HWND box);
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);
// Waits until window is gone.
bool WaitGone(HWND window, DWORD timeoutMs = 15000);

std::wstring TextOf(HWND window);
std::wstring ItemText(HWND dialog, int id);
int BarPosition(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
// A click on button id, as the mouse gives it (nothing happens when disabled).
void Click(HWND dialog, int id);
// Esc as the keyboard gives it to the dialog.
void PressEscape(HWND dialog);
// Alt+letter as the keyboard gives it to the dialog's focused item: the
// dialog presses the button whose caption underlines that letter.
void PressMnemonic(HWND dialog, wchar_t letter);
// The title bar's close box.
void PressCloseBox(HWND dialog);
// Keys and text as the keyboard gives them (SendInput), each key with held
// (a modifier, or 0) down around it: they reach the foreground's focus.
void PressKeys(std::initializer_list<WORD> keys, WORD held = 0);
void TypeText(const std::wstring& text);
HWND FocusOf(DWORD thread);

// The accessibility events of this process, as a screen reader's hook gets
// them, while the watch lives. Made on the thread whose messages run (the
// events arrive through its message loop).
class WinEventWatch {
public:
  struct Seen {
    DWORD Event = 0;
    HWND Window = nullptr;
    LONG Object = 0, Child = 0;
    int Id = 0;         // the window's control id
    std::wstring Text;  // its text when the event came
    std::wstring Name;  // what a screen reader reads of the object then
  };
  WinEventWatch();
  ~WinEventWatch();
  WinEventWatch(const WinEventWatch&) = delete;
  WinEventWatch& operator=(const WinEventWatch&) = delete;
  // The events of kind event from windows with control id id (any id: -1).
  std::vector<Seen> Of(DWORD event, int id = -1) const;

private:
  static void CALLBACK Hook(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD);
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<Seen> seen_;
};

// Rows of a report list view, each row's column texts.
std::vector<std::vector<std::wstring>> ListRows(HWND list, int columns);

// The client area of a window as the screen shows it, 0x00RRGGBB per pixel.
struct Picture {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;
  std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
  // Pixels in [x0, x1) x [y0, y1) darker than threshold in every channel.
  int DarkPixels(int x0, int y0, int x1, int y1, int threshold = 100) const;
  bool SaveBmp(const std::wstring& path) const;
};
Picture CaptureClient(HWND window);

// A file of size bytes whose content differs at every offset, so a byte out
// of place shows; returns its full path.
std::wstring MakePatternFile(const std::wstring& path, std::uint32_t size, std::uint32_t seed);
std::string PatternBytes(std::uint32_t size, std::uint32_t seed);

}  // namespace zt::test
