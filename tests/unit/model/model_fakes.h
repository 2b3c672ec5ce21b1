#pragma once
// A list view that inserts rows at the top as the real one does, an observer
// that writes every event down, and a file system of scripted files.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "model/file_operations.h"
#include "text/unicode.h"

namespace zt::testing {

inline std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

class TopInsertingView : public RowView, public FileListObserver {
public:
  std::vector<std::u16string> rows;
  std::vector<std::string> events;

  int RowCount() const override { return static_cast<int>(rows.size()); }
  std::u16string RowText(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
  void DeleteRowNamed(std::u16string_view name) override {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const std::u16string& r) { return EqualsNoCase(r, name); });
    if (it != rows.end()) rows.erase(it);
    events.push_back("DeleteRow " + Narrow(std::u16string(name)));
  }

  void InsertRow(const CZTFileItem& entry) override {
    rows.insert(rows.begin(), entry.Name);
    events.push_back("InsertRow " + Narrow(entry.Name));
  }
  void AfterAddFile(std::int32_t index) override { events.push_back("AfterAddFile " + std::to_string(index)); }
  void AfterAddFiles(std::int32_t count) override { events.push_back("AfterAddFiles " + std::to_string(count)); }
  void AfterDeleteFile(const std::u16string& name, const std::u16string& path) override {
    events.push_back("AfterDeleteFile " + Narrow(name) + " " + Narrow(path));
  }
};

class ScriptedFileSystem : public FileSystem {
public:
  struct File {
    std::int64_t size = 0;
    std::uint32_t attributes = file_attribute::Archive;
    std::optional<FileTimes> times;
  };
  // Full path and file, listed in insertion order by every search.
  std::vector<std::pair<std::u16string, File>> files;

  void Add(std::u16string path, std::int64_t size, std::uint32_t attributes = file_attribute::Archive) {
    files.push_back({std::move(path), File{size, attributes, std::nullopt}});
  }

  std::optional<FoundFile> FindFirst(std::u16string_view path) override {
    auto all = FindAll(path);
    if (all.empty()) return std::nullopt;
    return all.front();
  }
  // Files are listed with "\"; a search may separate with "/" too, and its
  // matches carry the folder as the search wrote it.
  std::vector<FoundFile> FindAll(std::u16string_view pattern) override {
    const auto slash = pattern.find_last_of(u"\\/");
    const std::u16string dir(pattern.substr(0, slash == std::u16string_view::npos ? 0 : slash + 1));
    std::vector<FoundFile> found;
    for (const auto& [path, file] : files) {
      if (path.size() < dir.size() || !SameFolder(std::u16string_view(path).substr(0, dir.size()), dir)) continue;
      const std::u16string name = path.substr(dir.size());
      if (name.find(u'\\') == std::u16string::npos && Matches(pattern.substr(dir.size()), name))
        found.push_back({name, dir + name, file.size, file.attributes});
    }
    return found;
  }
  static bool SameFolder(std::u16string_view listed, std::u16string_view searched) {
    std::u16string s(searched);
    std::replace(s.begin(), s.end(), u'/', u'\\');
    return EqualsNoCase(listed, s);
  }
  // "*" any run, "?" one character, others ignoring case.
  static bool Matches(std::u16string_view pattern, std::u16string_view name) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == u'*') return Matches(pattern.substr(1), name) || (!name.empty() && Matches(pattern, name.substr(1)));
    if (name.empty()) return false;
    if (pattern[0] != u'?' && !EqualsNoCase(pattern.substr(0, 1), name.substr(0, 1))) return false;
    return Matches(pattern.substr(1), name.substr(1));
  }
  std::optional<FileTimes> Times(std::u16string_view path) override {
    for (const auto& [p, file] : files)
      if (EqualsNoCase(p, path)) return file.times;
    return std::nullopt;
  }
  // Seoul's: nine hours east of Greenwich.
  CivilTime localEpoch{1970, 1, 1, 9, 0, 0};
  CivilTime LocalEpoch() override { return localEpoch; }
};

}  // namespace zt::testing
