// Self-registration through regsvr32, the registry it leaves, and the
// embedded type library read back as tools read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <comcat.h>
#include <ocidl.h>
#include <olectl.h>

#include "control_client.h"
#include "members_data.h"
#include "platform/registry.h"

namespace zt::test {
namespace {

const wchar_t kClsid[] = L"{641FC981-5EE3-4800-8C3C-68920AA6AC4D}";
const wchar_t kPageClsid[] = L"{E535A598-31D4-4D4F-BC08-3520D6931980}";
const wchar_t kLibid[] = L"{7A6CB235-B1EC-4892-80A6-058865EE0637}";
const wchar_t kEvents[] = L"{7FD63FB0-DE6B-4617-B3C5-3674EEE58004}";
const wchar_t kDispatch[] = L"{11055124-8984-46F0-BA44-167B6E26EF59}";
const wchar_t kSafeForScripting[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kSafeForInitializing[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

GUID Guid(const wchar_t* text) {
  GUID g;
  CLSIDFromString(text, &g);
  return g;
}

DWORD RunRegsvr32(const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe /s " + switches + L"\"" + ModulePath() + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = ~0u;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

// The default (or named) text value of HKCR\path; "<missing>" when absent.
std::wstring Value(const std::wstring& path, const std::wstring& name = L"") {
  com::RegKey key;
  if (com::RegKey::Open(HKEY_CLASSES_ROOT, path, &key) != ERROR_SUCCESS) return L"<missing>";
  std::wstring value;
  if (key.GetText(name, &value) != ERROR_SUCCESS) return L"<no value>";
  return value;
}

bool KeyExists(const std::wstring& path) {
  com::RegKey key;
  return com::RegKey::Open(HKEY_CLASSES_ROOT, path, &key) == ERROR_SUCCESS;
}

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
EntryPoint ModuleEntry(const char* name) {
  static HMODULE module = LoadLibraryW(ModulePath().c_str());
  return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class RegistrationTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  // Leave the module registered, as the script tests expect it.
  static void TearDownTestSuite() { RunRegsvr32(L""); }
};

TEST_F(RegistrationTest, RegisterWritesTheClassesAndUnregisterRemovesThem) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;
  const std::wstring module = ModulePath();
  EXPECT_EQ(Value(L"ZTFILEUPLOAD.ZTFileUploadCtrl.1"), L"ZTFILEUPLOAD Control");
  EXPECT_EQ(Value(L"ZTFILEUPLOAD.ZTFileUploadCtrl.1\\CLSID"), kClsid);
  EXPECT_EQ(Value(cls), L"ZTFILEUPLOAD Control");
  EXPECT_EQ(Value(cls + L"\\ProgID"), L"ZTFILEUPLOAD.ZTFileUploadCtrl.1");
  EXPECT_EQ(Value(cls + L"\\InprocServer32"), module);
  EXPECT_EQ(Value(cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Value(cls + L"\\MiscStatus"), L"131473");  // 0x20191
  EXPECT_EQ(Value(cls + L"\\MiscStatus\\1"), L"131473");
  EXPECT_EQ(Value(cls + L"\\ToolboxBitmap32"), module + L", 1");
  EXPECT_TRUE(KeyExists(cls + L"\\Control"));
  EXPECT_TRUE(KeyExists(cls + L"\\Programmable"));
  EXPECT_EQ(Value(cls + L"\\TypeLib"), kLibid);
  EXPECT_EQ(Value(cls + L"\\Version"), L"1.0");
  EXPECT_TRUE(KeyExists(cls + L"\\Implemented Categories\\" + kSafeForScripting));
  EXPECT_TRUE(KeyExists(cls + L"\\Implemented Categories\\" + kSafeForInitializing));
  EXPECT_EQ(Value(std::wstring(L"Component Categories\\") + kSafeForScripting, L"409"),
            L"Controls that are safely scriptable");
  const std::wstring page = std::wstring(L"CLSID\\") + kPageClsid;
  EXPECT_EQ(Value(L"ZTFILEUPLOAD.ZTFileUploadPropPage.1"), L"ZTFILEUPLOAD Property Page");
  EXPECT_EQ(Value(page + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Value(std::wstring(L"TypeLib\\") + kLibid + L"\\1.0"), L"ZTFileUpload ActiveX Control module");

  // Registered, the control is made by ProgID as a page makes it.
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"ZTFILEUPLOAD.ZTFileUploadCtrl.1", &clsid), S_OK);
  com::ComPtr<IDispatch> made;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, made.PutVoid()), S_OK);
  ControlClient control(made);
  EXPECT_EQ(control.GetLong(L"Port"), 80);

  ASSERT_EQ(RunRegsvr32(L"/u "), 0u);
  for (const std::wstring& gone : {std::wstring(L"ZTFILEUPLOAD.ZTFileUploadCtrl.1"), cls,
                                   std::wstring(L"ZTFILEUPLOAD.ZTFileUploadPropPage.1"), page,
                                   std::wstring(L"TypeLib\\") + kLibid, std::wstring(L"Interface\\") + kEvents})
    EXPECT_FALSE(KeyExists(gone)) << std::string(gone.begin(), gone.end());
  com::ComPtr<ITypeLib> lib;
  EXPECT_NE(LoadRegTypeLib(Guid(kLibid), 1, 0, 0, lib.Put()), S_OK);
}

TEST_F(RegistrationTest, UnregisteringWithoutTheTypeLibraryStillRemovesTheClasses) {
  ASSERT_EQ(ModuleEntry("DllRegisterServer")(), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(Guid(kLibid), 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32), S_OK);
  EXPECT_EQ(ModuleEntry("DllUnregisterServer")(), SELFREG_E_TYPELIB);
  EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + kClsid));
  EXPECT_FALSE(KeyExists(L"ZTFILEUPLOAD.ZTFileUploadCtrl.1"));
  EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + kPageClsid));
}

