#pragma once
// The control's file list model: the four lists, the two cursors and the
// steps that every caller (script members, the list view, the manifest
// builder, the downloader) shares. It lives on the thread that owns the
// control and knows the list view only through RowView.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/records.h"

namespace zt {

// The little the model reads from, and does to, the list view. The model
// works with no view at all: then there are no rows.
class RowView {
public:
  virtual ~RowView() = default;
  virtual int RowCount() const = 0;
  // The text of column 0 of row (0 <= row < RowCount()).
  virtual std::u16string RowText(int row) const = 0;
  // Deletes the first row, from the top, whose column-0 text equals name
  // ignoring case, then re-arranges the view. No such row: nothing happens.
  virtual void DeleteRowNamed(std::u16string_view name) = 0;
  // Rows are only ever inserted at the top. Whoever moves rows otherwise
  // (a sort) calls FileModel::SettleIndices first.
};

// What is left of a removed entry for the AfterDeleteFile event.
struct RemovedEntry {
  std::u16string Name;
  std::u16string Path;  // server path if any, else local path
};

class FileModel {
public:
  using EntryList = std::vector<std::unique_ptr<CZTFileItem>>;

  // The view whose row order re-index follows; nullptr detaches it.
  void SetRowView(RowView* view);
  RowView* GetRowView() const { return view_; }

  // The lists, in their own orders.
  const EntryList& Files() const { return files_; }
  const EntryList& DeletedFiles() const { return deleted_; }
  const std::vector<CZTFileAttrInfo>& AttributeNames() const { return attributeNames_; }
  const std::vector<CZTTransData>& Messages() const { return messages_; }

  std::int32_t FileCount() const { return static_cast<std::int32_t>(files_.size()); }
  std::int32_t DeleteFileCount() const { return static_cast<std::int32_t>(deleted_.size()); }

  // The cursors, stored as given: the script rules for putting them belong
  // to the control.
  std::int32_t FilePos() const { return filePos_; }
  void SetFilePos(std::int32_t pos) { filePos_ = pos; }
  std::int32_t DeleteFilePos() const { return deleteFilePos_; }
  void SetDeleteFilePos(std::int32_t pos) { deleteFilePos_ = pos; }

  // The first file-list entry whose Index is index; nullptr when index is
  // outside 0 .. FileCount-1 or no entry carries it.
  CZTFileItem* FindByIndex(std::int32_t index) const;
  // The first file-list entry named name (ignoring case), or nullptr.
  CZTFileItem* FindByName(std::u16string_view name) const;
  // The Index of FindByName(name), or -1.
  std::int32_t FindPosByName(std::u16string_view name) const;
  // The deleted-list record at position, or nullptr when out of range.
  CZTFileItem* DeletedAt(std::int32_t position) const;
  // The entries the cursors name, or nullptr.
  CZTFileItem* Current() const { return FindByIndex(filePos_); }
  CZTFileItem* CurrentDeleted() const { return DeletedAt(deleteFilePos_); }

  // True when a file-list entry is named name, ignoring case.
  bool NameInUse(std::u16string_view name) const { return FindByName(name) != nullptr; }
  // wanted, or "%s(%d).%s" of its base and extension with the first n that
  // no file-list name takes. The deleted list is not considered.
  std::u16string UniqueName(std::u16string_view wanted) const;

  // Adds name to the attribute-name list unless present (ignoring case).
  // Refuses a name beginning with "_" and returns false; records no error:
  // that is the caller's business.
  bool RegisterAttributeName(std::u16string_view name);
  // Registers name and sets it on entry, as the date attributes do.
  bool SetRegisteredAttribute(CZTFileItem& entry, std::u16string_view name, std::u16string_view value);

  // Gives entry Index = FileCount, appends it, re-indexes and points FilePos
  // at it. The entry's row is not in the view yet, so it keeps that Index.
  //
  // The re-index is done when an index is next read, as it would have been
  // done now: rows inserted at the top in the meantime are skipped. A page
  // adding thousands of files so costs one re-index, not one per file.
  CZTFileItem& Append(std::unique_ptr<CZTFileItem> entry);

  // Resynchronises every entry's Index with the view's row order and
  // re-points FilePos.
  void Reindex();
  // Performs the re-index an append left pending (see Append). The view
  // calls this before it moves rows.
  void SettleIndices();

  // Renames a file-list entry (the caller has checked the name is free).
  void Rename(CZTFileItem& entry, std::u16string_view name);

  // Takes entry (which must be in the file list) out of the list and the
  // view: a local entry is destroyed, a server entry moves with its
  // attributes to the end of the deleted list. Re-indexes; the caller fires
  // AfterDeleteFile with the returned name and path.
  RemovedEntry Remove(CZTFileItem& entry);

  // Message fields: repeated names are kept, in order.
  void AddMessage(std::u16string_view name, std::u16string_view value);
  void ClearMessages() { messages_.clear(); }

private:
  // The index of file-list names, folded to upper case: names are unique
  // ignoring case, so a name finds its entry without a walk.
  static std::u16string NameKey(std::u16string_view name);
  void IndexName(CZTFileItem& entry);
  void UnindexName(const CZTFileItem& entry);
  // Index = row for every entry with a row, from row `skipped` on (rows
  // above it were inserted after the re-index was asked for).
  void MatchRows(int skipped);

  EntryList files_;
  std::unordered_map<std::u16string, CZTFileItem*> byName_;
  // The view's row count when an append's re-index was left pending.
  int pendingRows_ = -1;
  EntryList deleted_;
  std::vector<CZTFileAttrInfo> attributeNames_;
  std::vector<CZTTransData> messages_;
  std::int32_t filePos_ = -1;
  std::int32_t deleteFilePos_ = -1;
  RowView* view_ = nullptr;
};

}  // namespace zt
