#include "platform/win_file_system.h"

#include <windows.h>

#include "platform/unique_handle.h"
#include "platform/wide_text.h"

namespace zt {
namespace {

// The searched path up to and including its last separator ("\" or "/"),
// as the caller wrote it.
std::u16string DirectoryPart(std::u16string_view path) {
  std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash + 1));
}

FoundFile ToFound(const WIN32_FIND_DATAW& data, const std::u16string& directory) {
  FoundFile f;
  f.Name = FromWide(data.cFileName);
  f.FullPath = directory + f.Name;
  f.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  f.Attributes = data.dwFileAttributes;
  return f;
}

// A Win32 call needs a terminated string; a path with an embedded zero
// would silently name another file, so it matches nothing.
bool TerminatedPath(std::u16string_view path, std::u16string* out) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return false;
  *out = std::u16string(path);
  return true;
}

// A file time in local time; empty when the time cannot be converted.
std::optional<CivilTime> LocalCivil(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return std::nullopt;
  CivilTime t;
  t.Year = st.wYear;
  t.Month = st.wMonth;
  t.Day = st.wDay;
  t.Hour = st.wHour;
  t.Minute = st.wMinute;
  t.Second = st.wSecond;
  return t;
}

}  // namespace

std::optional<FoundFile> WinFileSystem::FindFirst(std::u16string_view path) {
  std::u16string p;
  if (!TerminatedPath(path, &p)) return std::nullopt;
  WIN32_FIND_DATAW data;
  win::UniqueFind find(FindFirstFileW(AsWide(p), &data));
  if (!find) return std::nullopt;
  return ToFound(data, DirectoryPart(p));
}

std::vector<FoundFile> WinFileSystem::FindAll(std::u16string_view pattern) {
  std::vector<FoundFile> found;
  std::u16string p;
  if (!TerminatedPath(pattern, &p)) return found;
  WIN32_FIND_DATAW data;
  win::UniqueFind find(FindFirstFileW(AsWide(p), &data));
  if (!find) return found;
  const std::u16string directory = DirectoryPart(p);
  do {
    found.push_back(ToFound(data, directory));
  } while (FindNextFileW(find.Get(), &data));
  return found;
}

std::optional<FileTimes> WinFileSystem::Times(std::u16string_view path) {
  std::u16string p;
  if (!TerminatedPath(path, &p)) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(AsWide(p), GetFileExInfoStandard, &data)) return std::nullopt;
  FileTimes times;
  // Time 0 is a time the file system does not keep.
  auto kept = [](const FILETIME& t) {
    return t.dwLowDateTime == 0 && t.dwHighDateTime == 0 ? std::nullopt : LocalCivil(t);
  };
  times.Created = kept(data.ftCreationTime);
  times.Written = kept(data.ftLastWriteTime);
  times.Accessed = kept(data.ftLastAccessTime);
  return times;
}

CivilTime WinFileSystem::LocalEpoch() {
  constexpr std::uint64_t kEpochFileTime = 116444736000000000ULL;  // 1970-01-01 in 100 ns units since 1601
  const FILETIME epoch = {static_cast<DWORD>(kEpochFileTime), static_cast<DWORD>(kEpochFileTime >> 32)};
  return LocalCivil(epoch).value_or(CivilTime{});
}

}  // namespace zt