// The library tools and containers read: what it declares and how.
class TypeLibTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    ASSERT_EQ(RunRegsvr32(L""), 0u);
  }
  void SetUp() override { ASSERT_EQ(LoadRegTypeLib(Guid(kLibid), 1, 0, 0, lib_.Put()), S_OK); }
  com::ComPtr<ITypeInfo> Info(const wchar_t* guid) {
    com::ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib_->GetTypeInfoOfGuid(Guid(guid), info.Put()), S_OK);
    return info;
  }
  static std::wstring DocString(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR doc = nullptr;
    info->GetDocumentation(id, nullptr, &doc, nullptr, nullptr);
    std::wstring s = doc ? doc : L"";
    SysFreeString(doc);
    return s;
  }
  com::ComPtr<ITypeLib> lib_;
};

TEST_F(TypeLibTest, DeclaresTheMembersWithTheirNumbersAndTypes) {
  BSTR name = nullptr, doc = nullptr;
  lib_->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  EXPECT_STREQ(name, L"ZTFILEUPLOADLib");
  EXPECT_STREQ(doc, L"ZTFileUpload ActiveX Control module");
  SysFreeString(name);
  SysFreeString(doc);

  com::ComPtr<ITypeInfo> info = Info(kDispatch);
  ASSERT_TRUE(info);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cVars, 39);
  EXPECT_EQ(attr->cFuncs, 24);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
  info->ReleaseTypeAttr(attr);
  EXPECT_EQ(DocString(info.Get()), L"Dispatch interface for ZTFileUpload Control");

  // Every member is declared, under its run-time number.
  ControlClient control;
  for (const ExpectedMember& m : kExpectedMembers) {
    MEMBERID id = MEMBERID_NIL;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(m.Name)};
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), S_OK) << m.RunTimeId;
    EXPECT_EQ(id, m.RunTimeId);
    EXPECT_EQ(control.Id(m.Name), m.RunTimeId);
  }

  // Colours are the standard OLE_COLOR, imported from the standard OLE
  // library (stdole2) rather than a copy of our own.
  for (UINT i = 0; i < 38; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
    if (var->memid == 12 || var->memid == 13) {
      ASSERT_EQ(var->elemdescVar.tdesc.vt, VT_USERDEFINED);
      com::ComPtr<ITypeInfo> ref;
      ASSERT_EQ(info->GetRefTypeInfo(var->elemdescVar.tdesc.hreftype, ref.Put()), S_OK);
      BSTR refName = nullptr;
      ref->GetDocumentation(MEMBERID_NIL, &refName, nullptr, nullptr, nullptr);
      EXPECT_STREQ(refName, L"OLE_COLOR");
      SysFreeString(refName);
      TYPEATTR* refAttr = nullptr;
      ASSERT_EQ(ref->GetTypeAttr(&refAttr), S_OK);
      EXPECT_TRUE(IsEqualGUID(refAttr->guid, Guid(L"{66504301-BE0F-101A-8BBB-00AA00300CAB}")));
      ref->ReleaseTypeAttr(refAttr);
      com::ComPtr<ITypeLib> home;
      UINT index = 0;
      ASSERT_EQ(ref->GetContainingTypeLib(home.Put(), &index), S_OK);
      TLIBATTR* homeAttr = nullptr;
      ASSERT_EQ(home->GetLibAttr(&homeAttr), S_OK);
      EXPECT_TRUE(IsEqualGUID(homeAttr->guid, Guid(L"{00020430-0000-0000-C000-000000000046}")));
      home->ReleaseTLibAttr(homeAttr);
    }
    info->ReleaseVarDesc(var);
  }

  // Parameter names, as a designer shows them and named arguments use.
  const std::pair<MEMBERID, std::vector<std::wstring>> expectedNames[] = {
      {39, {L"AddVirtualFileWithSize", L"FileName", L"FileSize"}},
      {50, {L"SetFileAttr", L"attrName", L"attrValue"}},
      {40, {L"DeleteFile", L"fileIndex"}},
      {60, {L"OpenFile"}},
  };
  for (const auto& [id, expected] : expectedNames) {
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(id, names, 4, &count), S_OK) << id;
    EXPECT_EQ(std::vector<std::wstring>(names, names + count), expected) << id;
    for (BSTR& b : names) SysFreeString(b);
  }
}

