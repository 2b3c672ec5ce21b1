#pragma once
// The file list operations behind the control's script members and the
// shell paths: adding local files and server entries, removing entries.
// They report through an outcome and an observer; turning an outcome into
// ErrorCode / ErrorDescription and a dispatch exception is the control's job.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_model.h"
#include "model/file_system.h"

namespace zt {

// The codes an operation can fail with.
namespace model_error {
inline constexpr std::u16string_view IndexExceeded = u"E01003";      // DeleteFile index >= FileCount
inline constexpr std::u16string_view TotalSizeExceeded = u"E01004";  // upload limit reached
inline constexpr std::u16string_view NoSuchFile = u"E01006";         // no file, entry or index
}  // namespace model_error

struct Outcome {
  std::u16string_view Code;  // empty on success, else one of model_error

  bool Ok() const { return Code.empty(); }
  // The string-table id of the error text (1006 for "E01006"); 0 on success.
  unsigned TextId() const;

  static Outcome Success() { return {}; }
  static Outcome Failure(std::u16string_view code) { return {code}; }
};

// What the operations tell the control and the view, in the order they
// happen. Every hook is optional.
class FileListObserver {
public:
  virtual ~FileListObserver() = default;
  // The entry was appended and is current: its row goes into the view now
  // (RowTexts gives its texts).
  virtual void InsertRow(const CZTFileItem& entry) {}
  virtual void AfterAddFile(std::int32_t fileIndex) {}
  virtual void AfterAddFiles(std::int32_t fileCount) {}
  virtual void AfterDeleteFile(const std::u16string& fileName, const std::u16string& filePath) {}
};

struct AddLocalOptions {
  // MaxUploadSize x 1,048,576 (sign-extended); 0 means no limit. Compared as
  // unsigned, so a negative limit is one no real total reaches.
  std::int64_t ByteLimit = 0;
  // ExFileAttributes: set "CreateDate", "ModifiyDate" and "AccessDate".
  bool DateAttributes = false;
};

// The attribute names the date attributes are stored under, and the names
// the control registers for them when its window is made.
namespace date_attribute {
inline constexpr std::u16string_view Created = u"CreateDate";
inline constexpr std::u16string_view Written = u"ModifiyDate";  // the stored spelling, kept as servers read it
inline constexpr std::u16string_view Accessed = u"AccessDate";
inline constexpr std::u16string_view RegisteredWritten = u"ModifyDate";
}  // namespace date_attribute

// Adds each path in order. A path with no match, or that names a folder,
// fails with NoSuchFile; reaching the byte limit fails with
// TotalSizeExceeded. Entries added before a failing path stay, their
// AfterAddFile fired; AfterAddFiles(count) is fired only on success (an
// empty list succeeds with 0). An entry keeps its path as given, except that
// a path whose last component holds a wildcard is replaced by the found
// file's full path, so the entry names the one file it was sized from.
// Clearing the error pair first is the caller's.
Outcome AddLocalFiles(FileModel& model, FileSystem& fs, const std::vector<std::u16string>& paths,
                      const AddLocalOptions& options, FileListObserver* observer);

// AddLocalFiles for paths dropped from the shell: a folder among them adds
// its own files (PatternFiles of FolderPattern(folder)) where it stands,
// nothing from its sub-folders. A drop that adds nothing but empty folders
// fires no AfterAddFiles.
Outcome AddDroppedPaths(FileModel& model, FileSystem& fs, const std::vector<std::u16string>& paths,
                        const AddLocalOptions& options, FileListObserver* observer);

// AddLocalFiles for files a search has already found (PatternFiles): each
// file's entry takes its FullPath, without a second look-up per file.
Outcome AddPatternFiles(FileModel& model, FileSystem& fs, const std::vector<FoundFile>& files,
                        const AddLocalOptions& options, FileListObserver* observer);

// The search pattern for a folder's own entries: folder\* (a folder that
// already ends in a separator, such as a drive's root, takes no second one).
std::u16string FolderPattern(std::u16string_view folder);

// The files PatternMatches lists, as found, FullPath set to the listed path.
std::optional<std::vector<FoundFile>> PatternFiles(FileSystem& fs, std::u16string_view pattern);

// The paths AddLocalFiles takes for a pattern such as "C:\dir\*.txt": the
// full path of each matching plain file (the folder part as the pattern
// writes it, up to its last "\" or "/"), in file-system order. Folders, "."
// and "..", and system, temporary and offline files are skipped; hidden and
// read-only files are kept. std::nullopt when the pattern has no separator.
std::optional<std::vector<std::u16string>> PatternMatches(FileSystem& fs, std::u16string_view pattern);

// Sets the three date attributes of entry from the file at its local path.
void SetDateAttributes(FileModel& model, FileSystem& fs, CZTFileItem& entry);

// Adds a server entry named after the last "/" of serverPath, sized by
// ParseSizeText(sizeText); fires AfterAddFile then AfterAddFiles(1).
void AddServerEntry(FileModel& model, std::u16string_view serverPath, std::u16string_view sizeText,
                    FileListObserver* observer);

// Removes entry (a file-list member) and fires AfterDeleteFile: the list
// view's delete commands use this.
void RemoveEntry(FileModel& model, CZTFileItem& entry, FileListObserver* observer);

// DeleteFile: IndexExceeded when index >= FileCount, NoSuchFile when no entry
// carries index (negative included); else removes it and re-indexes again.
Outcome DeleteByIndex(FileModel& model, std::int32_t index, FileListObserver* observer);

// DeleteFile2: removes the first entry named name (ignoring case), else
// NoSuchFile.
Outcome DeleteByName(FileModel& model, std::u16string_view name, FileListObserver* observer);

}  // namespace zt
