#pragma once
// The members as a page author's documentation lists them: name, run-time
// number, number declared in the type library (0: not declared).
namespace zt::test {

struct ExpectedMember {
  const wchar_t* Name;
  long RunTimeId;
  long DeclaredId;
  bool Property;
};

inline constexpr ExpectedMember kExpectedMembers[] = {
    {L"MaxUploadSize", 1, 1, true},        {L"EnableFolderMenu", 2, 2, true},
    {L"EnableMenu", 3, 3, true},           {L"EnableDeleteMenu", 4, 4, true},
    {L"URL", 5, 5, true},                  {L"ErrorCode", 6, 6, true},
    {L"ErrorDescription", 7, 7, true},     {L"Port", 8, 8, true},
    {L"UserName", 9, 9, true},             {L"Password", 10, 10, true},
    {L"PostMode", 11, 11, true},           {L"BgColor", 12, 12, true},
    {L"FgColor", 13, 13, true},            {L"TrackSelect", 14, 14, true},
    {L"RowSelect", 15, 15, true},          {L"EnableHeaderMove", 16, 16, true},
    {L"UTF8", 17, 17, true},               {L"GridLine", 18, 18, true},
    {L"ListType", 19, 19, true},           {L"FileCount", 20, 20, true},
    {L"FilePos", 21, 21, true},            {L"DeleteFilePos", 22, 22, true},
    {L"DeleteFileCount", 23, 23, true},    {L"IsUpdated", 24, 24, true},
    {L"IsLocalFile", 25, 25, true},        {L"FileName", 26, 26, true},
    {L"FilePath", 27, 27, true},           {L"DeleteFileName", 28, 28, true},
    {L"DeleteFilePath", 29, 29, true},     {L"ExFileAttributes", 30, 30, true},
    {L"KByteRate", 31, 31, true},          {L"ResponseStatusCode", 32, 32, true},
    {L"ResponseText", 33, 33, true},       {L"FileSize", 34, 34, true},
    {L"FileBytes", 35, 35, true},          {L"DbClickEventEnable", 36, 36, true},
    {L"AddLocalFile", 37, 37, false},      {L"AddVirtualFile", 38, 38, false},
    {L"AddVirtualFileWithSize", 39, 0, false}, {L"DeleteFile", 40, 39, false},
    {L"DeleteFile2", 41, 40, false},       {L"OpenFileDialog", 42, 41, false},
    {L"OpenFolderDialog", 43, 42, false},  {L"GetSelectedCount", 44, 43, false},
    {L"GetSelectedFileName", 45, 44, false}, {L"AddLocalFiles", 46, 45, false},
    {L"Post", 47, 46, false},              {L"AddMessage", 48, 47, false},
    {L"FindFilePos", 49, 48, false},       {L"SetFileAttr", 50, 49, false},
    {L"GetFileAttr", 51, 50, false},       {L"SetDeleteFileAttr", 52, 51, false},
    {L"GetDeleteFileAttr", 53, 52, false}, {L"GetFileAttrs", 54, 53, false},
    {L"ClearMessage", 55, 54, false},      {L"PostMessage", 56, 55, false},
    {L"PostFile", 57, 56, false},          {L"OpenPostDialog", 58, 57, false},
    {L"GetDeleteFileAttrs", 59, 58, false}, {L"OpenFile", 60, 0, false},
    {L"RetryCount", 61, 61, true},         {L"ParallelCount", 62, 62, true},
};

}  // namespace zt::test