// A compiled client knows no names at run time: it calls the numbers its
// import took from the library. Each declared method, called by the library's
// number with the library's parameter types, must run the member of that name.
TEST_F(TypeLibTest, EveryMethodCalledByTheLibrarysNumberRunsTheMemberItNames) {
  com::ComPtr<ITypeInfo> info = Info(kDispatch);
  ASSERT_TRUE(info);
  ControlClient control;
  // A current entry, so the entry's methods answer rather than refuse.
  ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(L"/first.txt")}).Hr, S_OK);
  // These open windows a person has to answer; only their shapes are checked.
  const std::wstring interactive[] = {L"OpenFileDialog", L"OpenFolderDialog", L"OpenPostDialog", L"Post",
                                      L"OpenFile"};
  for (UINT i = 0; i < 24; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
    const MEMBERID id = func->memid;
    const VARTYPE returns = func->elemdescFunc.tdesc.vt;
    std::vector<VARTYPE> params;
    for (SHORT p = 0; p < func->cParams; ++p) params.push_back(func->lprgelemdescParam[p].tdesc.vt);
    info->ReleaseFuncDesc(func);
    BSTR nameBstr = nullptr;
    ASSERT_EQ(info->GetDocumentation(id, &nameBstr, nullptr, nullptr, nullptr), S_OK);
    const std::wstring name = nameBstr;
    SysFreeString(nameBstr);
    const std::string label(name.begin(), name.end());

    EXPECT_EQ(control.Id(name), id) << label;
    // One argument too many is refused by the member at that number, so it
    // takes no more than declared ...
    std::vector<VARIANT> tooMany(params.size() + 1, Long(0));
    EXPECT_EQ(control.Invoke(id, DISPATCH_METHOD, tooMany).Hr, DISP_E_BADPARAMCOUNT) << label;
    // ... and one too few, so no fewer.
    if (!params.empty()) {
      std::vector<VARIANT> tooFew(params.size() - 1, Long(0));
      EXPECT_EQ(control.Invoke(id, DISPATCH_METHOD, tooFew).Hr, DISP_E_BADPARAMCOUNT) << label;
    }
    if (std::find(std::begin(interactive), std::end(interactive), name) != std::end(interactive)) continue;
    // Called with the declared types, it answers with the declared type.
    std::vector<VARIANT> args;
    for (VARTYPE vt : params) args.push_back(vt == VT_BSTR ? Text(L"/probe.txt") : Long(0));
    CallResult r = control.Invoke(id, DISPATCH_METHOD, std::move(args));
    if (r.Hr == DISP_E_EXCEPTION) continue;  // refused by the control's own rules: raised, in its own words
    ASSERT_EQ(r.Hr, S_OK) << label;
    if (returns == VT_VOID) EXPECT_EQ(V_VT(r.Value.Get()), VT_EMPTY) << label;
    else if (returns != VT_VARIANT) EXPECT_EQ(V_VT(r.Value.Get()), returns) << label;
  }

  // What the calls did is what the named members do.
  MEMBERID withSize = MEMBERID_NIL, byIndex = MEMBERID_NIL;
  LPOLESTR withSizeName[1] = {const_cast<LPOLESTR>(L"AddVirtualFileWithSize")};
  LPOLESTR byIndexName[1] = {const_cast<LPOLESTR>(L"DeleteFile")};
  ASSERT_EQ(info->GetIDsOfNames(withSizeName, 1, &withSize), S_OK);
  ASSERT_EQ(info->GetIDsOfNames(byIndexName, 1, &byIndex), S_OK);
  const long before = control.GetLong(L"FileCount");
  ASSERT_EQ(control.Invoke(withSize, DISPATCH_METHOD, {Text(L"/sized.bin"), Text(L"1536")}).Hr, S_OK);
  EXPECT_EQ(control.GetLong(L"FileCount"), before + 1);
  EXPECT_EQ(control.GetText(L"FileName"), L"sized.bin");
  EXPECT_EQ(control.GetLong(L"FileSize"), 1536);
  const long deleted = control.GetLong(L"DeleteFileCount");
  ASSERT_EQ(control.Invoke(byIndex, DISPATCH_METHOD, {Long(before)}).Hr, S_OK);
  EXPECT_EQ(control.GetLong(L"FileCount"), before);
  EXPECT_EQ(control.GetLong(L"DeleteFileCount"), deleted + 1);
}

