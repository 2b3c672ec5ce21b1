// The control module's own object behind the embedding interfaces: its
// puts mark it dirty, and its properties survive a stream and a page's
// parameters the way the saved form says.
#include <gtest/gtest.h>

#include <vector>
#include <string>

#include <windows.h>
#include <ocidl.h>

#include "platform/bstr.h"
#include "platform/com_ptr.h"

namespace zt::ole::testing {
namespace {

class RealControl : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(ZT_OCX_PATH);
    ASSERT_NE(module_, nullptr) << "cannot load " << ZT_OCX_PATH;
  }
  com::ComPtr<IUnknown> Create() {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    com::ComPtr<IUnknown> control;
    com::ComPtr<ITypeLib> lib;
    if (!get || FAILED(LoadTypeLibEx(ZT_OCX_PATH, REGKIND_NONE, lib.Put()))) return control;
    // The creatable class of the module's type library.
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
      TYPEKIND kind;
      GUID id;
      if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
      com::ComPtr<ITypeInfo> info;
      lib->GetTypeInfo(i, info.Put());
      TYPEATTR* attr = nullptr;
      info->GetTypeAttr(&attr);
      id = attr->guid;
      info->ReleaseTypeAttr(attr);
      com::ComPtr<IClassFactory> factory;
      if (SUCCEEDED(get(id, IID_IClassFactory, factory.PutVoid())))
        factory->CreateInstance(nullptr, IID_IUnknown, control.PutVoid());
    }
    return control;
  }
  static DISPID Id(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
  }
  static HRESULT Put(IDispatch* d, const wchar_t* name, LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&v, &put, 1, 1};
    return d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                     nullptr);
  }
  static LONG Get(IDispatch* d, const wchar_t* name) {
    com::Variant v;
    DISPPARAMS none = {};
    if (FAILED(d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, v.Get(), nullptr,
                         nullptr)))
      return -12345;
    VariantChangeType(v.Get(), v.Get(), 0, VT_I4);
    return v.Get()->lVal;
  }

  HMODULE module_ = nullptr;
};

TEST_F(RealControl, EveryPutMarksItDirtyAndSavingClearsIt) {
  com::ComPtr<IUnknown> control = Create();
  ASSERT_TRUE(control);
  auto d = control.As<IDispatch>(IID_IDispatch);
  auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(persist);
  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  const wchar_t* puts[] = {L"MaxUploadSize", L"Port", L"PostMode", L"KByteRate", L"EnableFolderMenu", L"ListType",
                           L"EnableDeleteMenu", L"BgColor", L"FgColor", L"TrackSelect", L"RowSelect",
                           L"EnableHeaderMove", L"GridLine", L"UTF8", L"ExFileAttributes", L"EnableMenu"};
  for (const wchar_t* name : puts) {
    com::ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(persist->IsDirty(), S_FALSE) << "after saving, before " << name;
    ASSERT_EQ(Put(d.Get(), name, 1), S_OK) << name;
    EXPECT_EQ(persist->IsDirty(), S_OK) << name;
  }
}

TEST_F(RealControl, MaxUploadSizeSurvivesAStreamAndSavingLeavesItAlone) {
  com::ComPtr<IUnknown> a = Create(), b = Create();
  ASSERT_TRUE(a && b);
  auto da = a.As<IDispatch>(IID_IDispatch), db = b.As<IDispatch>(IID_IDispatch);
  ASSERT_EQ(Put(da.Get(), L"MaxUploadSize", 3000), S_OK);
  ASSERT_EQ(Put(da.Get(), L"GridLine", 1), S_OK);
  com::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
  ASSERT_EQ(a.As<IPersistStreamInit>(IID_IPersistStreamInit)->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(Get(da.Get(), L"MaxUploadSize"), 3000);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(b.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.Get()), S_OK);
  EXPECT_EQ(Get(db.Get(), L"MaxUploadSize"), 3000);
  EXPECT_EQ(Get(db.Get(), L"GridLine"), 1);
}

}  // namespace
}  // namespace zt::ole::testing

