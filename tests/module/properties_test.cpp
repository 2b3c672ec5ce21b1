// Properties of a new control and the three ways a failing member reports.
#include <gtest/gtest.h>

#include "control_client.h"

namespace zt::test {
namespace {

constexpr const wchar_t* kText1002Tail = L"\" \xD30C\xC77C\xBA85\xC774 \xC774\xBBF8 \xC874\xC7AC\xD569\xB2C8\xB2E4. \xD30C\xC77C\xC744 \xCD94\xAC00\xD560 \xC218 \xC5C6\xC2B5\xB2C8\xB2E4.";
constexpr const wchar_t* kText1005 = L"\xC77D\xAE30 \xC804\xC6A9 \xC785\xB2C8\xB2E4.";
constexpr const wchar_t* kText1006 = L"\xD574\xB2F9 \xD30C\xC77C\xC774 \xC874\xC7AC\xD558\xC9C0 \xC54A\xC2B5\xB2C8\xB2E4.";

class PropertiesTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  short GetShort(const wchar_t* name) {
    CallResult r = control_.Get(name);
    EXPECT_EQ(V_VT(r.Value.Get()), VT_I2) << std::wstring(name).size();
    return V_I2(r.Value.Get());
  }
  ControlClient control_;
};

TEST_F(PropertiesTest, NewControlHasItsInitialValues) {
  EXPECT_EQ(control_.GetLong(L"MaxUploadSize"), 0);
  EXPECT_EQ(control_.GetLong(L"Port"), 80);
  EXPECT_EQ(control_.GetLong(L"BgColor"), 0xFFFFFF);
  EXPECT_EQ(control_.GetLong(L"FgColor"), 0);
  EXPECT_EQ(control_.GetLong(L"KByteRate"), 0);
  EXPECT_EQ(control_.GetLong(L"FilePos"), -1);
  EXPECT_EQ(control_.GetLong(L"DeleteFilePos"), -1);
  EXPECT_EQ(control_.GetLong(L"ResponseStatusCode"), -1);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 0);
  EXPECT_EQ(GetShort(L"RowSelect"), 1);
  EXPECT_EQ(GetShort(L"EnableMenu"), 1);
  EXPECT_EQ(GetShort(L"EnableFolderMenu"), 1);
  EXPECT_EQ(GetShort(L"EnableDeleteMenu"), 1);
  EXPECT_EQ(GetShort(L"EnableHeaderMove"), 1);
  EXPECT_EQ(GetShort(L"TrackSelect"), 0);
  EXPECT_EQ(GetShort(L"ListType"), 0);
  for (const wchar_t* name : {L"URL", L"UserName", L"Password", L"ErrorCode", L"ErrorDescription", L"ResponseText"})
    EXPECT_EQ(control_.GetText(name), L"");
  // Nothing is selected without a list view.
  EXPECT_EQ(control_.Call(L"GetSelectedCount").Long(), 0);
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {Long(0)}).Text(), L"");
}

TEST_F(PropertiesTest, MaxUploadSizeKeepsMegabytesThroughItsByteCount) {
  for (long mb : {10L, 3000L, 2047L, -1L, -3000L, 0x7FFFFFFFL}) {
    EXPECT_EQ(control_.Put(L"MaxUploadSize", Long(mb)).Hr, S_OK);
    EXPECT_EQ(control_.GetLong(L"MaxUploadSize"), mb) << mb;
  }
}

TEST_F(PropertiesTest, UrlIsCutIntoHostPathAndPort) {
  EXPECT_EQ(control_.Put(L"URL", Text(L"HTTPS://Example.com/a/b?x=1")).Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"URL"), L"/a/b?x=1");
  EXPECT_EQ(control_.GetLong(L"Port"), 443);
  EXPECT_EQ(control_.Put(L"URL", Text(L"http://host:8080/up")).Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"URL"), L"/up");
  EXPECT_EQ(control_.GetLong(L"Port"), 8080);
  EXPECT_EQ(control_.Put(L"Port", Long(81)).Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"Port"), 81);
}

TEST_F(PropertiesTest, RecordedAndRaisedFailureSetsThePairAndTheCodeWord) {
  CallResult r = control_.Get(L"FileName");
  ASSERT_EQ(r.Hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(r.Exception.scode, S_OK);
  EXPECT_EQ(r.Exception.dwHelpContext, 0u);
  EXPECT_EQ(r.Description(), kText1006);
  EXPECT_NE(r.Exception.bstrSource, nullptr);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");
  EXPECT_EQ(control_.GetText(L"ErrorDescription"), kText1006);

  // A later success leaves the error in place.
  EXPECT_EQ(control_.Call(L"AddVirtualFile", {Text(L"/docs/a.doc")}).Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");

  // E01002 carries the refused name in its text.
  r = control_.Put(L"FileName", Text(L"A.DOC"));
  ASSERT_EQ(r.Hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.Exception.wCode, 1002);
  EXPECT_EQ(r.Description(), std::wstring(L"\"A.DOC") + kText1002Tail);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01002");
  EXPECT_EQ(control_.GetText(L"ErrorDescription"), r.Description());
  EXPECT_EQ(control_.GetText(L"FileName"), L"a.doc");
}

TEST_F(PropertiesTest, RaisedOnlyFailureLeavesThePairAlone) {
  control_.Get(L"FileName");  // records E01006
  for (const wchar_t* name : {L"ErrorCode", L"ErrorDescription", L"FileCount", L"DeleteFileCount", L"IsUpdated",
                              L"IsLocalFile", L"FilePath", L"DeleteFilePath", L"ResponseStatusCode", L"ResponseText"}) {
    CallResult r = control_.Put(name, Long(7));
    ASSERT_EQ(r.Hr, DISP_E_EXCEPTION) << std::wstring(name).size();
    EXPECT_EQ(r.Exception.wCode, 1005);
    EXPECT_EQ(r.Exception.dwHelpContext, 1005u);
    EXPECT_EQ(r.Description(), kText1005);
  }
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");
  EXPECT_EQ(control_.GetLong(L"FileCount"), 0);
  EXPECT_EQ(control_.GetLong(L"ResponseStatusCode"), -1);

  // IsLocalFile without a current entry: form 2 with 1006.
  CallResult r = control_.Get(L"IsLocalFile");
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(r.Exception.dwHelpContext, 1006u);
}

TEST_F(PropertiesTest, RecordedOnlyFailureReturnsNormally) {
  CallResult r = control_.Get(L"FilePath");
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(r.Text(), L"");
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");
  EXPECT_EQ(control_.GetText(L"ErrorDescription"), kText1006);
}

// OpenFile has nothing to fetch without a current entry or for a local one:
// it shows nothing, asks no server, raises nothing and records nothing.
TEST_F(PropertiesTest, OpenFileWithoutAServerEntryDoesNothing) {
  ASSERT_EQ(control_.Put(L"FilePos", Long(5)).Hr, DISP_E_EXCEPTION);  // records E01006
  CallResult r = control_.Call(L"OpenFile");
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");

  TempFolder folder;
  const std::wstring path = folder.MakeFile(L"here.txt", 3);
  ASSERT_TRUE(control_.Call(L"AddLocalFile", {Text(path.c_str())}).Bool());
  EXPECT_EQ(control_.Call(L"OpenFile").Hr, S_OK);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");
  EXPECT_EQ(control_.GetText(L"FilePath"), path);
}

}  // namespace
}  // namespace zt::test
