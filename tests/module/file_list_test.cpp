// The file list members on real files, with the events a container sees.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

#include "control_client.h"
#include "event_sink.h"
#include "model/formats.h"
#include "platform/win_file_system.h"

namespace zt::test {
namespace {

constexpr DISPID kAfterAddFile = 3, kAfterDeleteFile = 4, kAfterAddFiles = 5;

class FileListTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  bool Ok(CallResult r) { return r.Hr == S_OK; }
  std::wstring ErrorCode() { return control_.GetText(L"ErrorCode"); }
  ControlClient control_;
  TempFolder folder_;
};

TEST_F(FileListTest, AddingLocalFilesFiresEventsAndStopsAtTheFirstMissingPath) {
  Advised events(control_.Get());
  std::wstring a = folder_.MakeFile(L"a.txt", 2048);
  ASSERT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(a.c_str())})));
  EXPECT_EQ(control_.GetText(L"FileName"), L"a.txt");
  EXPECT_EQ(control_.GetText(L"FilePath"), a);
  EXPECT_EQ(control_.GetLong(L"FileSize"), 2048);
  EXPECT_TRUE(control_.Get(L"IsLocalFile").Bool());
  EXPECT_FALSE(control_.Get(L"IsUpdated").Bool());

  // The same file again is added under a new name.
  ASSERT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(a.c_str())})));
  EXPECT_EQ(control_.GetText(L"FileName"), L"a(1).txt");

  ASSERT_EQ(events.Sink().Events.size(), 4u);
  EXPECT_EQ(events.Sink().Events[0].Id, kAfterAddFile);
  EXPECT_EQ(events.Sink().Events[0].Args, std::vector<std::wstring>{L"0"});
  EXPECT_EQ(events.Sink().Events[1].Id, kAfterAddFiles);
  EXPECT_EQ(events.Sink().Events[1].Args, std::vector<std::wstring>{L"1"});
  EXPECT_EQ(events.Sink().Events[2].Args, std::vector<std::wstring>{L"1"});
  events.Sink().Events.clear();

  // A pattern whose second match vanished cannot be made with real files;
  // a missing path fails the same way through AddLocalFile.
  CallResult r = control_.Call(L"AddLocalFile", {Text((folder_.Path() + L"missing.txt").c_str())});
  EXPECT_EQ(r.Hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(ErrorCode(), L"E01006");
  EXPECT_TRUE(events.Sink().Events.empty());
  EXPECT_EQ(control_.GetLong(L"FileCount"), 2);

  // A new addition clears the error pair before it starts.
  ASSERT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(a.c_str())})));
  EXPECT_EQ(ErrorCode(), L"");
}

