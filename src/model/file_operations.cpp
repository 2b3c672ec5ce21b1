#include "model/file_operations.h"

#include <memory>

#include "model/formats.h"
#include "text/unicode.h"

namespace zt {

namespace {

// The platform separates path components on "\" and "/" alike.
constexpr char16_t kSeparators[] = u"\\/";

// The last component of path: the only one a search lets hold wildcards.
std::u16string_view LastComponent(std::u16string_view path) {
  const auto separator = path.find_last_of(kSeparators);
  return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

bool HasWildcard(std::u16string_view text) { return text.find_first_of(u"*?") != std::u16string_view::npos; }

bool EndsInSeparator(std::u16string_view path) {
  return !path.empty() && std::u16string_view(kSeparators).find(path.back()) != std::u16string_view::npos;
}

}  // namespace

unsigned Outcome::TextId() const {
  unsigned id = 0;
  for (std::size_t i = 1; i < Code.size(); ++i) id = id * 10 + static_cast<unsigned>(Code[i] - u'0');
  return id;
}

void SetDateAttributes(FileModel& model, FileSystem& fs, CZTFileItem& entry) {
  if (entry.LocalPath.empty()) return;
  // An unreadable status counts as time 0, shown like every date in local
  // time (09:00:00 in Seoul).
  const CivilTime epoch = fs.LocalEpoch();
  CivilTime created = epoch, written = epoch, accessed = epoch;
  if (const std::optional<FileTimes> times = fs.Times(entry.LocalPath)) {
    if (times->Written) written = *times->Written;
    created = times->Created.value_or(written);
    accessed = times->Accessed.value_or(written);
  }
  model.SetRegisteredAttribute(entry, date_attribute::Created, DateText(created));
  model.SetRegisteredAttribute(entry, date_attribute::Written, DateText(written));
  model.SetRegisteredAttribute(entry, date_attribute::Accessed, DateText(accessed));
}

namespace {

// Adds one found file as a new entry whose Local path is path.
Outcome AddFound(FileModel& model, FileSystem& fs, const FoundFile& found, std::u16string path,
                 const AddLocalOptions& options, FileListObserver* observer) {
  // A folder cannot be sent: taking it would only fail the whole post later.
  if (found.Attributes & file_attribute::Directory) return Outcome::Failure(model_error::NoSuchFile);

  if (options.ByteLimit != 0) {
    // Unsigned and wrapping on purpose: sizes a script put may be negative.
    std::uint64_t total = static_cast<std::uint64_t>(found.Size);
    for (const auto& entry : model.Files()) total += static_cast<std::uint64_t>(entry->Size);
    if (total >= static_cast<std::uint64_t>(options.ByteLimit)) return Outcome::Failure(model_error::TotalSizeExceeded);
  }

  auto entry = std::make_unique<CZTFileItem>();
  entry->Name = model.UniqueName(found.Name);
  entry->LocalPath = std::move(path);
  entry->Size = found.Size;
  CZTFileItem& current = model.Append(std::move(entry));

  if (options.DateAttributes) SetDateAttributes(model, fs, current);
  if (observer) observer->InsertRow(current);
  if (observer) observer->AfterAddFile(model.FilePos());
  return Outcome::Success();
}

}  // namespace

namespace {

// Adds each path in order (see AddLocalFiles); with expandFolders a folder
// adds its own files as the folder browser takes them.
Outcome AddPaths(FileModel& model, FileSystem& fs, const std::vector<std::u16string>& paths,
                 const AddLocalOptions& options, FileListObserver* observer, bool expandFolders) {
  std::int32_t added = 0;
  for (const std::u16string& path : paths) {
    // A drive's root ("C:\") names no entry a search can find: it is a folder.
    const bool root = expandFolders && EndsInSeparator(path);
    const std::optional<FoundFile> found = root ? std::nullopt : fs.FindFirst(path);
    if (!found && !root) return Outcome::Failure(model_error::NoSuchFile);
    const bool wildcard = HasWildcard(LastComponent(path));
    if (root || (expandFolders && !wildcard && (found->Attributes & file_attribute::Directory))) {
      for (const FoundFile& file : PatternFiles(fs, FolderPattern(path)).value_or(std::vector<FoundFile>{})) {
        const Outcome outcome = AddFound(model, fs, file, file.FullPath, options, observer);
        if (!outcome.Ok()) return outcome;
        ++added;
      }
      continue;
    }
    // The path as given, unless its last component is a wildcard pattern:
    // then the full path of the file found and measured, so that the entry
    // (its dates, its icon, the file a post sends) stays that file.
    std::u16string localPath = wildcard ? found->FullPath : path;
    const Outcome outcome = AddFound(model, fs, *found, std::move(localPath), options, observer);
    if (!outcome.Ok()) return outcome;
    ++added;
  }
  // Empty folders alone add nothing, and so say nothing.
  if (observer && (added > 0 || !expandFolders)) observer->AfterAddFiles(added);
  return Outcome::Success();
}

}  // namespace

Outcome AddLocalFiles(FileModel& model, FileSystem& fs, const std::vector<std::u16string>& paths,
                      const AddLocalOptions& options, FileListObserver* observer) {
  return AddPaths(model, fs, paths, options, observer, false);
}

Outcome AddDroppedPaths(FileModel& model, FileSystem& fs, const std::vector<std::u16string>& paths,
                        const AddLocalOptions& options, FileListObserver* observer) {
  return AddPaths(model, fs, paths, options, observer, true);
}

Outcome AddPatternFiles(FileModel& model, FileSystem& fs, const std::vector<FoundFile>& files,
                        const AddLocalOptions& options, FileListObserver* observer) {
  std::int32_t added = 0;
  for (const FoundFile& file : files) {
    const Outcome outcome = AddFound(model, fs, file, file.FullPath, options, observer);
    if (!outcome.Ok()) return outcome;
    ++added;
  }
  if (observer) observer->AfterAddFiles(added);
  return Outcome::Success();
}

std::u16string FolderPattern(std::u16string_view folder) {
  std::u16string pattern(folder);
  if (!EndsInSeparator(folder)) pattern += u'\\';
  return pattern + u'*';
}

std::optional<std::vector<FoundFile>> PatternFiles(FileSystem& fs, std::u16string_view pattern) {
  // A pattern without a folder would search the process's current folder.
  if (pattern.find_first_of(kSeparators) == std::u16string_view::npos) return std::nullopt;
  constexpr std::uint32_t skipped =
      file_attribute::Directory | file_attribute::System | file_attribute::Temporary | file_attribute::Offline;
  std::vector<FoundFile> files;
  for (FoundFile& match : fs.FindAll(pattern)) {
    if (match.Attributes & skipped) continue;
    if (match.Name == u"." || match.Name == u"..") continue;
    files.push_back(std::move(match));
  }
  return files;
}

std::optional<std::vector<std::u16string>> PatternMatches(FileSystem& fs, std::u16string_view pattern) {
  std::optional<std::vector<FoundFile>> files = PatternFiles(fs, pattern);
  if (!files) return std::nullopt;
  std::vector<std::u16string> paths;
  for (FoundFile& file : *files) paths.push_back(std::move(file.FullPath));
  return paths;
}

void AddServerEntry(FileModel& model, std::u16string_view serverPath, std::u16string_view sizeText,
                    FileListObserver* observer) {
  auto entry = std::make_unique<CZTFileItem>();
  entry->Size = ParseSizeText(sizeText);
  const auto slash = serverPath.rfind(u'/');
  entry->Name = model.UniqueName(slash == std::u16string_view::npos ? serverPath : serverPath.substr(slash + 1));
  entry->ServerPath.assign(serverPath);
  CZTFileItem& current = model.Append(std::move(entry));

  if (observer) observer->InsertRow(current);
  if (observer) observer->AfterAddFile(model.FilePos());
  if (observer) observer->AfterAddFiles(1);
}

void RemoveEntry(FileModel& model, CZTFileItem& entry, FileListObserver* observer) {
  const RemovedEntry removed = model.Remove(entry);
  if (observer) observer->AfterDeleteFile(removed.Name, removed.Path);
}

Outcome DeleteByIndex(FileModel& model, std::int32_t index, FileListObserver* observer) {
  if (index >= model.FileCount()) return Outcome::Failure(model_error::IndexExceeded);
  CZTFileItem* entry = model.FindByIndex(index);
  if (!entry) return Outcome::Failure(model_error::NoSuchFile);
  RemoveEntry(model, *entry, observer);
  model.Reindex();
  return Outcome::Success();
}

Outcome DeleteByName(FileModel& model, std::u16string_view name, FileListObserver* observer) {
  CZTFileItem* entry = model.FindByName(name);
  if (!entry) return Outcome::Failure(model_error::NoSuchFile);
  RemoveEntry(model, *entry, observer);
  model.Reindex();
  return Outcome::Success();
}

}  // namespace zt
