// The control's connection points as containers use them: every advised
// sink hears every event, and a sink may call back into the control.
#include <gtest/gtest.h>

#include <olectl.h>


#include "control_client.h"
#include "event_sink.h"

namespace zt::test {
namespace {

const IID kEventsIid = {0x7FD63FB0, 0xDE6B, 0x4617, {0xB3, 0xC5, 0x36, 0x74, 0xEE, 0xE5, 0x80, 0x04}};

class EventsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  com::ComPtr<IConnectionPointContainer> Container() {
    return com::ComPtr<IUnknown>(control_.Get()).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  }
  ControlClient control_;
};

TEST_F(EventsTest, EverySinkHearsEachEventUntilItUnadvises) {
  Advised first(control_.Get());
  Advised second(control_.Get());
  ASSERT_EQ(control_.Call(L"AddVirtualFileWithSize", {Text(L"/a/b.txt"), Text(L"3M")}).Hr, S_OK);
  for (Advised* a : {&first, &second}) {
    ASSERT_EQ(a->Sink().Events.size(), 2u);
    EXPECT_EQ(a->Sink().Events[0].Id, 3);
    EXPECT_EQ(a->Sink().Events[0].Args, std::vector<std::wstring>{L"0"});
    EXPECT_EQ(a->Sink().Events[1].Id, 5);
    EXPECT_EQ(a->Sink().Events[1].Args, std::vector<std::wstring>{L"1"});
  }
  second.Unadvise();
  ASSERT_EQ(control_.Call(L"DeleteFile2", {Text(L"B.TXT")}).Hr, S_OK);
  EXPECT_EQ(first.Sink().Events.size(), 3u);
  EXPECT_EQ(second.Sink().Events.size(), 2u);
}

TEST_F(EventsTest, ContainerOffersEventsAndPropertyNotifications) {
  com::ComPtr<IConnectionPointContainer> container = Container();
  ASSERT_TRUE(container);
  com::ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
  IConnectionPoint* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  IID iids[2];
  for (ULONG i = 0; i < fetched; ++i) {
    got[i]->GetConnectionInterface(&iids[i]);
    got[i]->Release();
  }
  EXPECT_TRUE(IsEqualIID(iids[0], kEventsIid));
  EXPECT_TRUE(IsEqualIID(iids[1], IID_IPropertyNotifySink));

  com::ComPtr<IConnectionPoint> notify;
  ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notify.Put()), S_OK);
  com::ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(notify->GetConnectionPointContainer(back.Put()), S_OK);
  EXPECT_EQ(back.Get(), container.Get());
  com::ComPtr<IConnectionPoint> none;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.Put()), CONNECT_E_NOCONNECTION);

  // A sink that is neither the event interface nor a dispatch is refused.
  com::ComPtr<IConnectionPoint> events;
  ASSERT_EQ(container->FindConnectionPoint(kEventsIid, events.Put()), S_OK);
  com::ComPtr<IEnumConnectionPoints> notDispatch;
  container->EnumConnectionPoints(notDispatch.Put());
  DWORD cookie = 1;
  EXPECT_EQ(events->Advise(notDispatch.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(events->Unadvise(12345), CONNECT_E_NOCONNECTION);

  Advised advised(control_.Get());
  com::ComPtr<IEnumConnections> connections;
  ASSERT_EQ(events->EnumConnections(connections.Put()), S_OK);
  CONNECTDATA data = {};
  ASSERT_EQ(connections->Next(1, &data, nullptr), S_OK);
  EXPECT_NE(data.dwCookie, 0u);
  data.pUnk->Release();
  EXPECT_EQ(connections->Next(1, &data, nullptr), S_FALSE);
}

// Containers follow property changes through IPropertyNotifySink: only a
// sink of that interface connects, and every put that succeeds tells it.
TEST_F(EventsTest, PropertyPutsNotifyTheirSinks) {
  struct Notified : IPropertyNotifySink {
    std::vector<DISPID> changed;
    ULONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
        *out = this;
        AddRef();
        return S_OK;
      }
      *out = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP OnChanged(DISPID id) override {
      changed.push_back(id);
      return S_OK;
    }
    STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
  } sink;
  com::ComPtr<IConnectionPoint> notify;
  ASSERT_EQ(Container()->FindConnectionPoint(IID_IPropertyNotifySink, notify.Put()), S_OK);
  // A dispatch-only sink (an event handler of a script) cannot take these calls.
  Advised scriptSink(control_.Get());
  DWORD refused = 1;
  EXPECT_EQ(notify->Advise(&scriptSink.Sink(), &refused), CONNECT_E_CANNOTCONNECT);
  DWORD cookie = 0;
  ASSERT_EQ(notify->Advise(&sink, &cookie), S_OK);

  ASSERT_EQ(control_.Put(L"Port", Long(8080)).Hr, S_OK);
  ASSERT_EQ(control_.Put(L"URL", Text(L"http://host/recv.asp")).Hr, S_OK);
  EXPECT_EQ(control_.Get(L"Port").Hr, S_OK);  // reading changes nothing
  control_.Call(L"AddVirtualFileWithSize", {Text(L"/a/b.txt"), Text(L"3M")});  // a method neither
  EXPECT_EQ(sink.changed, (std::vector<DISPID>{control_.Id(L"Port"), control_.Id(L"URL")}));
  EXPECT_EQ(notify->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs, 1u);
}

TEST_F(EventsTest, SinkMayChangeTheListFromInsideAnEvent) {
  Advised advised(control_.Get());
  // The page removes every entry as soon as it is announced.
  struct Remover : IDispatch {
    ControlClient* control;
    ULONG refs = 1;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = this;
        AddRef();
        return S_OK;
      }
      *out = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
      if (id == 3) control->Call(L"DeleteFile", {Long(V_I4(&p->rgvarg[0]))});
      return S_OK;
    }
  } remover;
  remover.control = &control_;
  com::ComPtr<IConnectionPoint> events;
  ASSERT_EQ(Container()->FindConnectionPoint(kEventsIid, events.Put()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(events->Advise(&remover, &cookie), S_OK);

  TempFolder folder;
  folder.MakeFile(L"1.txt", 1);
  folder.MakeFile(L"2.txt", 2);
  EXPECT_EQ(control_.Call(L"AddVirtualFile", {Text(L"/s/x.doc")}).Hr, S_OK);
  EXPECT_EQ(control_.Call(L"AddLocalFiles", {Text((folder.Path() + L"*.txt").c_str())}).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 0);
  EXPECT_EQ(control_.GetLong(L"DeleteFileCount"), 1);
  EXPECT_EQ(events->Unadvise(cookie), S_OK);
  EXPECT_EQ(remover.refs, 1u);
  // The recording sink heard every addition and every removal.
  int adds = 0, deletes = 0;
  for (const FiredEvent& e : advised.Sink().Events) {
    adds += e.Id == 3;
    deletes += e.Id == 4;
  }
  EXPECT_EQ(adds, 3);
  EXPECT_EQ(deletes, 3);
}

}  // namespace
}  // namespace zt::test
