// Posts through the real control, as a page does: loads the module, creates
// the control through its class factory and calls URL, AddLocalFile and a
// posting member through IDispatch. Reports the time the post took.
// Usage: zt_control_post <module.ocx> <port> <file> [mode [arg]]
//   (no mode)   PostFile of the file
//   dialog      Post(true) of the file, its dialog shown
//   probe       the same, with a thread sending the dialog a message every
//               10 ms and reporting the round trips (the probe costs the
//               post time of its own, so throughput is measured without it)
//   rate K      Post(true) with KByteRate K
//   node, tus   PostFile to the Node kit's example on port (/upload): in one
//               request, or with ResumableURL set to its /tus/ endpoint
//   multi N [P] <file> is a folder of f0.bin .. f<N-1>.bin: OpenPostDialog,
//               with a thread pressing Start and, at the end, Close; P files
//               at once (ParallelCount, default 1)
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

namespace {

const CLSID kControl = {0x641FC981, 0x5EE3, 0x4800, {0x8C, 0x3C, 0x68, 0x92, 0x0A, 0xA6, 0xAC, 0x4D}};

// One Invoke by name; args first-first. Returns the HRESULT, result in *out.
HRESULT Invoke(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* out) {
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  const bool isPut = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
  EXCEPINFO info = {};
  hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out, &info, nullptr);
  for (VARIANT& v : args) VariantClear(&v);
  if (hr == DISP_E_EXCEPTION)
    std::fprintf(stderr, "%ls raised %u: %ls\n", name, info.wCode, info.bstrDescription ? info.bstrDescription : L"");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return hr;
}

VARIANT Text(const std::wstring& s) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(s.c_str());
  return v;
}

const wchar_t kStatusTitle[] = L"\uD30C\uC77C \uC5C5\uB85C\uB4DC \uC0C1\uD0DC \uC708\uB3C4\uC6B0";

HWND WaitForDialog(const std::atomic<bool>& stop) {
  while (!stop) {
    if (HWND found = FindWindowW(L"#32770", kStatusTitle)) return found;
    Sleep(5);
  }
  return nullptr;
}

// Round trips of a message to the dialog's thread while the post runs.
struct Probe {
  std::vector<double> Ms;
  void Run(const std::atomic<bool>& stop) {
    HWND dialog = WaitForDialog(stop);
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    while (!stop && dialog && IsWindow(dialog)) {
      DWORD_PTR ignored = 0;
      QueryPerformanceCounter(&a);
      if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored)) break;
      QueryPerformanceCounter(&b);
      Ms.push_back(1000.0 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart));
      Sleep(10);
    }
  }
  void Print() {
    if (Ms.empty()) {
      std::printf("probe none\n");
      return;
    }
    std::sort(Ms.begin(), Ms.end());
    std::printf("probe n %zu p50 %.2f p99 %.2f max %.2f\n", Ms.size(), Ms[Ms.size() / 2], Ms[Ms.size() * 99 / 100],
                Ms.back());
  }
};

// Presses Start, waits for the Close state and presses it.
void RunThrough(const std::atomic<bool>& stop) {
  HWND dialog = WaitForDialog(stop);
  if (!dialog) return;
  PostMessageW(GetDlgItem(dialog, 222), BM_CLICK, 0, 0);
  wchar_t caption[16] = {};
  while (!stop && IsWindow(dialog)) {
    GetWindowTextW(GetDlgItem(dialog, 217), caption, 16);
    if (std::wstring(caption) == L"Close" && IsWindowEnabled(GetDlgItem(dialog, 217))) {
      PostMessageW(GetDlgItem(dialog, 217), BM_CLICK, 0, 0);
      return;
    }
    Sleep(5);
  }
}