TEST_F(TypeLibTest, ControlAnswersEachPropertyWithItsDeclaredType) {
  ControlClient control;
  // A current entry and a current deleted entry, so every property answers.
  ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(L"/gone.txt")}).Hr, S_OK);
  ASSERT_EQ(control.Call(L"DeleteFile", {Long(0)}).Hr, S_OK);
  ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(L"/kept.txt")}).Hr, S_OK);
  ASSERT_EQ(control.Put(L"DeleteFilePos", Long(0)).Hr, S_OK);

  com::ComPtr<ITypeInfo> info = Info(kDispatch);
  ASSERT_TRUE(info);
  for (UINT i = 0; i < 38; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
    VARTYPE declared = var->elemdescVar.tdesc.vt;
    const MEMBERID id = var->memid;
    BSTR name = nullptr;
    UINT count = 0;
    info->GetNames(id, &name, 1, &count);
    info->ReleaseVarDesc(var);
    std::wstring member = name ? name : L"";
    SysFreeString(name);
    EXPECT_EQ(control.Id(member), id);
    if (declared == VT_VARIANT) continue;              // any value
    if (declared == VT_USERDEFINED) declared = VT_I4;  // OLE_COLOR is a long at run time
    // Read by the library's number, as a compiled client reads it.
    CallResult r = control.Invoke(id, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(r.Hr, S_OK) << std::string(member.begin(), member.end());
    EXPECT_EQ(V_VT(r.Value.Get()), declared) << std::string(member.begin(), member.end());
  }
}

