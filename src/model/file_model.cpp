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

CZTFileItem* FileModel::FindByIndex(std::int32_t index) const {
  if (index < 0 || index >= FileCount()) return nullptr;
  for (const auto& entry : files_)
    if (entry->Index == index) return entry.get();
  return nullptr;
}

CZTFileItem* FileModel::FindByName(std::u16string_view name) const {
  for (const auto& entry : files_)
    if (EqualsNoCase(entry->Name, name)) return entry.get();
  return nullptr;
}

std::int32_t FileModel::FindPosByName(std::u16string_view name) const {
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
  Reindex();
  filePos_ = added.Index;
  return added;
}

void FileModel::Reindex() {
  CZTFileItem* current = filePos_ != -1 ? FindByIndex(filePos_) : nullptr;

  // A row the view does not have matches nothing: an entry whose name is
  // empty must not be taken for it.
  const int rows = view_ ? std::min(view_->RowCount(), FileCount()) : 0;
  for (int row = 0; row < rows; ++row) {
    if (CZTFileItem* entry = FindByName(view_->RowText(row))) entry->Index = row;
  }

  if (current)
    filePos_ = current->Index;
  else if (!files_.empty())
    filePos_ = 0;
}

RemovedEntry FileModel::Remove(CZTFileItem& entry) {
  auto found = std::find_if(files_.begin(), files_.end(), [&](const auto& e) { return e.get() == &entry; });
  if (found == files_.end()) return {};  // not ours: nothing to remove

  const std::int32_t removedIndex = entry.Index;
  if (view_) view_->DeleteRowNamed(entry.Name);
  std::unique_ptr<CZTFileItem> owned = std::move(*found);
  files_.erase(found);
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
