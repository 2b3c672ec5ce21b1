// Posts one file through the real control, as a page does: loads the module,
// creates the control through its class factory and calls URL, AddLocalFile
// and PostFile through IDispatch. Reports the time PostFile took.
// Usage: zt_control_post <module.ocx> <port> <file>
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
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
  const std::wstring url = L"http://127.0.0.1:" + std::wstring(argv[2]) + L"/post";
  if (FAILED(Invoke(control, L"URL", DISPATCH_PROPERTYPUT, {Text(url)}, nullptr)) ||
      FAILED(Invoke(control, L"AddLocalFile", DISPATCH_METHOD, {Text(argv[3])}, &ignored)))
    return 1;
  VariantClear(&ignored);

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HRESULT hr = Invoke(control, L"PostFile", DISPATCH_METHOD, {}, &ignored);
  QueryPerformanceCounter(&end);
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
  return SUCCEEDED(hr) && statusCode == 200 ? 0 : 1;
}
