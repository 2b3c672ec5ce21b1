#include "dialog_driver.h"

#include <oleacc.h>

#include <commctrl.h>

namespace zt::test {

const wchar_t kStatusTitle[] = L"\uD30C\uC77C \uC5C5\uB85C\uB4DC \uC0C1\uD0DC \uC708\uB3C4\uC6B0";

namespace {

struct Search {
  const std::function<bool(HWND)>* Match;
  HWND Found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM lp) {
  auto* search = reinterpret_cast<Search*>(lp);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (std::wstring(cls) != L"#32770") return TRUE;
  if (!(*search->Match)(window)) return TRUE;
  search->Found = window;
  return FALSE;
}

bool HasChildOfClass(HWND window, const wchar_t* className) {
  return FindWindowExW(window, nullptr, className, nullptr) != nullptr;
}

// The file name field: an edit of its own, or the edit of a combo box.
constexpr int kFileNameEdit = 0x480, kFileNameCombo = 0x47C;

}  // namespace

HWND FindDialog(const wchar_t* title, DWORD timeoutMs) {
  return FindDialogWhere([&](HWND window) { return TextOf(window) == title; }, timeoutMs);
}

HWND FindDialogWhere(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
  const std::function<bool(HWND)> usable = [&](HWND window) {
    return IsWindowVisible(window) && IsWindowEnabled(window) && match(window);
  };
  Search search{&usable};
  WaitUntil(
      [&] {
        EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
        return search.Found != nullptr;
      },
      timeoutMs);
  return search.Found;
}

HWND FindAnyDialog(const wchar_t* title) {
  const std::function<bool(HWND)> match = [&](HWND window) { return TextOf(window) == title; };
  Search search{&match};
  EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND FindFileDialog(DWORD timeoutMs) {
  return FindDialogWhere(
      [](HWND window) { return GetDlgItem(window, kFileNameEdit) || GetDlgItem(window, kFileNameCombo); }, timeoutMs);
}

void TypeFileName(HWND dialog, const std::wstring& text) {
  HWND field = GetDlgItem(dialog, kFileNameEdit);
  if (!field) field = GetDlgItem(dialog, kFileNameCombo);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

HWND FindFolderBrowser(DWORD timeoutMs) {
  return FindDialogWhere(
      [](HWND window) { return HasChildOfClass(window, L"SysTreeView32"); }, timeoutMs);
}

namespace {
AccessibleNode Read(IAccessible* object, LONG child) {
  VARIANT id{}, role{}, state{};
  id.vt = VT_I4;
  id.lVal = child;
  AccessibleNode node;
  BSTR name = nullptr;
  if (object->get_accName(id, &name) == S_OK && name) node.Name = name;
  SysFreeString(name);
  if (SUCCEEDED(object->get_accRole(id, &role)) && role.vt == VT_I4) node.Role = role.lVal;
  if (SUCCEEDED(object->get_accState(id, &state)) && state.vt == VT_I4) node.State = state.lVal;
  return node;
}
}  // namespace

std::wstring AccessibleName(HWND window) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the proxy is a COM object
  IAccessible* object = nullptr;
  std::wstring found = L"<none>";
  if (SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(&object)))) {
    found = Read(object, CHILDID_SELF).Name;
    object->Release();
  }
  CoUninitialize();
  return found;
}

std::vector<AccessibleNode> AccessibleWalk(HWND window) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<AccessibleNode> nodes;
  IAccessible* client = nullptr;
  VARIANT children[32] = {};
  LONG got = 0;
  if (SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(&client))) &&
      SUCCEEDED(AccessibleChildren(client, 0, 32, children, &got))) {
    for (VARIANT& child : children) {
      IOleWindow* holder = nullptr;
      HWND inner = nullptr;
      IAccessible* object = nullptr;
      if (child.vt == VT_I4) nodes.push_back(Read(client, child.lVal));
      if (child.vt == VT_DISPATCH && SUCCEEDED(child.pdispVal->QueryInterface(IID_PPV_ARGS(&holder)))) {
        holder->GetWindow(&inner);
        holder->Release();
      }
      if (inner && SUCCEEDED(AccessibleObjectFromWindow(inner, OBJID_CLIENT, IID_PPV_ARGS(&object)))) {
        nodes.push_back(Read(object, CHILDID_SELF));
        object->Release();
      }
      VariantClear(&child);
    }
  }
  if (client) client->Release();
  CoUninitialize();
  return nodes;
}

AccessibleNode NodeNamed(const std::vector<AccessibleNode>& nodes, const std::wstring& prefix) {
  for (const AccessibleNode& node : nodes)
    if (node.Name.rfind(prefix, 0) == 0 && !(node.State & STATE_SYSTEM_INVISIBLE)) return node;
  return {};
}

std::vector<std::wstring> StaticTexts(HWND window) {
  std::vector<std::wstring> texts;
  for (HWND child = FindWindowExW(window, nullptr, L"Static", nullptr); child;
       child = FindWindowExW(window, child, L"Static", nullptr))
    texts.push_back(TextOf(child));
  return texts;
}

std::wstring MessageBoxText(HWND box) {
  // The message box's text is its static child 0xFFFF.
  return ItemText(box, 0xFFFF);
}

