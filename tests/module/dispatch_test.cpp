// Binding by name and the Invoke protocol as script engines use it.
#include <gtest/gtest.h>

#include <cwctype>

#include "control_client.h"
#include "members_data.h"

namespace zt::test {
namespace {

class DispatchTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  ControlClient control_;
};

TEST_F(DispatchTest, EveryNameBindsToItsRunTimeNumberIgnoringCase) {
  for (const ExpectedMember& m : kExpectedMembers) {
    std::wstring lower = m.Name, upper = m.Name;
    for (wchar_t& c : lower) c = std::towlower(c);
    for (wchar_t& c : upper) c = std::towupper(c);
    EXPECT_EQ(control_.Id(m.Name), m.RunTimeId) << m.RunTimeId;
    EXPECT_EQ(control_.Id(lower), m.RunTimeId) << m.RunTimeId;
    EXPECT_EQ(control_.Id(upper), m.RunTimeId) << m.RunTimeId;
  }
  EXPECT_EQ(control_.Id(L"addvirtualfilewithsize"), 39);
  EXPECT_EQ(control_.Id(L"DeleteFile"), 40);
  EXPECT_EQ(control_.Id(L"OpenFile"), 60);
}

TEST_F(DispatchTest, UnknownNamesAndNumbersAreRefused) {
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(L"DeleteFile3")};
  EXPECT_EQ(control_.Get()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  // A member name followed by a parameter name: named arguments are not
  // offered, so the member binds and the parameter does not.
  DISPID ids[2] = {0, 0};
  LPOLESTR two[2] = {const_cast<LPOLESTR>(L"DeleteFile"), const_cast<LPOLESTR>(L"fileIndex")};
  EXPECT_EQ(control_.Get()->GetIDsOfNames(IID_NULL, two, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 40);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  for (DISPID bad : {0, 64, -5, 1000})
    EXPECT_EQ(control_.Invoke(bad, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Hr, DISP_E_MEMBERNOTFOUND) << bad;
  // Invoke and GetIDsOfNames take no interface id but IID_NULL.
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(control_.Get()->Invoke(20, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  EXPECT_EQ(control_.Get()->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  // A method cannot be put.
  EXPECT_EQ(control_.Invoke(44, DISPATCH_PROPERTYPUT, {Long(1)}, true).Hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, ArgumentCountsAreChecked) {
  EXPECT_EQ(control_.Call(L"AddVirtualFile").Hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(control_.Call(L"AddVirtualFile", {Text(L"/a"), Text(L"/b")}).Hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(control_.Call(L"AddVirtualFileWithSize", {Text(L"/a")}).Hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(control_.Invoke(20, DISPATCH_PROPERTYGET, {Long(1)}).Hr, DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(control_.Invoke(8, DISPATCH_PROPERTYPUT, {}, false).Hr, DISP_E_BADPARAMCOUNT);
  // None of the refused calls added anything.
  EXPECT_EQ(control_.GetLong(L"FileCount"), 0);
}

TEST_F(DispatchTest, ArgumentsAreCoercedAsScriptsSendThem) {
  // A number given as text, and text given as a number.
  VARIANT port;
  V_VT(&port) = VT_BSTR;
  V_BSTR(&port) = SysAllocString(L"8080");
  EXPECT_EQ(control_.Put(L"Port", port).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"Port"), 8080);
  EXPECT_EQ(control_.Call(L"AddVirtualFileWithSize", {Text(L"/d/a.txt"), Long(1536)}).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"FileSize"), 1536);

  // A boolean into a short: true is -1.
  EXPECT_EQ(control_.Put(L"GridLine", Bool(true)).Hr, S_OK);
  CallResult grid = control_.Get(L"GridLine");
  ASSERT_EQ(V_VT(grid.Value.Get()), VT_I2);
  EXPECT_EQ(V_I2(grid.Value.Get()), -1);

  // By reference, as VBScript passes variables, also a reference to a
  // VARIANT holding text.
  long index = 0;
  VARIANT byRef;
  V_VT(&byRef) = VT_BYREF | VT_I4;
  V_I4REF(&byRef) = &index;
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {byRef}).Hr, S_OK);
  VARIANT inner = Text(L"/d/b.txt");
  VARIANT refVariant;
  V_VT(&refVariant) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&refVariant) = &inner;
  EXPECT_EQ(control_.Call(L"AddVirtualFile", {refVariant}).Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"FileName"), L"b.txt");
  VariantClear(&inner);

  // A put without the named DISPID_PROPERTYPUT argument, and a put by
  // reference (DISPATCH_PROPERTYPUTREF), are accepted too.
  EXPECT_EQ(control_.Invoke(8, DISPATCH_PROPERTYPUT, {Long(81)}, false).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"Port"), 81);
  EXPECT_EQ(control_.Invoke(8, DISPATCH_PROPERTYPUTREF, {Long(82)}, true).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"Port"), 82);
  // VBScript reads properties and calls methods with METHOD|PROPERTYGET.
  EXPECT_EQ(control_.Invoke(8, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Long(), 82);
  EXPECT_EQ(control_.Invoke(44, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}).Long(), 0);
}

TEST_F(DispatchTest, UncoercibleArgumentsNameTheirPosition) {
  CallResult r = control_.Call(L"DeleteFile", {Text(L"first")});
  EXPECT_EQ(r.Hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(r.ArgErr, 0u);
  // The second of two arguments is rgvarg[0].
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
  VARIANT arrayArg;
  V_VT(&arrayArg) = VT_ARRAY | VT_I4;
  V_ARRAY(&arrayArg) = array;
  r = control_.Call(L"AddVirtualFileWithSize", {Text(L"/x"), arrayArg});
  EXPECT_EQ(r.Hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(r.ArgErr, 0u);
  r = control_.Call(L"AddVirtualFileWithSize", {Text(L"/x"), Text(L"/y")});
  EXPECT_EQ(r.Hr, S_OK);
  VARIANT nullArg;
  V_VT(&nullArg) = VT_NULL;
  r = control_.Call(L"AddMessage", {nullArg, Text(L"v")});
  EXPECT_EQ(r.Hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(r.ArgErr, 1u);
  // A short property refuses a value that does not fit in 16 bits.
  EXPECT_EQ(control_.Put(L"ListType", Long(70000)).Hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 1);
}

}  // namespace
}  // namespace zt::test