TEST_F(FileListTest, PatternAddsPlainFilesAndSkipsSystemFilesAndFolders) {
  folder_.MakeFile(L"one.txt", 10);
  folder_.MakeFile(L"hidden.txt", 20, FILE_ATTRIBUTE_HIDDEN);
  folder_.MakeFile(L"system.txt", 30, FILE_ATTRIBUTE_SYSTEM);
  folder_.MakeFile(L"readonly.dat", 40, FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((folder_.Path() + L"sub").c_str(), nullptr);
  Advised events(control_.Get());

  CallResult r = control_.Call(L"AddLocalFiles", {Text((folder_.Path() + L"*").c_str())});
  ASSERT_EQ(r.Hr, S_OK);
  EXPECT_TRUE(r.Bool());
  EXPECT_EQ(control_.GetLong(L"FileCount"), 3);
  EXPECT_NE(control_.Call(L"FindFilePos", {Text(L"ONE.TXT")}).Long(), -1);
  EXPECT_NE(control_.Call(L"FindFilePos", {Text(L"hidden.txt")}).Long(), -1);
  EXPECT_NE(control_.Call(L"FindFilePos", {Text(L"readonly.dat")}).Long(), -1);
  EXPECT_EQ(control_.Call(L"FindFilePos", {Text(L"system.txt")}).Long(), -1);
  EXPECT_EQ(control_.Call(L"FindFilePos", {Text(L"sub")}).Long(), -1);
  ASSERT_FALSE(events.Sink().Events.empty());
  EXPECT_EQ(events.Sink().Events.back().Id, kAfterAddFiles);
  EXPECT_EQ(events.Sink().Events.back().Args, std::vector<std::wstring>{L"3"});

  // No "\": nothing is added and the answer is false.
  r = control_.Call(L"AddLocalFiles", {Text(L"*.txt")});
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_FALSE(r.Bool());
  // A pattern that matches nothing succeeds with no additions.
  events.Sink().Events.clear();
  r = control_.Call(L"AddLocalFiles", {Text((folder_.Path() + L"*.none").c_str())});
  EXPECT_TRUE(r.Bool());
  ASSERT_EQ(events.Sink().Events.size(), 1u);
  EXPECT_EQ(events.Sink().Events[0].Args, std::vector<std::wstring>{L"0"});
  EXPECT_EQ(control_.GetLong(L"FileCount"), 3);
}

TEST_F(FileListTest, LengthsBeyond32BitsAreKeptWhole) {
  // A sparse file of 4 GiB + 5 bytes costs no disk space.
  std::wstring big = folder_.Path() + L"huge.bin";
  HANDLE h = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD ignored = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER size;
  size.QuadPart = 0x100000005LL;
  ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);

  ASSERT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(big.c_str())})));
  EXPECT_EQ(control_.GetLong(L"FileSize"), 5);
  EXPECT_EQ(V_R8(control_.Get(L"FileBytes").Value.Get()), 4294967301.0);
  // 4 GiB + 5 bytes is over a 4096 MB limit.
  ASSERT_TRUE(Ok(control_.Put(L"MaxUploadSize", Long(4096))));
  EXPECT_EQ(control_.Call(L"AddLocalFile", {Text(big.c_str())}).Exception.wCode, 1004);
  DeleteFileW(big.c_str());
}

TEST_F(FileListTest, UploadLimitIsReachedAtExactlyTheByteCount) {
  ASSERT_TRUE(Ok(control_.Put(L"MaxUploadSize", Long(1))));
  ASSERT_TRUE(Ok(control_.Call(L"AddVirtualFileWithSize", {Text(L"/s/big.bin"), Text(L"1048000")})));
  std::wstring exact = folder_.MakeFile(L"exact.bin", 576);
  std::wstring below = folder_.MakeFile(L"below.bin", 575);
  CallResult r = control_.Call(L"AddLocalFile", {Text(exact.c_str())});
  EXPECT_EQ(r.Exception.wCode, 1004);
  EXPECT_EQ(ErrorCode(), L"E01004");
  EXPECT_EQ(control_.GetLong(L"FileCount"), 1);
  EXPECT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(below.c_str())})));
  EXPECT_EQ(control_.GetLong(L"FileCount"), 2);
}

