#include "control_client.h"

#include <gtest/gtest.h>

#include <utility>

namespace zt::test {

std::wstring ModulePath() {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path = exe;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"ZTFileUpload.ocx";
}

com::ComPtr<IDispatch> NewControl() {
  static HMODULE module = LoadLibraryW(ModulePath().c_str());
  com::ComPtr<IDispatch> control;
  if (!module) {
    ADD_FAILURE() << "cannot load the module, error " << GetLastError();
    return control;
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  CLSID clsid;
  CLSIDFromString(L"{641FC981-5EE3-4800-8C3C-68920AA6AC4D}", &clsid);
  com::ComPtr<IClassFactory> factory;
  HRESULT hr = get(clsid, IID_IClassFactory, factory.PutVoid());
  EXPECT_EQ(hr, S_OK);
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.PutVoid()), S_OK);
  }
  return control;
}

CallResult::CallResult(CallResult&& o) noexcept : Hr(o.Hr), Exception(o.Exception), ArgErr(o.ArgErr) {
  *Value.Get() = *o.Value.Get();
  VariantInit(o.Value.Get());
  o.Exception = EXCEPINFO{};
}

CallResult& CallResult::operator=(CallResult&& o) noexcept {
  std::swap(Hr, o.Hr);
  std::swap(*Value.Get(), *o.Value.Get());
  std::swap(Exception, o.Exception);
  std::swap(ArgErr, o.ArgErr);
  return *this;
}

CallResult::~CallResult() {
  SysFreeString(Exception.bstrSource);
  SysFreeString(Exception.bstrDescription);
  SysFreeString(Exception.bstrHelpFile);
}

std::wstring CallResult::Text() const {
  EXPECT_EQ(V_VT(Value.Get()), VT_BSTR);
  if (V_VT(Value.Get()) != VT_BSTR) return L"<not text>";
  return std::wstring(V_BSTR(Value.Get()), SysStringLen(V_BSTR(Value.Get())));
}

long CallResult::Long() const {
  EXPECT_EQ(V_VT(Value.Get()), VT_I4);
  return V_VT(Value.Get()) == VT_I4 ? V_I4(Value.Get()) : -12345;
}

bool CallResult::Bool() const {
  EXPECT_EQ(V_VT(Value.Get()), VT_BOOL);
  return V_VT(Value.Get()) == VT_BOOL && V_BOOL(Value.Get()) == VARIANT_TRUE;
}

std::wstring CallResult::Description() const {
  return Exception.bstrDescription ? std::wstring(Exception.bstrDescription) : std::wstring();
}

VARIANT Long(long v) {
  VARIANT r;
  V_VT(&r) = VT_I4;
  V_I4(&r) = v;
  return r;
}

VARIANT Text(const wchar_t* s) {
  VARIANT r;
  V_VT(&r) = VT_BSTR;
  V_BSTR(&r) = SysAllocString(s);
  return r;
}

VARIANT Bool(bool v) {
  VARIANT r;
  V_VT(&r) = VT_BOOL;
  V_BOOL(&r) = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}

DISPID ControlClient::Id(const std::wstring& name) const {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
  HRESULT hr = control_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  EXPECT_EQ(hr, S_OK) << "no member named " << std::string(name.begin(), name.end());
  return id;
}

CallResult ControlClient::Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, bool namedPut) const {
  CallResult r;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), namedPut ? &putId : nullptr, static_cast<UINT>(reversed.size()),
                       namedPut ? 1u : 0u};
  r.Hr = control_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, r.Value.Get(), &r.Exception, &r.ArgErr);
  for (VARIANT& v : args) VariantClear(&v);
  return r;
}

CallResult ControlClient::Get(const std::wstring& name) const {
  return Invoke(Id(name), DISPATCH_PROPERTYGET, {});
}

CallResult ControlClient::Put(const std::wstring& name, VARIANT value) const {
  return Invoke(Id(name), DISPATCH_PROPERTYPUT, {value}, true);
}

CallResult ControlClient::Call(const std::wstring& name, std::vector<VARIANT> args) const {
  return Invoke(Id(name), DISPATCH_METHOD, std::move(args));
}

std::wstring ControlClient::GetText(const std::wstring& name) const {
  CallResult r = Get(name);
  EXPECT_EQ(r.Hr, S_OK);
  return r.Text();
}

long ControlClient::GetLong(const std::wstring& name) const {
  CallResult r = Get(name);
  EXPECT_EQ(r.Hr, S_OK);
  return r.Long();
}

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  path_ = std::wstring(base) + L"zt_module_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::to_wstring(++counter) + L"\\";
  CreateDirectoryW(path_.c_str(), nullptr);
}

namespace {

// Removes folder (ending with "\\") with its files and subfolders.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      const std::wstring path = folder + name;
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      } else if (name != L"." && name != L"..") {
        RemoveTree(path + L"\\");
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::~TempFolder() { RemoveTree(path_); }

std::wstring TempFolder::MakeFile(const std::wstring& name, DWORD size, DWORD attributes) const {
  std::wstring file = path_ + name;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  std::string bytes(size, 'x');
  DWORD written = 0;
  if (size) WriteFile(h, bytes.data(), size, &written, nullptr);
  CloseHandle(h);
  if (attributes != FILE_ATTRIBUTE_NORMAL) SetFileAttributesW(file.c_str(), attributes);
  return file;
}

}  // namespace zt::test
