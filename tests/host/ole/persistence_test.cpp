// The saved properties through the three forms a container keeps them in:
// a stream, a storage and a property bag (a page's <param> strings).
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>

#include <map>
#include <string>

#include "memory_bag.h"
#include "test_control.h"

namespace zt::ole::testing {
namespace {

using zt::test::MemoryBag;

class ErrorLog final : public IErrorLog {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = (iid == IID_IUnknown || iid == IID_IErrorLog) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP AddError(LPCOLESTR name, EXCEPINFO* ei) override {
    names += name;
    names += L";";
    return S_OK;
  }
  std::wstring names;
};

struct Controls {
  Controls() : a(new TestControl()), b(new TestControl()) {}
  ~Controls() {
    a->Release();
    b->Release();
  }
  template <typename I>
  com::ComPtr<I> Of(TestControl* c, REFIID iid) {
    return com::ComPtr<IUnknown>(c->Unknown()).As<I>(iid);
  }
  TestControl* a;
  TestControl* b;
};

// Every saved property away from its initial value.
void Unusual(SavedProperties& p) {
  p.max_upload_bytes = MegabytesToBytes(10);
  p.url = u"http://example.test/upload";
  p.user_name = u"\uD55C\uAE00";
  p.password = u"pw";
  p.port = 8080;
  p.post_mode = 1;
  p.kbyte_rate = 64;
  p.enable_folder_menu = 0;
  p.list_type = 4;
  p.enable_delete_menu = 0;
  p.bg_color = 0x00112233;
  p.fg_color = 0x00445566;
  p.track_select = 1;
  p.row_select = 0;
  p.enable_header_move = 0;
  p.grid_line = 1;
  p.utf8 = 1;
  p.ex_file_attributes = 1;
  p.retry_count = 3;
  p.parallel_count = 4;
  p.resumable_url = u"http://h/tus/";
}

void ExpectUnusual(const SavedProperties& p) {
  EXPECT_EQ(p.max_upload_bytes, 10485760);
  EXPECT_EQ(p.url, u"http://example.test/upload");
  EXPECT_EQ(p.user_name, u"\uD55C\uAE00");
  EXPECT_EQ(p.password, u"pw");
  EXPECT_EQ(p.port, 8080);
  EXPECT_EQ(p.post_mode, 1);
  EXPECT_EQ(p.kbyte_rate, 64);
  EXPECT_EQ(p.enable_folder_menu, 0);
  EXPECT_EQ(p.list_type, 4);
  EXPECT_EQ(p.enable_delete_menu, 0);
  EXPECT_EQ(p.bg_color, 0x00112233);
  EXPECT_EQ(p.fg_color, 0x00445566);
  EXPECT_EQ(p.track_select, 1);
  EXPECT_EQ(p.row_select, 0);
  EXPECT_EQ(p.enable_header_move, 0);
  EXPECT_EQ(p.grid_line, 1);
  EXPECT_EQ(p.utf8, 1);
  EXPECT_EQ(p.ex_file_attributes, 1);
}

TEST(MaxUploadSize, MegabytesAndBytes) {
  EXPECT_EQ(MegabytesToBytes(10), 10485760);
  EXPECT_EQ(MegabytesToBytes(3000), 3145728000LL);  // beyond 32 bits
  EXPECT_EQ(BytesToMegabytes(3145728000LL), 3000);
  EXPECT_EQ(BytesToMegabytes(MegabytesToBytes(-1)), -1);
  EXPECT_EQ(BytesToMegabytes(1048575), 0);
}

TEST(Persistence, StreamRoundTripKeepsEveryPropertyAndLeavesTheLiveValues) {
  Controls c;
  c.a->Put(Unusual);
  auto save = c.Of<IPersistStreamInit>(c.a, IID_IPersistStreamInit);
  com::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
  ASSERT_EQ(save->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(c.a->Props().max_upload_bytes, 10485760);  // saving converts a copy

  ULARGE_INTEGER max = {}, end = {};
  ASSERT_EQ(save->GetSizeMax(&max), S_OK);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_CUR, &end);
  EXPECT_EQ(max.QuadPart, end.QuadPart);

  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  auto load = c.Of<IPersistStreamInit>(c.b, IID_IPersistStreamInit);
  ASSERT_EQ(load->Load(stream.Get()), S_OK);
  ExpectUnusual(c.b->Props());
  // Kept by name only: the stream has the layout earlier builds wrote and read.
  EXPECT_EQ(c.b->Props().retry_count, 0);
  EXPECT_EQ(c.b->Props().parallel_count, 1);
  EXPECT_TRUE(c.b->Props().resumable_url.empty());
  EXPECT_EQ(load->IsDirty(), S_FALSE);
}

TEST(Persistence, DamagedOrForeignStreamChangesNothing) {
  Controls c;
  c.a->Put(Unusual);
  com::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
  ASSERT_EQ(c.Of<IPersistStreamInit>(c.a, IID_IPersistStreamInit)->Save(stream.Get(), TRUE), S_OK);

  // Cut short in the middle of the properties.
  ULARGE_INTEGER half;
  ULARGE_INTEGER size;
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_CUR, &size);
  half.QuadPart = size.QuadPart / 2;
  stream->SetSize(half);
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  auto load = c.Of<IPersistStreamInit>(c.b, IID_IPersistStreamInit);
  EXPECT_TRUE(FAILED(load->Load(stream.Get())));
  EXPECT_EQ(c.b->Props().port, 80);
  EXPECT_TRUE(c.b->Props().url.empty());