TEST_F(FileListTest, ServerEntriesAndTheDeletedList) {
  Advised events(control_.Get());
  ASSERT_TRUE(Ok(control_.Call(L"AddVirtualFile", {Text(L"/docs/a/report.doc")})));
  EXPECT_EQ(control_.GetText(L"FileName"), L"report.doc");
  EXPECT_EQ(control_.GetText(L"FilePath"), L"/docs/a/report.doc");
  EXPECT_FALSE(control_.Get(L"IsLocalFile").Bool());
  EXPECT_EQ(control_.GetLong(L"FileSize"), 0);
  CallResult bytes = control_.Get(L"FileBytes");
  ASSERT_EQ(V_VT(bytes.Value.Get()), VT_R8);
  EXPECT_EQ(V_R8(bytes.Value.Get()), 0.0);

  // A FileSize put is sign-extended to the 64-bit size.
  ASSERT_TRUE(Ok(control_.Put(L"FileSize", Long(-2))));
  EXPECT_EQ(control_.GetLong(L"FileSize"), -2);
  EXPECT_EQ(V_R8(control_.Get(L"FileBytes").Value.Get()), -2.0);
  ASSERT_TRUE(Ok(control_.Call(L"SetFileAttr", {Text(L"Owner"), Text(L"kim")})));

  // Out-of-range deletes change nothing.
  EXPECT_EQ(control_.Call(L"DeleteFile", {Long(1)}).Exception.wCode, 1003);
  EXPECT_EQ(control_.Call(L"DeleteFile", {Long(-1)}).Exception.wCode, 1006);
  EXPECT_EQ(control_.Call(L"DeleteFile2", {Text(L"nope.doc")}).Exception.wCode, 1006);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 1);

  events.Sink().Events.clear();
  ASSERT_TRUE(control_.Call(L"DeleteFile", {Long(0)}).Bool());
  ASSERT_EQ(events.Sink().Events.size(), 1u);
  EXPECT_EQ(events.Sink().Events[0].Id, kAfterDeleteFile);
  EXPECT_EQ(events.Sink().Events[0].Args, (std::vector<std::wstring>{L"report.doc", L"/docs/a/report.doc"}));
  EXPECT_EQ(control_.GetLong(L"DeleteFileCount"), 1);

  // The deleted entry keeps its attributes and is reached through its own cursor.
  EXPECT_EQ(control_.GetText(L"DeleteFilePath"), L"");
  CallResult r = control_.Put(L"DeleteFilePos", Long(1));
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(r.Exception.dwHelpContext, 1006u);
  EXPECT_EQ(control_.GetLong(L"DeleteFilePos"), -1);
  ASSERT_TRUE(Ok(control_.Put(L"DeleteFilePos", Long(0))));
  EXPECT_EQ(control_.GetText(L"DeleteFilePath"), L"/docs/a/report.doc");
  EXPECT_EQ(control_.Call(L"GetDeleteFileAttr", {Text(L"OWNER")}).Text(), L"kim");
  ASSERT_TRUE(Ok(control_.Put(L"DeleteFileName", Text(L"old.doc"))));
  EXPECT_EQ(control_.GetText(L"DeleteFileName"), L"old.doc");
  // A clash is raised only, with the name in the text and no help context.
  ASSERT_TRUE(Ok(control_.Call(L"AddVirtualFile", {Text(L"/x/new.doc")})));
  r = control_.Put(L"DeleteFileName", Text(L"NEW.doc"));
  EXPECT_EQ(r.Exception.wCode, 1002);
  EXPECT_EQ(r.Exception.dwHelpContext, 0u);
  EXPECT_EQ(control_.GetText(L"DeleteFileName"), L"old.doc");
}