#include "control/guids.h"

namespace zt::ole::testing {
namespace {

TEST_F(RealControl, PropertyPageIsTheGeneralDialog) {
  com::ComPtr<IUnknown> control = Create();
  ASSERT_TRUE(control);
  CAUUID pages = {};
  ASSERT_EQ(control.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], CLSID_ZTFileUploadPropPage));
  CoTaskMemFree(pages.pElems);

  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(get(CLSID_ZTFileUploadPropPage, IID_IClassFactory, factory.PutVoid()), S_OK);
  com::ComPtr<IPropertyPage> page;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.PutVoid()), S_OK);

  PROPPAGEINFO info = {};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_STREQ(info.pszTitle, L"\uC77C\uBC18");
  EXPECT_STREQ(info.pszDocString, L"Names to appear in the control");
  EXPECT_STREQ(info.pszHelpFile, L"ZTFILEUPLOAD.HLP");
  EXPECT_EQ(info.dwHelpContext, 0u);
  // 250 × 62 dialog units: wide and low.
  EXPECT_GT(info.size.cx, 3 * info.size.cy);
  EXPECT_GT(info.size.cy, 0);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszDocString);
  CoTaskMemFree(info.pszHelpFile);

  HWND frame = CreateWindowW(L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 300, nullptr,
                             nullptr, nullptr, nullptr);
  RECT r = {10, 10, 10 + info.size.cx, 10 + info.size.cy};
  IUnknown* objects[] = {control.Get()};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  ASSERT_EQ(page->Activate(frame, &r, TRUE), S_OK);
  HWND dialog = GetWindow(frame, GW_CHILD);
  ASSERT_NE(dialog, nullptr);
  HWND label = GetWindow(dialog, GW_CHILD);
  ASSERT_NE(label, nullptr);
  wchar_t text[64] = {};
  GetWindowTextW(label, text, 64);
  EXPECT_STREQ(text, L"TODO: Arrange Control");
  EXPECT_EQ(GetWindow(label, GW_HWNDNEXT), nullptr);  // the only control
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  ASSERT_EQ(page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dialog));
  page->SetObjects(0, nullptr);
  DestroyWindow(frame);
}

}  // namespace
}  // namespace zt::ole::testing

#include "control_site.h"

namespace zt::ole::testing {
namespace {

TEST_F(RealControl, EmbedsInPlaceAsAChildThatFollowsTheSite) {
  com::ComPtr<IUnknown> control = Create();
  ASSERT_TRUE(control);
  HWND container = CreateWindowW(L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                 600, 400, nullptr, nullptr, nullptr, nullptr);
  auto* site = new host::ControlSite(container, L"FileUpload");
  std::wstring step;
  ASSERT_EQ(site->Embed(control.Get(), nullptr, RECT{0, 0, 500, 200}, &step), S_OK) << step.c_str();
  HWND w = nullptr;
  ASSERT_EQ(control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&w), S_OK);
  EXPECT_EQ(GetParent(w), container);
  site->Resize(RECT{0, 0, 320, 90});
  RECT r;
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, 320);
  EXPECT_EQ(r.bottom, 90);
  site->Unembed();
  EXPECT_FALSE(IsWindow(w));
  site->Release();
  DestroyWindow(container);
}

