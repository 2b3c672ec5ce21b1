#include "control/ztfileupload_ctrl.h"
#include "platform/boundary.h"

#include <oleauto.h>

#include "control/control_errors.h"
#include "control/guids.h"
#include "control/members.h"
#include "platform/com_ptr.h"
#include "platform/module_state.h"
#include "platform/persist_properties.h"
#include "text/format.h"
#include "text/unicode.h"
#include "transfer/url.h"
#include "view/view_rules.h"

namespace zt {

namespace {
// Event numbers of _DZTFileUploadEvents.
constexpr DISPID kEventAfterAddFile = 3;
constexpr DISPID kEventAfterDeleteFile = 4;
constexpr DISPID kEventAfterAddFiles = 5;
}  // namespace

CZTFileUploadCtrl::CZTFileUploadCtrl() : dropTarget_(new view::COleListBoxDropTarget) {
  events_ = &AddConnectionPoint(Identity(), DIID__DZTFileUploadEvents, true);
  propertyNotify_ = &AddConnectionPoint(Identity(), IID_IPropertyNotifySink, false);
}

CZTFileUploadCtrl::~CZTFileUploadCtrl() { DestroyView(); }

void* CZTFileUploadCtrl::QueryExtra(REFIID iid) {
  if (IsEqualIID(iid, DIID__DZTFileUpload)) return static_cast<IDispatch*>(this);
  if (IsEqualIID(iid, IID_IProvideClassInfo)) return static_cast<IProvideClassInfo*>(this);
  return QueryOleInterface(iid);
}

const CLSID& CZTFileUploadCtrl::ControlClassId() const { return CLSID_ZTFileUpload; }

HRESULT CZTFileUploadCtrl::ExchangeProperties(ole::PropertyExchange& px) {
  if (!px.Loading()) {
    // Reading URL gives the path alone, but the saved state keeps the whole
    // address: a control loaded from it must still know its server.
    ole::SavedProperties p = saved_;
    p.url = SavedUrl(host_, saved_.url, saved_.port, secure_);
    return ole::ExchangeSavedProperties(px, p);
  }

  // A damaged state changes nothing: load into a copy, apply it whole.
  ole::SavedProperties p = saved_;
  HRESULT hr = ole::ExchangeSavedProperties(px, p);
  if (FAILED(hr)) return hr;
  // A saved URL or a page's URL parameter is a whole URL: cut it as a put
  // would, or its host is lost and every post fails. A path saved alone
  // (as earlier saves hold it) stays a path. A Port other than the default
  // 80 still wins, as a Port put after URL does.
  auto starts = [&p](std::u16string_view scheme) {
    return p.url.size() >= scheme.size() && EqualsNoCase(std::u16string_view(p.url).substr(0, scheme.size()), scheme);
  };
  if (starts(u"http://") || starts(u"https://")) {
    ParsedUrl parsed = ParseUrl(p.url, p.port);
    host_ = std::move(parsed.Host);
    secure_ = parsed.Secure;
    p.url = std::move(parsed.Path);
    if (p.port == 80) p.port = parsed.Port;
  }
  const bool view_changed = saved_.list_type != p.list_type;
  saved_ = std::move(p);
  if (view_changed) RebuildView();
  return S_OK;
}

std::vector<CLSID> CZTFileUploadCtrl::PropertyPageIds() const { return {CLSID_ZTFileUploadPropPage}; }

bool CZTFileUploadCtrl::OnWindowCreated(HWND) {
  RebuildView();
  if (saved_.ex_file_attributes != 0) {
    // The date columns exist from the start, so the report view with
    // attribute columns shows them before any file is added.
    model_.RegisterAttributeName(date_attribute::Created);
    model_.RegisterAttributeName(date_attribute::RegisteredWritten);
    model_.RegisterAttributeName(date_attribute::Accessed);
    RebuildView();
  }
  return true;
}

// Command 501 asks for the list view to be rebuilt, and the list's
// notifications come back to the view; every other message takes the
// window's default handling.
bool CZTFileUploadCtrl::OnWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_NOTIFY && view_) return view_->HandleNotify(*reinterpret_cast<const NMHDR*>(lp), result);
  // Forwarded by the host's window: high contrast switched, or its colours.
  if ((msg == WM_SYSCOLORCHANGE || msg == WM_SETTINGCHANGE) && view_) view_->SystemLookChanged();
  if (msg != WM_COMMAND || LOWORD(wp) != view::command::RebuildView) return false;
  RebuildView();
  *result = 0;
  return true;
}

