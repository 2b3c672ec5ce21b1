// ztupload-host: embeds an ActiveX control in a window the way a browser
// does and runs a JScript or VBScript file against it.
//
//   ztupload-host.exe [--progid P | --clsid {C} | --dll file [--clsid {C}] | --no-control]
//                     [--params file] [--item Name] [--size WxH] [--stay]
//                     [--page-url URL | --no-page-url]
//                     [--screenshot out.bmp] [--log out.txt] script.js|script.vbs
//
// The script sees the control as the item (default FileUpload) and an
// output object as both `Host` and `WScript`: Echo(args...), Quit(code),
// Sleep(ms) (runs the window's messages meanwhile), Screenshot(path),
// ScreenshotLater(title, path, ms).
// Events of the control call the script's <item>_<Event> functions.
//
// Exit code: the code given to Quit; 0 when the script ends without Quit
// (with --stay the host first keeps running until Quit or the window is
// closed); 1 after a syntax error or an uncaught exception, with the
// engine's line and text on stderr; 2 for a bad command line; 3 when the
// script, the engine or the control cannot be loaded. Quit works by
// raising an exception through the script; a script that catches it is
// unwound again by its next call to Host.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "control_site.h"
#include "event_router.h"
#include "host_object.h"
#include "host_output.h"
#include "param_bag.h"
#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "run_state.h"
#include "screenshot.h"
#include "script_site.h"

namespace zt::host {
namespace {

struct Options {
  std::wstring progid = L"ZTFILEUPLOAD.ZTFileUploadCtrl.1";
  std::wstring clsid;
  std::wstring dll;
  bool no_control = false;
  std::wstring params;
  std::wstring item = L"FileUpload";
  int width = 600, height = 400;
  bool stay = false;
  std::wstring screenshot;
  std::wstring log;
  std::wstring script;
  bool page = false;  // act as a browser showing page_url (none when empty)
  std::wstring page_url;
};

const wchar_t kUsage[] =
    L"usage: ztupload-host [--progid P | --clsid {C} | --dll file [--clsid {C}] | --no-control]\n"
    L"                     [--params file] [--item Name] [--size WxH] [--stay]\n"
    L"                     [--page-url URL | --no-page-url]\n"
    L"                     [--screenshot out.bmp] [--log out.txt] script.js|script.vbs";

bool ParseOptions(int argc, wchar_t** argv, Options& o, std::wstring& error) {
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    auto value = [&](std::wstring& out) {
      if (i + 1 >= argc) {
        error = a + L" needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (a == L"--progid") {
      if (!value(o.progid)) return false;
    } else if (a == L"--clsid") {
      if (!value(o.clsid)) return false;
    } else if (a == L"--dll") {
      if (!value(o.dll)) return false;
    } else if (a == L"--no-control") {
      o.no_control = true;
    } else if (a == L"--params") {
      if (!value(o.params)) return false;
    } else if (a == L"--item") {
      if (!value(o.item)) return false;
    } else if (a == L"--page-url") {
      o.page = true;
      if (!value(o.page_url)) return false;
    } else if (a == L"--no-page-url") {
      o.page = true;
    } else if (a == L"--stay") {
      o.stay = true;
    } else if (a == L"--size") {
      std::wstring s;
      if (!value(s)) return false;
      if (swscanf(s.c_str(), L"%dx%d", &o.width, &o.height) != 2 || o.width <= 0 || o.height <= 0) {
        error = L"--size wants WxH, not " + s;
        return false;
      }
    } else if (a == L"--screenshot") {
      if (!value(o.screenshot)) return false;
    } else if (a == L"--log") {
      if (!value(o.log)) return false;
    } else if (a.size() > 1 && a[0] == L'-') {
      error = L"unknown option " + a;
      return false;
    } else if (o.script.empty()) {
      o.script = a;
    } else {
      error = L"more than one script: " + a;
      return false;
    }
  }
  if (o.script.empty()) {
    error = L"no script given";
    return false;
  }
  if (o.item.empty()) {
    error = L"--item needs a name";
    return false;
  }
  return true;
}

bool ReadFileBytes(const std::wstring& path, std::string& out) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(f, &size) && size.QuadPart < 64 * 1024 * 1024;
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD n = 0;
    ok = out.empty() || (ReadFile(f, out.data(), static_cast<DWORD>(out.size()), &n, nullptr) && n == out.size());
  }
  CloseHandle(f);
  return ok;
}

// Scripts are UTF-8 (with or without a signature) or UTF-16 LE with one.
std::wstring DecodeScript(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  }
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), text.data(), n);
  return text;
}

const wchar_t* LanguageOf(const std::wstring& path) {
  size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring::npos) return nullptr;
  std::wstring ext = path.substr(dot);
  for (auto& c : ext) c = static_cast<wchar_t>(towlower(c));
  if (ext == L".js") return L"JScript";
  if (ext == L".vbs") return L"VBScript";
  return nullptr;
}

