#include "model/file_model.h"

#include <algorithm>

#include "text/unicode.h"

namespace zt {

namespace {

std::u16string Decimal(unsigned long long n) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return digits;
}

}  // namespace

std::u16string FileModel::NameKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) c = UpperSimple(c);
  return key;
}

void FileModel::IndexName(CZTFileItem& entry) { byName_.emplace(NameKey(entry.Name), &entry); }

void FileModel::UnindexName(const CZTFileItem& entry) {
  const std::u16string key = NameKey(entry.Name);
  auto found = byName_.find(key);
  if (found == byName_.end() || found->second != &entry) return;
  byName_.erase(found);
  // Names are unique, unless a caller appended a clash: the next one wins.
  for (const auto& other : files_)
    if (other.get() != &entry && NameKey(other->Name) == key) {
      byName_.emplace(key, other.get());
      break;
    }
}

void FileModel::SetRowView(RowView* view) {
  SettleIndices();  // against the rows it was asked for
  view_ = view;
}

CZTFileItem* FileModel::FindByIndex(std::int32_t index) const {
  const_cast<FileModel*>(this)->SettleIndices();
  if (index < 0 || index >= FileCount()) return nullptr;
  for (const auto& entry : files_)
    if (entry->Index == index) return entry.get();
  return nullptr;
}

CZTFileItem* FileModel::FindByName(std::u16string_view name) const {
  auto found = byName_.find(NameKey(name));
  return found == byName_.end() ? nullptr : found->second;
}

std::int32_t FileModel::FindPosByName(std::u16string_view name) const {
  const_cast<FileModel*>(this)->SettleIndices();
  const CZTFileItem* entry = FindByName(name);
  return entry ? entry->Index : -1;
}

CZTFileItem* FileModel::DeletedAt(std::int32_t position) const {
  if (position < 0 || position >= DeleteFileCount()) return nullptr;
  return deleted_[static_cast<std::size_t>(position)].get();
}

std::u16string FileModel::UniqueName(std::u16string_view wanted) const {
  if (!NameInUse(wanted)) return std::u16string(wanted);
  const auto dot = wanted.rfind(u'.');
  const std::u16string_view base = dot == std::u16string_view::npos ? wanted : wanted.substr(0, dot);
  const std::u16string_view extension = dot == std::u16string_view::npos ? std::u16string_view() : wanted.substr(dot + 1);
  // Each candidate is tried against a finite list, so this ends by the
  // (FileCount + 1)-th candidate at the latest.
  for (unsigned long long n = 1;; ++n) {
    std::u16string candidate(base);
    candidate += u'(';
    candidate += Decimal(n);
    candidate += u").";
    candidate += extension;
    if (!NameInUse(candidate)) return candidate;
  }
}

bool FileModel::RegisterAttributeName(std::u16string_view name) {
  if (!name.empty() && name.front() == u'_') return false;
  const bool known = std::any_of(attributeNames_.begin(), attributeNames_.end(),
                                 [&](const CZTFileAttrInfo& info) { return EqualsNoCase(info.Name, name); });
  if (!known) attributeNames_.push_back({std::u16string(name), 1, 100});
  return true;
}

bool FileModel::SetRegisteredAttribute(CZTFileItem& entry, std::u16string_view name, std::u16string_view value) {
  if (!RegisterAttributeName(name)) return false;
  entry.SetAttribute(name, value);
  return true;
}

CZTFileItem& FileModel::Append(std::unique_ptr<CZTFileItem> entry) {
  CZTFileItem& added = *entry;
  added.Index = FileCount();
  files_.push_back(std::move(entry));
  IndexName(added);
  // The re-index of the previous append, if still pending, is wholly
  // replaced by this one: only rows inserted at the top came between, so
  // this one gives every row's entry its Index anew. Its FilePos step is
  // replaced by the line below.
  pendingRows_ = view_ ? view_->RowCount() : 0;
  filePos_ = added.Index;
  return added;
}

void FileModel::SettleIndices() {
  if (pendingRows_ < 0) return;
  const int rowsThen = pendingRows_;
  pendingRows_ = -1;
  const int rowsNow = view_ ? view_->RowCount() : 0;
  MatchRows(rowsNow >= rowsThen ? rowsNow - rowsThen : 0);
}

void FileModel::MatchRows(int skipped) {
  // A row the view does not have matches nothing: an entry whose name is
  // empty must not be taken for it.
  const int rows = view_ ? std::min(view_->RowCount() - skipped, FileCount()) : 0;
  for (int row = 0; row < rows; ++row) {
    if (CZTFileItem* entry = FindByName(view_->RowText(row + skipped))) entry->Index = row;
  }
}

void FileModel::Reindex() {
  SettleIndices();
  CZTFileItem* current = filePos_ != -1 ? FindByIndex(filePos_) : nullptr;
  MatchRows(0);
  if (current)
    filePos_ = current->Index;
  else if (!files_.empty())
    filePos_ = 0;
}

void FileModel::Rename(CZTFileItem& entry, std::u16string_view name) {
  UnindexName(entry);
  entry.Name.assign(name);
  IndexName(entry);
}

RemovedEntry FileModel::Remove(CZTFileItem& entry) {
  auto found = std::find_if(files_.begin(), files_.end(), [&](const auto& e) { return e.get() == &entry; });
  if (found == files_.end()) return {};  // not ours: nothing to remove

  SettleIndices();
  const std::int32_t removedIndex = entry.Index;
  if (view_) view_->DeleteRowNamed(entry.Name);
  std::unique_ptr<CZTFileItem> owned = std::move(*found);
  files_.erase(found);
  UnindexName(*owned);
  for (auto& other : files_)
    if (other->Index > removedIndex) --other->Index;

  RemovedEntry kept{owned->Name, owned->Path()};
  if (!owned->IsLocal()) deleted_.push_back(std::move(owned));
  owned.reset();

  Reindex();
  return kept;
}

void FileModel::AddMessage(std::u16string_view name, std::u16string_view value) {
  messages_.push_back({std::u16string(name), std::u16string(value)});
}

}  // namespace zt