// The registered attribute names, as GetFileAttrs' first row shows them for
// a server entry added for the purpose.
std::vector<std::wstring> AttributeNames(IDispatch* d) {
  LPOLESTR add[] = {const_cast<LPOLESTR>(L"AddVirtualFile")}, attrs[] = {const_cast<LPOLESTR>(L"GetFileAttrs")};
  DISPID addId = 0, attrsId = 0;
  d->GetIDsOfNames(IID_NULL, add, 1, LOCALE_USER_DEFAULT, &addId);
  d->GetIDsOfNames(IID_NULL, attrs, 1, LOCALE_USER_DEFAULT, &attrsId);
  com::Variant path, added, table;
  V_VT(path.Get()) = VT_BSTR;
  V_BSTR(path.Get()) = SysAllocString(L"/probe.txt");
  DISPPARAMS one = {path.Get(), nullptr, 1, 0}, none = {};
  std::vector<std::wstring> names;
  if (FAILED(d->Invoke(addId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, added.Get(), nullptr, nullptr)) ||
      FAILED(d->Invoke(attrsId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, table.Get(), nullptr, nullptr)) ||
      V_VT(table.Get()) != (VT_ARRAY | VT_VARIANT))
    return {L"<GetFileAttrs failed>"};
  SAFEARRAY* a = V_ARRAY(table.Get());
  LONG upper = -1;
  SafeArrayGetUBound(a, 2, &upper);
  for (LONG i = 0; i <= upper; ++i) {
    LONG at[2] = {0, i};
    com::Variant name;
    SafeArrayGetElement(a, at, name.Get());
    names.push_back(V_VT(name.Get()) == VT_BSTR ? V_BSTR(name.Get()) : L"?");
  }
  return names;
}

TEST_F(RealControl, DateAttributeNamesAreRegisteredWhenTheWindowIsMade) {
  HWND container = CreateWindowW(L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                 600, 400, nullptr, nullptr, nullptr, nullptr);
  for (LONG exFileAttributes : {0, 1}) {
    com::ComPtr<IUnknown> control = Create();
    ASSERT_TRUE(control);
    auto dispatch = control.As<IDispatch>(IID_IDispatch);
    ASSERT_EQ(Put(dispatch.Get(), L"ExFileAttributes", exFileAttributes), S_OK);
    ASSERT_EQ(Put(dispatch.Get(), L"ListType", 4), S_OK);
    auto* site = new host::ControlSite(container, L"FileUpload");
    std::wstring step;
    ASSERT_EQ(site->Embed(control.Get(), nullptr, RECT{0, 0, 500, 200}, &step), S_OK) << step.c_str();
    const std::vector<std::wstring> expected =
        exFileAttributes ? std::vector<std::wstring>{L"CreateDate", L"ModifyDate", L"AccessDate"}
                         : std::vector<std::wstring>{};
    EXPECT_EQ(AttributeNames(dispatch.Get()), expected) << "ExFileAttributes " << exFileAttributes;
    site->Unembed();
    site->Release();
  }
  DestroyWindow(container);
}

}  // namespace
}  // namespace zt::ole::testing

namespace zt::ole::testing {
namespace {

// Counts the events it receives.
class CountingSink final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID__DZTFileUploadEvents) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ++events;
    return S_OK;
  }
  int events = 0;
};

TEST_F(RealControl, FrozenEventsAreNotFired) {
  com::ComPtr<IUnknown> control = Create();
  ASSERT_TRUE(control);
  com::ComPtr<IConnectionPoint> point;
  ASSERT_EQ(control.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                ->FindConnectionPoint(DIID__DZTFileUploadEvents, point.Put()),
            S_OK);
  CountingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  auto d = control.As<IDispatch>(IID_IDispatch);
  auto add = [&d](const wchar_t* path) {
    com::Variant arg;
    arg.Get()->vt = VT_BSTR;
    arg.Get()->bstrVal = SysAllocString(path);
    DISPPARAMS params = {arg.Get(), nullptr, 1, 0};
    com::Variant result;
    return d->Invoke(Id(d.Get(), L"AddVirtualFile"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                     result.Get(), nullptr, nullptr);
  };
  auto ole_control = control.As<IOleControl>(IID_IOleControl);
  ASSERT_EQ(ole_control->FreezeEvents(TRUE), S_OK);
  ASSERT_EQ(add(L"/srv/frozen.txt"), S_OK);
  EXPECT_EQ(sink.events, 0);
  ASSERT_EQ(ole_control->FreezeEvents(FALSE), S_OK);
  ASSERT_EQ(add(L"/srv/thawed.txt"), S_OK);
  EXPECT_EQ(sink.events, 2);  // AfterAddFile and AfterAddFiles
  point->Unadvise(cookie);
}

}  // namespace
}  // namespace zt::ole::testing