std::wstring Hex(HRESULT hr) {
  wchar_t buf[16];
  swprintf(buf, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

// The coclass of a module's type library that can be created: what --dll
// alone embeds.
HRESULT CreatableClassOf(const std::wstring& dll, CLSID& clsid) {
  com::ComPtr<ITypeLib> lib;
  HRESULT hr = LoadTypeLibEx(dll.c_str(), REGKIND_NONE, lib.Put());
  if (FAILED(hr)) return hr;
  for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
    com::ComPtr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfo(i, info.Put()))) continue;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) continue;
    bool found = attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    if (found) clsid = attr->guid;
    info->ReleaseTypeAttr(attr);
    if (found) return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT CreateControl(const Options& o, com::ComPtr<IUnknown>& control, std::wstring& what) {
  CLSID clsid;
  HRESULT hr;
  if (!o.dll.empty()) {
    // Straight from the module, without registration.
    what = L"loading " + o.dll;
    if (!o.clsid.empty()) {
      hr = CLSIDFromString(o.clsid.c_str(), &clsid);
    } else {
      hr = CreatableClassOf(o.dll, clsid);
    }
    if (FAILED(hr)) return hr;
    HMODULE module = LoadLibraryW(o.dll.c_str());
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!get) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    com::ComPtr<IClassFactory> factory;
    hr = get(clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IUnknown, control.PutVoid());
  }
  if (!o.clsid.empty()) {
    what = L"creating " + o.clsid;
    hr = CLSIDFromString(o.clsid.c_str(), &clsid);
  } else {
    what = L"creating " + o.progid;
    hr = CLSIDFromProgID(o.progid.c_str(), &clsid);
  }
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, control.PutVoid());
}

com::ComPtr<ITypeInfo> ClassInfoOf(IUnknown* object) {
  com::ComPtr<ITypeInfo> info;
  if (auto pci = com::ComPtr<IUnknown>(object).As<IProvideClassInfo>(IID_IProvideClassInfo)) {
    pci->GetClassInfo(info.Put());
  }
  return info;
}

ControlSite* g_site = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      if (g_site) {
        RECT r = {0, 0, LOWORD(lp), HIWORD(lp)};
        g_site->Resize(r);
      }
      return 0;
    case WM_SETFOCUS:
      if (g_site) g_site->FocusControl();
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

class Host {
 public:
  int Run(const Options& o);

 private:
  // Runs messages until Quit (or the window closes) or ms have passed;
  // INFINITE waits for the end.
  void Pump(DWORD ms);
  void Dispatch(MSG& msg);

  Output output_;
  RunState state_;
  HWND window_ = nullptr;
  bool quit_seen_ = false;
};

