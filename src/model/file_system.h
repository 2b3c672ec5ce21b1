#pragma once
// What the core asks of the file system. Windows answers through
// FindFirstFileW and file times; tests answer with scripted files, which is
// also how attributes that real file systems drop (temporary, offline) are
// proved.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

// File attribute bits, with the platform's values.
namespace file_attribute {
constexpr std::uint32_t ReadOnly = 0x1;
constexpr std::uint32_t Hidden = 0x2;
constexpr std::uint32_t System = 0x4;
constexpr std::uint32_t Directory = 0x10;
constexpr std::uint32_t Archive = 0x20;
constexpr std::uint32_t Normal = 0x80;
constexpr std::uint32_t Temporary = 0x100;
constexpr std::uint32_t Offline = 0x1000;
}  // namespace file_attribute

// One match of a file-system search.
struct FoundFile {
  std::u16string Name;      // last path component
  // The searched path up to its last "\" or "/", as written, followed by Name.
  std::u16string FullPath;
  std::int64_t Size = 0;
  std::uint32_t Attributes = 0;
};

// A broken-down local time.
struct CivilTime {
  int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// A file's times in local time; a time the file system does not keep is empty.
struct FileTimes {
  std::optional<CivilTime> Created;
  std::optional<CivilTime> Written;
  std::optional<CivilTime> Accessed;
};

class FileSystem {
public:
  virtual ~FileSystem() = default;
  // The first match of path (wildcards allowed in its last component).
  virtual std::optional<FoundFile> FindFirst(std::u16string_view path) = 0;
  // Every match of pattern, in the order the file system returns them,
  // "." and ".." included when the file system reports them.
  virtual std::vector<FoundFile> FindAll(std::u16string_view pattern) = 0;
  // The file's times; std::nullopt when its status cannot be read.
  virtual std::optional<FileTimes> Times(std::u16string_view path) = 0;
  // Time 0 (1970-01-01 00:00:00 UTC) in local time, converted as file
  // times are: what a file whose status cannot be read shows.
  virtual CivilTime LocalEpoch() = 0;
};

}  // namespace zt
