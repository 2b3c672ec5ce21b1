#pragma once
// The members as a page author's documentation lists them: name and number
// (the same at run time and in the type library).
namespace zt::test {

struct ExpectedMember {
  const wchar_t* Name;
  long RunTimeId;
  bool Property;
};

inline constexpr ExpectedMember kExpectedMembers[] = {
    {L"MaxUploadSize", 1, true},        {L"EnableFolderMenu", 2, true},
    {L"EnableMenu", 3, true},           {L"EnableDeleteMenu", 4, true},
    {L"URL", 5, true},                  {L"ErrorCode", 6, true},
    {L"ErrorDescription", 7, true},     {L"Port", 8, true},
    {L"UserName", 9, true},             {L"Password", 10, true},
    {L"PostMode", 11, true},           {L"BgColor", 12, true},
    {L"FgColor", 13, true},            {L"TrackSelect", 14, true},
    {L"RowSelect", 15, true},          {L"EnableHeaderMove", 16, true},
    {L"UTF8", 17, true},               {L"GridLine", 18, true},
    {L"ListType", 19, true},           {L"FileCount", 20, true},
    {L"FilePos", 21, true},            {L"DeleteFilePos", 22, true},
    {L"DeleteFileCount", 23, true},    {L"IsUpdated", 24, true},
    {L"IsLocalFile", 25, true},        {L"FileName", 26, true},
    {L"FilePath", 27, true},           {L"DeleteFileName", 28, true},
    {L"DeleteFilePath", 29, true},     {L"ExFileAttributes", 30, true},
    {L"KByteRate", 31, true},          {L"ResponseStatusCode", 32, true},
    {L"ResponseText", 33, true},       {L"FileSize", 34, true},
    {L"FileBytes", 35, true},          {L"DbClickEventEnable", 36, true},
    {L"AddLocalFile", 37, false},      {L"AddVirtualFile", 38, false},
    {L"AddVirtualFileWithSize", 39, false}, {L"DeleteFile", 40, false},
    {L"DeleteFile2", 41, false},       {L"OpenFileDialog", 42, false},
    {L"OpenFolderDialog", 43, false},  {L"GetSelectedCount", 44, false},
    {L"GetSelectedFileName", 45, false}, {L"AddLocalFiles", 46, false},
    {L"Post", 47, false},              {L"AddMessage", 48, false},
    {L"FindFilePos", 49, false},       {L"SetFileAttr", 50, false},
    {L"GetFileAttr", 51, false},       {L"SetDeleteFileAttr", 52, false},
    {L"GetDeleteFileAttr", 53, false}, {L"GetFileAttrs", 54, false},
    {L"ClearMessage", 55, false},      {L"PostMessage", 56, false},
    {L"PostFile", 57, false},          {L"OpenPostDialog", 58, false},
    {L"GetDeleteFileAttrs", 59, false}, {L"OpenFile", 60, false},
    {L"RetryCount", 61, true},         {L"ParallelCount", 62, true},
    {L"ResumableURL", 63, true},
};

}  // namespace zt::test