void Host::Dispatch(MSG& msg) {
  if (g_site && g_site->TranslateKey(&msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Host::Pump(DWORD ms) {
  DWORD start = GetTickCount();
  while (!quit_seen_) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit_seen_ = true;
        return;
      }
      Dispatch(msg);
    }
    DWORD wait = INFINITE;
    if (ms != INFINITE) {
      DWORD spent = GetTickCount() - start;
      if (spent >= ms) return;
      wait = ms - spent;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

int Host::Run(const Options& o) {
  if (!o.log.empty() && !output_.OpenLog(o.log)) {
    output_.Line(L"ztupload-host: cannot create the log " + o.log, true);
    return kExitSetup;
  }
  const wchar_t* language = LanguageOf(o.script);
  if (!language) {
    output_.Line(L"ztupload-host: the script must end in .js or .vbs: " + o.script, true);
    return kExitUsage;
  }
  std::string bytes;
  if (!ReadFileBytes(o.script, bytes)) {
    output_.Line(L"ztupload-host: cannot read the script " + o.script, true);
    return kExitSetup;
  }
  std::wstring script_text = DecodeScript(bytes);

  Params params;
  bool have_params = !o.params.empty();
  if (have_params) {
    std::string raw;
    int bad_line = 0;
    if (!ReadFileBytes(o.params, raw)) {
      output_.Line(L"ztupload-host: cannot read the parameters " + o.params, true);
      return kExitSetup;
    }
    if (!ParseParams(raw, params, &bad_line)) {
      output_.Line(L"ztupload-host: " + o.params + L"(" + std::to_wstring(bad_line) +
                       L"): expected name=value",
                   true);
      return kExitUsage;
    }
  }

  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"ZTUploadHostWindow";
  RegisterClassW(&wc);
  RECT frame = {0, 0, o.width, o.height};
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&frame, style, FALSE);
  window_ = CreateWindowW(wc.lpszClassName, L"ztupload-host", style, 0, 0, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window_) {
    output_.Line(L"ztupload-host: cannot create the window", true);
    return kExitSetup;
  }
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);

  com::ComPtr<IUnknown> control;
  ControlSite* site = nullptr;
  if (!o.no_control) {
    std::wstring what;
    HRESULT hr = CreateControl(o, control, what);
    if (FAILED(hr)) {
      output_.Line(L"ztupload-host: " + what + L" failed (" + Hex(hr) + L")", true);
      DestroyWindow(window_);
      return kExitSetup;
    }
    site = new ControlSite(window_, o.item);
    g_site = site;
    if (o.page) site->PresentPage(o.page_url);
    com::ComPtr<IPropertyBag> bag;
    if (have_params) *bag.Put() = new ParamBag(params);
    RECT client;
    GetClientRect(window_, &client);
    std::wstring step;
    hr = site->Embed(control.Get(), bag.Get(), client, &step);
    if (FAILED(hr)) {
      output_.Line(L"ztupload-host: " + step + L" failed (" + Hex(hr) + L")", true);
      site->Unembed();
      g_site = nullptr;
      site->Release();
      control.Reset();
      DestroyWindow(window_);
      return hr == E_ACCESSDENIED ? kExitUnsafe : kExitSetup;
    }
  }
  // A browser lets a page's script reach only a control safe for scripting there.
  if (site && !site->SafeToScript(control.Get())) {
    output_.Line(L"ztupload-host: IObjectSafety (the control is not safe to script on this page) failed", true);
    site->Unembed();
    g_site = nullptr;
    site->Release();
    control.Reset();
    DestroyWindow(window_);
    return kExitUnsafe;
  }

  size_t slash = o.script.find_last_of(L"\\/");
  std::wstring script_name = slash == std::wstring::npos ? o.script : o.script.substr(slash + 1);
  auto* script = new ScriptSite(&output_, &state_, window_, script_name);
  HostServices services;
  services.output = &output_;
  services.state = &state_;
  services.pump = [this](DWORD ms) { Pump(ms); };
  HWND window = window_;
  services.screenshot = [window](const std::wstring& path) { return SaveWindowBitmap(window, path); };
  com::ComPtr<IDispatch> host_object = com::ComPtr<IDispatch>::Attach(new HostObject(services));

  EventRouter* router = nullptr;
  int exit_code = kExitOk;
  HRESULT hr = script->Start(language);
  if (FAILED(hr)) {
    script->ReportFailure(std::wstring(L"cannot start the ") + language + L" engine", hr);
    exit_code = kExitSetup;
  } else {
    script->AddItem(L"Host", host_object.Get(), nullptr);
    script->AddItem(L"WScript", host_object.Get(), nullptr);
    if (control) {
      script->AddItem(o.item, control.Get(), ClassInfoOf(control.Get()).Get());
      router = new EventRouter(o.item, [script] { return script->ScriptDispatch(); }, &output_, &state_);
      router->Connect(control.Get());
    }
    hr = script->Run(script_text);
    if (FAILED(hr) && !state_.quit_requested && !script->ErrorReported()) {
      script->ReportFailure(L"the script failed", hr);
    }
    if (FAILED(hr) && !state_.quit_requested) state_.script_failed = true;
    if (o.stay && !state_.quit_requested && !state_.script_failed) Pump(INFINITE);
    if (!o.screenshot.empty() && IsWindow(window_) && !SaveWindowBitmap(window_, o.screenshot)) {
      output_.Line(L"ztupload-host: cannot save the screenshot " + o.screenshot, true);
    }
    if (state_.quit_requested) {
      exit_code = state_.quit_code;
    } else if (state_.script_failed) {
      exit_code = kExitScriptError;
    }
  }

  // Teardown in the reverse order: events, script, control, window.
  if (router) {
    router->Disconnect();
    router->Release();
  }
  script->Close();
  script->Release();
  host_object.Reset();
  if (site) {
    site->Unembed();
    g_site = nullptr;
    site->Release();
  }
  control.Reset();
  if (IsWindow(window_)) DestroyWindow(window_);
  return exit_code;
}

}  // namespace
}  // namespace zt::host

int wmain(int argc, wchar_t** argv) {
  zt::host::Options options;
  std::wstring error;
  if (!zt::host::ParseOptions(argc, argv, options, error)) {
    fwprintf(stderr, L"ztupload-host: %ls\n%ls\n", error.c_str(), zt::host::kUsage);
    return zt::host::kExitUsage;
  }
  // OLE, not just COM: the control registers a drop target and uses the
  // clipboard formats of drag and drop.
  if (FAILED(OleInitialize(nullptr))) {
    fwprintf(stderr, L"ztupload-host: OleInitialize failed\n");
    return zt::host::kExitSetup;
  }
  int code;
  {
    zt::host::Host host;
    code = host.Run(options);
  }
  OleUninitialize();
  return code;
}
