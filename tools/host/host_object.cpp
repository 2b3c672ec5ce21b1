#include "host_object.h"

#include <cwctype>

#include "platform/bstr.h"
#include "platform/com_ptr.h"
#include "screenshot.h"

namespace zt::host {
namespace {

enum : DISPID { kEcho = 1, kQuit, kSleep, kScreenshot, kScreenshotLater };

struct Member {
  const wchar_t* name;
  DISPID id;
};
const Member kMembers[] = {
    {L"Echo", kEcho}, {L"Quit", kQuit}, {L"Sleep", kSleep}, {L"Screenshot", kScreenshot},
    {L"ScreenshotLater", kScreenshotLater}};

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

// Arguments arrive last-first; index 0 is the first one the script wrote.
VARIANT* Arg(DISPPARAMS* params, UINT index) {
  return &params->rgvarg[params->cArgs - 1 - index];
}

HRESULT ArgAsString(DISPPARAMS* params, UINT index, std::wstring& out) {
  com::Variant v;
  HRESULT hr = VariantChangeType(v.Get(), Arg(params, index), VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) return hr;
  out.assign(v.Get()->bstrVal, SysStringLen(v.Get()->bstrVal));
  return S_OK;
}

HRESULT ArgAsInt(DISPPARAMS* params, UINT index, LONG& out) {
  com::Variant v;
  HRESULT hr = VariantChangeType(v.Get(), Arg(params, index), 0, VT_I4);
  if (FAILED(hr)) return hr;
  out = v.Get()->lVal;
  return S_OK;
}

// One capture armed by ScreenshotLater: a window of this thread titled
// Title, saved when the timer fires inside whatever loop then runs (a
// control's modal dialog included).
struct LaterShot {
  std::wstring Title, Path;
  UINT_PTR Timer = 0;
};
LaterShot g_later;

BOOL CALLBACK FindTitled(HWND window, LPARAM lp) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (g_later.Title != text) return TRUE;
  *reinterpret_cast<HWND*>(lp) = window;
  return FALSE;
}

void CALLBACK TakeLaterShot(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(nullptr, g_later.Timer);
  g_later.Timer = 0;
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindTitled, reinterpret_cast<LPARAM>(&found));
  if (found) SaveWindowBitmap(found, g_later.Path);
}

}  // namespace

HRESULT HostObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const Member& m : kMembers) {
    if (count > 0 && SameName(names[0], m.name)) ids[0] = m.id;
  }
  if (count > 0 && ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  if (count > 1) hr = DISP_E_UNKNOWNNAME;  // no named arguments
  return hr;
}

HRESULT HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  if (!params) return E_POINTER;
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (result) VariantInit(result);
  // After Quit (say, in an event handler) the script is only unwinding:
  // every further call unwinds it too.
  if (services_.state->quit_requested) return Unwind(excep);
  switch (id) {
    case kEcho:
      return Echo(params);
    case kQuit:
      return Quit(params, excep);
    case kSleep: {
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      LONG ms = 0;
      if (FAILED(ArgAsInt(params, 0, ms)) || ms < 0) {
        if (arg_err) *arg_err = 0;
        return DISP_E_TYPEMISMATCH;
      }
      if (services_.pump) services_.pump(static_cast<DWORD>(ms));
      return S_OK;
    }
    case kScreenshot: {
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      std::wstring path;
      if (FAILED(ArgAsString(params, 0, path))) return DISP_E_TYPEMISMATCH;
      bool ok = services_.screenshot && services_.screenshot(path);
      if (result) {
        result->vt = VT_BOOL;
        result->boolVal = ok ? VARIANT_TRUE : VARIANT_FALSE;
      }
      return S_OK;
    }
    case kScreenshotLater: {
      if (params->cArgs != 3) return DISP_E_BADPARAMCOUNT;
      LONG ms = 0;
      if (FAILED(ArgAsString(params, 0, g_later.Title)) || FAILED(ArgAsString(params, 1, g_later.Path)) ||
          FAILED(ArgAsInt(params, 2, ms)) || ms < 0) {
        return DISP_E_TYPEMISMATCH;
      }
      if (g_later.Timer) KillTimer(nullptr, g_later.Timer);
      g_later.Timer = SetTimer(nullptr, 0, static_cast<UINT>(ms), &TakeLaterShot);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT HostObject::Echo(DISPPARAMS* params) {
  // Like WScript.Echo: every argument as text, separated by one space.
  std::wstring line;
  for (UINT i = 0; i < params->cArgs; ++i) {
    std::wstring part;
    HRESULT hr = ArgAsString(params, i, part);
    if (FAILED(hr)) {
      // null and objects without a default value still print something.
      part = Arg(params, i)->vt == VT_NULL ? L"null" : L"";
    }
    if (i > 0) line += L' ';
    line += part;
  }
  services_.output->Line(line);
  return S_OK;
}

HRESULT HostObject::Quit(DISPPARAMS* params, EXCEPINFO* excep) {
  LONG code = 0;
  if (params->cArgs > 1) return DISP_E_BADPARAMCOUNT;
  if (params->cArgs == 1 && FAILED(ArgAsInt(params, 0, code))) return DISP_E_TYPEMISMATCH;
  services_.state->quit_requested = true;
  services_.state->quit_code = static_cast<int>(code);
  // Unwinds the script: the engine treats the failure as an exception,
  // which the site recognises as the requested end and does not report.
  PostQuitMessage(static_cast<int>(code));
  return Unwind(excep);
}

HRESULT HostObject::Unwind(EXCEPINFO* excep) {
  if (excep) {
    ZeroMemory(excep, sizeof *excep);
    excep->scode = E_ABORT;
    excep->bstrDescription = SysAllocString(L"Quit");
  }
  return DISP_E_EXCEPTION;
}

}  // namespace zt::host