bool ShowsStopIcon(HWND box) {
  const HICON stop = LoadIconW(nullptr, IDI_HAND);
  for (HWND child = FindWindowExW(box, nullptr, L"Static", nullptr); child;
       child = FindWindowExW(box, child, L"Static", nullptr)) {
    if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == stop) return true;
  }
  return false;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &length)) {
    return L"<no answer>";
  }
  return std::wstring(text, length);
}

std::wstring ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

int BarPosition(HWND dialog, int id) {
  return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0));
}

bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressEscape(HWND dialog) {
  PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void PressMnemonic(HWND dialog, wchar_t letter) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
  PostMessageW(gui.hwndFocus ? gui.hwndFocus : dialog, WM_SYSCHAR, letter, 0x20000001);  // bit 29: Alt held
}

namespace {
WinEventWatch* g_events = nullptr;
}

WinEventWatch::WinEventWatch() {
  g_events = this;
  hook_ = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &WinEventWatch::Hook, GetCurrentProcessId(), 0,
                          WINEVENT_OUTOFCONTEXT);
}

WinEventWatch::~WinEventWatch() {
  if (hook_) UnhookWinEvent(hook_);
  g_events = nullptr;
}

void CALLBACK WinEventWatch::Hook(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (!g_events || !window) return;
  IAccessible* source = nullptr;
  VARIANT id{};
  std::wstring name;
  if (SUCCEEDED(AccessibleObjectFromEvent(window, object, child, &source, &id)) && source) {
    name = Read(source, id.lVal).Name;
    source->Release();
  }
  g_events->seen_.push_back({event, window, object, child, GetDlgCtrlID(window), TextOf(window), name});
}

std::vector<WinEventWatch::Seen> WinEventWatch::Of(DWORD event, int id) const {
  std::vector<Seen> found;
  for (const Seen& s : seen_)
    if (s.Event == event && (id == -1 || s.Id == id)) found.push_back(s);
  return found;
}

void PressCloseBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

namespace {
INPUT Key(WORD key, wchar_t unit, DWORD up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = key;
  in.ki.wScan = unit ? unit : static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (unit ? KEYEVENTF_UNICODE : 0) | up;
  return in;
}
void Send(std::vector<INPUT> in) {
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
  Sleep(150);  // handled before the person looks again
}
}  // namespace

void PressKeys(std::initializer_list<WORD> keys, WORD held) {
  for (WORD key : keys) {
    if (!held) Send({Key(key, 0, 0), Key(key, 0, KEYEVENTF_KEYUP)});
    else Send({Key(held, 0, 0), Key(key, 0, 0), Key(key, 0, KEYEVENTF_KEYUP), Key(held, 0, KEYEVENTF_KEYUP)});
  }
}

void TypeText(const std::wstring& text) {
  std::vector<INPUT> in;
  for (wchar_t unit : text) in.insert(in.end(), {Key(0, unit, 0), Key(0, unit, KEYEVENTF_KEYUP)});
  Send(std::move(in));
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  return GetGUIThreadInfo(thread, &gui) ? gui.hwndFocus : nullptr;
}

std::vector<std::vector<std::wstring>> ListRows(HWND list, int columns) {
  // The list lives in this process: its texts can be asked for directly.
  std::vector<std::vector<std::wstring>> rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < count; ++r) {
    std::vector<std::wstring> row;
    for (int c = 0; c < columns; ++c) {
      wchar_t text[260] = {};
      LVITEMW item{};
      item.iSubItem = c;
      item.pszText = text;
      item.cchTextMax = 260;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
      row.emplace_back(text);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

int Picture::DarkPixels(int x0, int y0, int x1, int y1, int threshold) const {
  int n = 0;
  for (int y = y0; y < y1 && y < Height; ++y) {
    for (int x = x0; x < x1 && x < Width; ++x) {
      std::uint32_t p = At(x, y);
      if (((p >> 16) & 255) < static_cast<unsigned>(threshold) && ((p >> 8) & 255) < static_cast<unsigned>(threshold) &&
          (p & 255) < static_cast<unsigned>(threshold)) {
        ++n;
      }
    }
  }
  return n;
}

bool Picture::SaveBmp(const std::wstring& path) const {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = Width;
  info.biHeight = -Height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  const DWORD bytes = static_cast<DWORD>(Pixels.size() * 4);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, &file, sizeof(file), &written, nullptr) && WriteFile(h, &info, sizeof(info), &written, nullptr) &&
            WriteFile(h, Pixels.data(), bytes, &written, nullptr);
  CloseHandle(h);
  return ok;
}

Picture CaptureClient(HWND window) {
  Picture picture;
  RECT r;
  GetClientRect(window, &r);
  picture.Width = r.right;
  picture.Height = r.bottom;
  if (picture.Width <= 0 || picture.Height <= 0) return picture;
  picture.Pixels.resize(static_cast<std::size_t>(picture.Width) * picture.Height);
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = picture.Width;
  info.bmiHeader.biHeight = -picture.Height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, picture.Width, picture.Height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* source = static_cast<const std::uint32_t*>(bits);
  for (std::size_t i = 0; i < picture.Pixels.size(); ++i) picture.Pixels[i] = source[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return picture;
}

std::string PatternBytes(std::uint32_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::uint32_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::wstring MakePatternFile(const std::wstring& path, std::uint32_t size, std::uint32_t seed) {
  const std::string bytes = PatternBytes(size, seed);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  if (size) WriteFile(h, bytes.data(), size, &written, nullptr);
  CloseHandle(h);
  return path;
}

}  // namespace zt::test