TEST_F(TypeLibTest, DeclaresTheEventsAndTheControlClass) {
  com::ComPtr<ITypeInfo> events = Info(kEvents);
  ASSERT_TRUE(events);
  EXPECT_EQ(DocString(events.Get()), L"Event interface for ZTFileUpload Control");
  const wchar_t* expected[] = {L"ItemDblClick", L"ItemClick", L"AfterAddFile", L"AfterDeleteFile", L"AfterAddFiles"};
  for (MEMBERID id = 1; id <= 5; ++id) {
    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(events->GetNames(id, names, 3, &count), S_OK);
    EXPECT_STREQ(names[0], expected[id - 1]);
    if (id == 4) {
      EXPECT_EQ(count, 3u);
      EXPECT_STREQ(names[1], L"FileName");
      EXPECT_STREQ(names[2], L"FilePath");
    }
    for (BSTR& b : names) SysFreeString(b);
  }

  com::ComPtr<ITypeInfo> coclass = Info(kClsid);
  ASSERT_TRUE(coclass);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
  coclass->ReleaseTypeAttr(attr);
  EXPECT_EQ(DocString(coclass.Get()), L"ZTFileUpload Control");

  // The control names the same class and event interface.
  ControlClient control;
  com::ComPtr<IProvideClassInfo2> provide =
      com::ComPtr<IUnknown>(control.Get()).As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(provide);
  GUID source = GUID_NULL;
  EXPECT_EQ(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, Guid(kEvents)));
  com::ComPtr<ITypeInfo> fromControl;
  ASSERT_EQ(provide->GetClassInfo(fromControl.Put()), S_OK);
  TYPEATTR* classAttr = nullptr;
  fromControl->GetTypeAttr(&classAttr);
  EXPECT_TRUE(IsEqualGUID(classAttr->guid, Guid(kClsid)));
  fromControl->ReleaseTypeAttr(classAttr);
}

}  // namespace
}  // namespace zt::test

namespace zt::test {
namespace {

TEST(ModuleTest, UnloadsOnlyWithoutLiveObjectsOrLocks) {
  CoInitialize(nullptr);
  HMODULE module = LoadLibraryW(ModulePath().c_str());
  ASSERT_NE(module, nullptr);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  auto getClass = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  ASSERT_TRUE(canUnload && getClass);
  EXPECT_EQ(canUnload(), S_OK);
  {
    com::ComPtr<IDispatch> control = NewControl();
    EXPECT_EQ(canUnload(), S_FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);
  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClass(Guid(kClsid), IID_IClassFactory, factory.PutVoid()), S_OK);
  factory->LockServer(TRUE);
  factory.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);
  ASSERT_EQ(getClass(Guid(kClsid), IID_IClassFactory, factory.PutVoid()), S_OK);
  factory->LockServer(FALSE);
  com::ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()), IID_IUnknown, aggregated.PutVoid()),
            CLASS_E_NOAGGREGATION);
  factory.Reset();
  EXPECT_EQ(canUnload(), S_OK);
  com::ComPtr<IClassFactory> unknown;
  EXPECT_EQ(getClass(IID_IDispatch, IID_IClassFactory, unknown.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);

  // What registration and containers point at is in the module: the toolbox
  // bitmap, the icon, the version block.
  HANDLE bitmap = LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, 0);
  EXPECT_NE(bitmap, nullptr);
  if (bitmap) DeleteObject(bitmap);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_VERSION), nullptr);
  FreeLibrary(module);
}

}  // namespace
}  // namespace zt::test