void CZTFileUploadCtrl::InitNewProperties() {
  ole::ApplyLoadDefaults(saved_);
  host_.clear();
  secure_ = false;
}

HRESULT CZTFileUploadCtrl::LoadTypeLib(ITypeLib** out) const {
  // The registered library first, as a container expects; the module's own
  // copy when the module is used unregistered.
  if (SUCCEEDED(LoadRegTypeLib(LIBID_ZTFILEUPLOADLib, kTypeLibMajor, kTypeLibMinor, 0, out))) return S_OK;
  return LoadTypeLibEx(com::ModulePath().c_str(), REGKIND_NONE, out);
}

STDMETHODIMP CZTFileUploadCtrl::GetTypeInfoCount(UINT* count) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  });
}

STDMETHODIMP CZTFileUploadCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    com::ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLib(lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(DIID__DZTFileUpload, out);
  });
}

STDMETHODIMP CZTFileUploadCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return ControlMemberTable().GetIDsOfNames(names, count, ids);
  });
}

STDMETHODIMP CZTFileUploadCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO* info, UINT* argErr) {
  return win::ComBoundary([&]() -> HRESULT {
    CheckThread();
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // An event sink, or a container closing the page under a dialog, may drop
    // the last reference to the control while a member runs; the call keeps
    // it alive until it returns.
    com::ComPtr<IUnknown> keepAlive(Identity());
    // A page the site lock refused reaches no member, whatever the container
    // made of IObjectSafety.
    if (PageRefused()) return E_ACCESSDENIED;
    HRESULT hr = ControlMemberTable().Invoke(*this, id, flags, params, result, info, argErr);
    // Containers refresh their property browsers and save state on this.
    if (SUCCEEDED(hr) && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) propertyNotify_->NotifyChanged(id);
    return hr;
  });
}

STDMETHODIMP CZTFileUploadCtrl::GetClassInfo(ITypeInfo** out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    com::ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLib(lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(CLSID_ZTFileUpload, out);
  });
}

STDMETHODIMP CZTFileUploadCtrl::GetGUID(DWORD kind, GUID* out) {
  return win::ComBoundary([&]() -> HRESULT {
    if (!out) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
      *out = GUID_NULL;
      return E_INVALIDARG;
    }
    *out = DIID__DZTFileUploadEvents;
    return S_OK;
  });
}

void CZTFileUploadCtrl::Record(std::u16string_view code, std::u16string description) {
  errorCode_ = std::u16string(code);
  errorDescription_ = std::move(description);
}

void CZTFileUploadCtrl::ClearError() {
  errorCode_.clear();
  errorDescription_.clear();
}

void CZTFileUploadCtrl::FailRecorded(com::DispatchCall& call, std::u16string_view code, std::u16string_view name) {
  Record(code, ErrorText(code, name));
  RaiseRecorded(call);
}

void CZTFileUploadCtrl::RaiseRecorded(com::DispatchCall& call) {
  call.Raise(ErrorNumber(errorCode_), errorDescription_, 0);
}

void CZTFileUploadCtrl::FailRaised(com::DispatchCall& call, std::uint16_t number) {
  call.Raise(number, FormatText(number), number);
}

void CZTFileUploadCtrl::FailRaisedNamed(com::DispatchCall& call, std::uint16_t number, std::u16string_view name) {
  // A text formatted with a name carries no help context.
  call.Raise(number, FormatText(number, {name}), 0);
}

void CZTFileUploadCtrl::AfterAddFile(std::int32_t fileIndex) {
  if (EventsFrozen()) return;  // the container asked for no events now
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = fileIndex;
  events_->FireDispatch(kEventAfterAddFile, &arg, 1);
}

void CZTFileUploadCtrl::AfterAddFiles(std::int32_t fileCount) {
  if (EventsFrozen()) return;
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = fileCount;
  events_->FireDispatch(kEventAfterAddFiles, &arg, 1);
}

void CZTFileUploadCtrl::AfterDeleteFile(const std::u16string& fileName, const std::u16string& filePath) {
  if (EventsFrozen()) return;
  com::Bstr name(fileName), path(filePath);
  if (!name || !path) return;  // no memory for the event's texts: the event is lost, the list is not
  // Arguments go last first.
  VARIANT args[2];
  V_VT(&args[0]) = VT_BSTR;
  V_BSTR(&args[0]) = path.Get();
  V_VT(&args[1]) = VT_BSTR;
  V_BSTR(&args[1]) = name.Get();
  events_->FireDispatch(kEventAfterDeleteFile, args, 2);
}

}  // namespace zt
