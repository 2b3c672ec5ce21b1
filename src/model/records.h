#pragma once
// The three records of the file list model.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

// A name/value pair: a message field, or one attribute value of an entry.
struct CZTTransData {
  std::u16string Name;
  std::u16string Value;
};

// One registered attribute name with its column settings.
struct CZTFileAttrInfo {
  std::u16string Name;
  std::int32_t Visible = 1;
  std::int32_t ColumnWidth = 100;
};

// One entry of the file list or the deleted list. An entry with an empty
// ServerPath is a local entry; any other is a server entry.
struct CZTFileItem {
  std::u16string Name;
  std::u16string LocalPath;
  std::u16string ServerPath;
  std::int64_t Size = 0;
  std::int32_t Updated = 0;
  // A file-list entry's Index is read through FileModel (FindByIndex,
  // FindPosByName), which brings it up to date first.
  std::int32_t Index = -1;
  std::u16string OpenedCopyTime;
  std::vector<CZTTransData> Attributes;  // at most one pair per name, ignoring case

  bool IsLocal() const { return ServerPath.empty(); }
  // What scripts and events see as the entry's path.
  const std::u16string& Path() const { return ServerPath.empty() ? LocalPath : ServerPath; }
  // The text after the last "." of Name; empty when Name has none.
  std::u16string Extension() const;

  // Replaces the value of the first pair named name (ignoring case) in place,
  // or appends a new pair.
  void SetAttribute(std::u16string_view name, std::u16string_view value);
  // The value of the first pair named name (ignoring case), or empty.
  std::u16string GetAttribute(std::u16string_view name) const;
};

}  // namespace zt
