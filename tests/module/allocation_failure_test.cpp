// Allocation failure at each allocation of a member's call, in the test
// build of the module (allocation_faults.cpp): the call answers with an
// error, nothing half-done stays behind, and the control works afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "control_client.h"
#include "param_bag.h"

namespace zt::test {
namespace {

HMODULE FaultyModule() {
  static HMODULE module = [] {
    std::wstring path = ModulePath();
    path.replace(path.find_last_of(L"\\/") + 1, std::wstring::npos, L"ZTFileUploadFaults.ocx");
    return LoadLibraryW(path.c_str());
  }();
  return module;
}

// Arms the failure of the nth allocation (0: none); whether the one armed before happened.
bool FailAllocation(long nth) {
  using Arm = BOOL (*)(long);
  static auto arm = reinterpret_cast<Arm>(reinterpret_cast<void*>(GetProcAddress(FaultyModule(), "ZtFailAllocation")));
  return arm && arm(nth);
}

com::ComPtr<IDispatch> NewFaultyControl() {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(FaultyModule(), "DllGetClassObject")));
  CLSID clsid;
  CLSIDFromString(L"{641FC981-5EE3-4800-8C3C-68920AA6AC4D}", &clsid);
  com::ComPtr<IClassFactory> factory;
  com::ComPtr<IDispatch> control;
  if (get && SUCCEEDED(get(clsid, IID_IClassFactory, factory.PutVoid())))
    factory->CreateInstance(nullptr, IID_IDispatch, control.PutVoid());
  return control;
}

struct Scenario {
  const char* Name;
  std::function<void(ControlClient&)> Prepare;
  // The call under test, by number (a name look-up allocates too): its
  // result, and whether it did its whole work.
  std::function<HRESULT(ControlClient&)> Call;
  std::function<bool(ControlClient&)> Done;
};

class AllocationFailure : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }

  // Fails the first, the second, ... allocation of the call until one runs
  // without a failure.
  void FailEachAllocation(const Scenario& s) {
    SCOPED_TRACE(s.Name);
    ASSERT_NE(FaultyModule(), nullptr);
    long failures = 0;
    for (long nth = 1;; ++nth) {
      ControlClient control(NewFaultyControl());
      ASSERT_TRUE(control.Get());
      s.Prepare(control);
      FailAllocation(nth);
      const HRESULT hr = s.Call(control);
      const bool failed = FailAllocation(0);
      if (!failed) {
        EXPECT_EQ(hr, S_OK) << "no allocation failed";
        EXPECT_TRUE(s.Done(control));
        break;
      }
      ++failures;
      // Failed as a whole, or recovered and done; never half-done.
      if (hr == S_OK && !s.Done(control))
        ADD_FAILURE() << "allocation " << nth << " failed, the call reported success without doing its work";
      EXPECT_TRUE(hr == S_OK || hr == E_OUTOFMEMORY || hr == DISP_E_EXCEPTION || hr == E_UNEXPECTED)
          << "allocation " << nth << ": " << std::hex << hr;
      // The control keeps working.
      ASSERT_EQ(control.Call(L"AddVirtualFile", {Text(L"/after/fault.txt")}).Hr, S_OK) << nth;
      EXPECT_EQ(control.GetText(L"FileName"), L"fault.txt") << nth;
      ASSERT_LT(nth, 3000) << "the call never ran without a failure";
    }
    EXPECT_GT(failures, 0) << "the call allocated nothing: the hook is not in place";
  }
};

TEST_F(AllocationFailure, MembersAndLoadingAnswerWithAnError) {
  TempFolder folder;
  const std::wstring file = folder.MakeFile(L"one.txt", 100);
  FailEachAllocation({"AddLocalFile", [](ControlClient&) {},
                      [&](ControlClient& c) { return c.Invoke(37, DISPATCH_METHOD, {Text(file.c_str())}).Hr; },
                      [](ControlClient& c) { return c.GetLong(L"FileCount") == 1; }});
  FailEachAllocation({"SetFileAttr",
                      [](ControlClient& c) { c.Call(L"AddVirtualFile", {Text(L"/srv/a.txt")}); },
                      [](ControlClient& c) { return c.Invoke(50, DISPATCH_METHOD, {Text(L"owner"), Text(L"kim")}).Hr; },
                      [](ControlClient& c) {
                        return c.Call(L"GetFileAttr", {Text(L"owner")}).Text() == L"kim";
                      }});
  FailEachAllocation({"property bag load", [](ControlClient&) {},
                      [](ControlClient& c) {
                        auto* bag = new host::ParamBag({{L"URL", L"http://upload.example.com:8080/recv.asp"},
                                                        {L"ListType", L"4"},
                                                        {L"UserName", L"kim"}});  // made holding one reference
                        auto persist = com::ComPtr<IDispatch>(c.Get()).As<IPersistPropertyBag>(IID_IPersistPropertyBag);
                        HRESULT hr = persist ? persist->Load(bag, nullptr) : E_NOINTERFACE;
                        bag->Release();
                        return hr;
                      },
                      [](ControlClient& c) {
                        return c.GetLong(L"Port") == 8080 && c.GetText(L"UserName") == L"kim";
                      }});
  // Nothing listens on the discard port: the post's outcome is an error (a
  // code, or a description alone for a failure without one) in every case,
  // and never a crash.
  FailEachAllocation({"Post",
                      [&](ControlClient& c) {
                        c.Put(L"URL", Text(L"http://127.0.0.1:9/recv"));
                        c.Call(L"AddLocalFile", {Text(file.c_str())});
                      },
                      [](ControlClient& c) { return c.Invoke(47, DISPATCH_METHOD, {Bool(false)}).Hr; },
                      [](ControlClient& c) {
                        return !c.GetText(L"ErrorCode").empty() || !c.GetText(L"ErrorDescription").empty();
                      }});
}

}  // namespace
}  // namespace zt::test