VARIANT Long(long n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

VARIANT Bool(bool b) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: zt_control_post <module.ocx> <port> <file>\n");
    return 2;
  }
  OleInitialize(nullptr);
  HMODULE module = LoadLibraryW(argv[1]);
  if (!module) {
    std::fprintf(stderr, "cannot load %ls: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IDispatch* control = nullptr;
  if (!get || FAILED(get(kControl, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&control)))) {
    std::fprintf(stderr, "cannot create the control\n");
    return 1;
  }
  factory->Release();

  VARIANT ignored;
  VariantInit(&ignored);
  const std::wstring mode = argc > 4 ? argv[4] : L"";
  const std::wstring server = L"http://127.0.0.1:" + std::wstring(argv[2]);
  const bool node = mode == L"node" || mode == L"tus";
  const std::wstring url = server + (node ? L"/upload" : L"/post");
  if (mode == L"tus" &&
      FAILED(Invoke(control, L"ResumableURL", DISPATCH_PROPERTYPUT, {Text(server + L"/tus/")}, nullptr)))
    return 1;
  const long arg = argc > 5 ? _wtol(argv[5]) : 0;
  if (FAILED(Invoke(control, L"URL", DISPATCH_PROPERTYPUT, {Text(url)}, nullptr))) return 1;
  if (mode == L"multi") {
    for (long i = 0; i < arg; ++i) {
      if (FAILED(Invoke(control, L"AddLocalFile", DISPATCH_METHOD,
                        {Text(std::wstring(argv[3]) + L"\\f" + std::to_wstring(i) + L".bin")}, &ignored)))
        return 1;
      VariantClear(&ignored);
    }
  } else if (FAILED(Invoke(control, L"AddLocalFile", DISPATCH_METHOD, {Text(argv[3])}, &ignored))) {
    return 1;
  }
  VariantClear(&ignored);
  const long parallel = argc > 6 ? _wtol(argv[6]) : 1;
  if (mode == L"multi" && FAILED(Invoke(control, L"ParallelCount", DISPATCH_PROPERTYPUT, {Long(parallel)}, nullptr)))
    return 1;
  if (mode == L"rate" && FAILED(Invoke(control, L"KByteRate", DISPATCH_PROPERTYPUT, {Long(arg)}, nullptr))) return 1;

  std::atomic<bool> stop{false};
  Probe probe;
  std::thread helper;
  if (mode == L"probe") helper = std::thread([&] { probe.Run(stop); });
  if (mode == L"multi") helper = std::thread([&] { RunThrough(stop); });
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HRESULT hr;
  if (mode.empty() || node) hr = Invoke(control, L"PostFile", DISPATCH_METHOD, {}, &ignored);
  else if (mode == L"multi") hr = Invoke(control, L"OpenPostDialog", DISPATCH_METHOD, {}, &ignored);
  else hr = Invoke(control, L"Post", DISPATCH_METHOD, {Bool(true)}, &ignored);
  QueryPerformanceCounter(&end);
  stop = true;
  if (helper.joinable()) helper.join();
  if (mode == L"probe") probe.Print();
  VariantClear(&ignored);
  const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);

  VARIANT status, code, bytes;
  VariantInit(&status);
  VariantInit(&code);
  VariantInit(&bytes);
  Invoke(control, L"ResponseStatusCode", DISPATCH_PROPERTYGET, {}, &status);
  Invoke(control, L"ErrorCode", DISPATCH_PROPERTYGET, {}, &code);
  Invoke(control, L"FileBytes", DISPATCH_PROPERTYGET, {}, &bytes);
  VariantChangeType(&bytes, &bytes, 0, VT_R8);
  const long statusCode = V_VT(&status) == VT_I4 ? V_I4(&status) : -1;
  const wchar_t* failure = V_VT(&code) == VT_BSTR && V_BSTR(&code) && *V_BSTR(&code) ? V_BSTR(&code) : L"-";
  std::printf("bytes %.0f seconds %.3f status %ld code %ls\n", V_VT(&bytes) == VT_R8 ? V_R8(&bytes) : 0.0, seconds,
              statusCode, failure);
  VariantClear(&code);
  control->Release();
  // The multi-file dialog leaves no reply behind (-1): its success is the run's end.
  return SUCCEEDED(hr) && (statusCode == 200 || mode == L"multi") ? 0 : 1;
}