TEST_F(FileListTest, CursorAndAttributes) {
  // SetFileAttr with an empty name answers false before anything else.
  CallResult r = control_.Call(L"SetFileAttr", {Text(L""), Text(L"v")});
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_FALSE(r.Bool());
  EXPECT_EQ(control_.Call(L"SetFileAttr", {Text(L"Title"), Text(L"v")}).Exception.wCode, 1006);
  EXPECT_EQ(control_.Call(L"GetFileAttrs").Exception.dwHelpContext, 1006u);

  ASSERT_TRUE(Ok(control_.Call(L"AddVirtualFile", {Text(L"/a.txt")})));
  EXPECT_EQ(control_.Call(L"SetFileAttr", {Text(L"_x"), Text(L"v")}).Exception.wCode, 1007);
  EXPECT_EQ(ErrorCode(), L"E01007");
  ASSERT_TRUE(control_.Call(L"SetFileAttr", {Text(L"Title"), Text(L"")}).Bool());
  ASSERT_TRUE(control_.Call(L"SetFileAttr", {Text(L"Owner"), Text(L"lee")}).Bool());
  r = control_.Call(L"GetFileAttrs");
  ASSERT_EQ(V_VT(r.Value.Get()), VT_ARRAY | VT_VARIANT);
  SAFEARRAY* a = V_ARRAY(r.Value.Get());
  ASSERT_EQ(SafeArrayGetDim(a), 2u);
  LONG upper0 = 0, upper1 = 0;
  SafeArrayGetUBound(a, 1, &upper0);
  SafeArrayGetUBound(a, 2, &upper1);
  EXPECT_EQ(upper0, 1);
  EXPECT_EQ(upper1, 1);
  auto at = [a](LONG i, LONG j) {
    LONG index[2] = {i, j};
    VARIANT element;
    VariantInit(&element);
    SafeArrayGetElement(a, index, &element);
    std::wstring s = V_VT(&element) == VT_BSTR && V_BSTR(&element) ? V_BSTR(&element) : L"<not a string>";
    VariantClear(&element);
    return s;
  };
  EXPECT_EQ(at(0, 0), L"Title");
  EXPECT_EQ(at(1, 0), L"");
  EXPECT_EQ(at(0, 1), L"Owner");
  EXPECT_EQ(at(1, 1), L"lee");

  // FilePos beyond the list leaves no current entry, in form 1.
  r = control_.Put(L"FilePos", Long(1));
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(control_.GetLong(L"FilePos"), -1);
  EXPECT_EQ(control_.Put(L"FileSize", Long(1)).Exception.wCode, 1005);
  EXPECT_EQ(ErrorCode(), L"E01005");
  ASSERT_TRUE(Ok(control_.Put(L"FilePos", Long(0))));
  ASSERT_TRUE(Ok(control_.Put(L"FileName", Text(L"b.txt"))));
  EXPECT_EQ(control_.Call(L"FindFilePos", {Text(L"B.TXT")}).Long(), 0);
  // Putting an entry's own name is a clash too.
  EXPECT_EQ(control_.Put(L"FileName", Text(L"b.txt")).Exception.wCode, 1002);

  ASSERT_TRUE(Ok(control_.Call(L"AddMessage", {Text(L"k"), Text(L"1")})));
  ASSERT_TRUE(Ok(control_.Call(L"AddMessage", {Text(L"k"), Text(L"2")})));
  EXPECT_TRUE(Ok(control_.Call(L"ClearMessage")));
}

TEST_F(FileListTest, DateAttributesFollowTheFileTimesInLocalTime) {
  ASSERT_TRUE(Ok(control_.Put(L"ExFileAttributes", Long(1))));
  std::wstring file = folder_.MakeFile(L"dated.txt", 5);
  HANDLE h = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SYSTEMTIME st = {2021, 3, 0, 4, 5, 6, 7, 0};
  FILETIME local, utc;
  SystemTimeToFileTime(&st, &local);
  LocalFileTimeToFileTime(&local, &utc);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);

  ASSERT_TRUE(Ok(control_.Call(L"AddLocalFile", {Text(file.c_str())})));
  EXPECT_EQ(control_.Call(L"GetFileAttr", {Text(L"ModifiyDate")}).Text(), L"2021-03-04 05:06:07");
  EXPECT_EQ(control_.Call(L"GetFileAttr", {Text(L"ModifyDate")}).Text(), L"");
  EXPECT_EQ(control_.Call(L"GetFileAttr", {Text(L"CreateDate")}).Text().size(), 19u);

  // A file whose status cannot be read shows time 0 in local time: the
  // tests run in Seoul's zone, nine hours east of Greenwich.
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  ASSERT_EQ(zone.Bias, -540) << "run with TZ=Asia/Seoul";
  const CivilTime epoch = WinFileSystem().LocalEpoch();
  EXPECT_EQ(DateText(epoch), u"1970-01-01 09:00:00");
}

}  // namespace
}  // namespace zt::test