  // A version 2 layout is refused, not misread.
  com::ComPtr<IStream> v2;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, v2.Put()), S_OK);
  const unsigned char version2[] = {0, 0, 2, 0};
  v2->Write(version2, 4, nullptr);
  v2->Seek(zero, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(load->Load(v2.Get()), STG_E_OLDDLL);
}

TEST(Persistence, StorageRoundTrip) {
  Controls c;
  c.a->Put(Unusual);
  com::ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                             storage.Put()),
            S_OK);
  auto save = c.Of<IPersistStorage>(c.a, IID_IPersistStorage);
  ASSERT_EQ(save->Save(storage.Get(), FALSE), S_OK);
  EXPECT_EQ(save->IsDirty(), S_FALSE);
  EXPECT_EQ(c.a->Props().max_upload_bytes, 10485760);
  ASSERT_EQ(c.Of<IPersistStorage>(c.b, IID_IPersistStorage)->Load(storage.Get()), S_OK);
  ExpectUnusual(c.b->Props());
}

TEST(Persistence, BagRoundTripUsesTheSavedNamesAndTypes) {
  Controls c;
  c.a->Put(Unusual);
  MemoryBag bag;
  ASSERT_EQ(c.Of<IPersistPropertyBag>(c.a, IID_IPersistPropertyBag)->Save(&bag, TRUE, TRUE), S_OK);
  ASSERT_EQ(bag.values.count(L"MaxUploadSize"), 1u);
  EXPECT_EQ(bag.values[L"MaxUploadSize"].vt, VT_I4);
  EXPECT_EQ(bag.values[L"MaxUploadSize"].lVal, 10);
  EXPECT_EQ(bag.values[L"PostMode"].vt, VT_I4);  // a short kept as a long
  EXPECT_EQ(bag.values[L"ListType"].vt, VT_I4);
  EXPECT_EQ(bag.values[L"EnableFolderMenu"].vt, VT_I2);
  EXPECT_EQ(bag.values[L"URL"].vt, VT_BSTR);
  EXPECT_EQ(bag.values[L"BgColor"].vt, VT_I4);
  EXPECT_EQ(bag.values.count(L"EnableMenu"), 0u);  // not saved
  EXPECT_EQ(bag.values[L"RetryCount"].vt, VT_I4);
  EXPECT_EQ(bag.values[L"ParallelCount"].vt, VT_I4);
  EXPECT_EQ(bag.values[L"ResumableURL"].vt, VT_BSTR);
  EXPECT_EQ(bag.values.size(), 21u + 3u);          // + version and extent

  ASSERT_EQ(c.Of<IPersistPropertyBag>(c.b, IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
  ExpectUnusual(c.b->Props());
  EXPECT_EQ(c.b->Props().retry_count, 3);
  EXPECT_EQ(c.b->Props().parallel_count, 4);
  EXPECT_EQ(c.b->Props().resumable_url, u"http://h/tus/");
}

TEST(Persistence, PageParamsArriveAsStringsAndAreCoerced) {
  Controls c;
  auto persist = c.Of<IPersistPropertyBag>(c.b, IID_IPersistPropertyBag);
  MemoryBag page;
  page.Param(L"PostMode", L"1");
  page.Param(L"Port", L"8080");
  page.Param(L"MaxUploadSize", L"10");
  page.Param(L"GridLine", L"True");
  page.Param(L"RetryCount", L"2");
  ASSERT_EQ(persist->Load(&page, nullptr), S_OK);
  EXPECT_EQ(c.b->Props().retry_count, 2);
  EXPECT_EQ(c.b->Props().post_mode, 1);
  EXPECT_EQ(c.b->Props().port, 8080);
  EXPECT_EQ(c.b->Props().max_upload_bytes, 10485760);
  EXPECT_EQ(c.b->Props().grid_line, -1);

  // ListType loaded later sets only ListType.
  MemoryBag later;
  later.Param(L"ListType", L"4");
  later.Param(L"PostMode", L"65537");  // a 32-bit value keeps its low 16 bits
  ASSERT_EQ(persist->Load(&later, nullptr), S_OK);
  EXPECT_EQ(c.b->Props().list_type, 4);
  EXPECT_EQ(c.b->Props().post_mode, 1);
}

TEST(Persistence, AbsentNamesTakeTheirLoadDefaultsOrStayAsTheyWere) {
  Controls c;
  c.b->Put(Unusual);
  MemoryBag empty;
  ASSERT_EQ(c.Of<IPersistPropertyBag>(c.b, IID_IPersistPropertyBag)->Load(&empty, nullptr), S_OK);
  const SavedProperties& p = c.b->Props();
  // With a load default:
  EXPECT_TRUE(p.url.empty());
  EXPECT_TRUE(p.user_name.empty());
  EXPECT_TRUE(p.password.empty());
  EXPECT_EQ(p.port, 80);
  EXPECT_EQ(p.post_mode, 0);
  EXPECT_EQ(p.kbyte_rate, 0);
  EXPECT_EQ(p.list_type, 0);
  EXPECT_EQ(p.retry_count, 0);  // a page or save from before it existed
  EXPECT_EQ(p.parallel_count, 1);
  EXPECT_TRUE(p.resumable_url.empty());
  // Without one:
  EXPECT_EQ(p.max_upload_bytes, 10485760);
  EXPECT_EQ(p.bg_color, 0x00112233);
  EXPECT_EQ(p.row_select, 0);
  EXPECT_EQ(p.ex_file_attributes, 1);
}

TEST(Persistence, UnreadableParamFailsTheLoadAndChangesNothing) {
  Controls c;
  MemoryBag page;
  page.Param(L"URL", L"http://x.test/a");
  page.Param(L"Port", L"eighty");
  ErrorLog log;
  EXPECT_TRUE(FAILED(c.Of<IPersistPropertyBag>(c.b, IID_IPersistPropertyBag)->Load(&page, &log)));
  EXPECT_EQ(log.names, L"Port;");
  EXPECT_TRUE(c.b->Props().url.empty());
  EXPECT_EQ(c.b->Props().port, 80);
}

TEST(Persistence, IsDirtyFollowsPutsAndSaves) {
  Controls c;
  auto stream_persist = c.Of<IPersistStreamInit>(c.a, IID_IPersistStreamInit);
  ASSERT_EQ(stream_persist->InitNew(), S_OK);
  EXPECT_EQ(stream_persist->IsDirty(), S_FALSE);
  c.a->Put([](SavedProperties& p) { p.grid_line = 1; });
  EXPECT_EQ(stream_persist->IsDirty(), S_OK);

  com::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
  ASSERT_EQ(stream_persist->Save(stream.Get(), FALSE), S_OK);
  EXPECT_EQ(stream_persist->IsDirty(), S_OK);  // asked to keep the flag
  ASSERT_EQ(stream_persist->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(stream_persist->IsDirty(), S_FALSE);
  c.a->Put([](SavedProperties& p) { p.port = 81; });
  EXPECT_EQ(c.Of<IPersistStorage>(c.a, IID_IPersistStorage)->IsDirty(), S_OK);
}

TEST(ObjectSafety, SafeForScriptingAndInitialisingOnItsOwnInterfaces) {
  Controls c;
  auto safety = c.Of<IObjectSafety>(c.a, IID_IObjectSafety);
  ASSERT_TRUE(safety);
  const DWORD both = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  DWORD supported = 0, enabled = 0;
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, both);
  EXPECT_EQ(enabled, 0u);
  ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, both, both), S_OK);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, both);
  // An option it does not offer, or an interface it does not have, is refused.
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, INTERFACE_USES_DISPEX, INTERFACE_USES_DISPEX),
            E_FAIL);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
}

}  // namespace
}  // namespace zt::ole::testing
