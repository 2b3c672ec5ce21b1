#include "view/shell_paths.h"

namespace zt::view {

namespace {

bool EndsInSeparator(std::u16string_view path) { return !path.empty() && (path.back() == u'\\' || path.back() == u'/'); }

// "C:\x", "\\server\share\x" and "\x" name their own place.
bool IsFullPath(std::u16string_view name) {
  return (name.size() >= 2 && name[1] == u':') || (!name.empty() && (name[0] == u'\\' || name[0] == u'/'));
}

std::u16string Join(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (!EndsInSeparator(folder)) path += u'\\';
  path += name;
  return path;
}

}  // namespace

std::vector<std::u16string> SelectionPaths(std::u16string_view result) {
  std::vector<std::u16string_view> parts;
  while (!result.empty()) {
    const std::size_t end = result.find(u'\0');
    const std::u16string_view part = result.substr(0, end);
    if (part.empty()) break;
    parts.push_back(part);
    if (end == std::u16string_view::npos) break;
    result.remove_prefix(end + 1);
  }
  std::vector<std::u16string> paths;
  if (parts.size() == 1) {
    paths.emplace_back(parts[0]);
    return paths;
  }
  for (std::size_t i = 1; i < parts.size(); ++i)
    paths.push_back(IsFullPath(parts[i]) ? std::u16string(parts[i]) : Join(parts[0], parts[i]));
  return paths;
}

}  // namespace zt::view
