#include "view/list_view_rows.h"

#include <commctrl.h>

#include <unordered_map>

#include "platform/wide_text.h"

namespace zt::view {

namespace {

LPARAM ItemData(HWND list, int row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

void SetItemData(HWND list, int row, LPARAM data) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// Orders rows by their destination, looked up by the row's id (its item
// data).
int CALLBACK ByDestination(LPARAM a, LPARAM b, LPARAM destinations) {
  const auto& byId = *reinterpret_cast<const std::unordered_map<LPARAM, int>*>(destinations);
  const int x = byId.at(a), y = byId.at(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

std::u16string ListItemText(HWND list, int row, int column) {
  if (row < 0 || row >= static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0))) return {};
  // The list view copies at most the buffer; a full buffer may mean more.
  std::vector<wchar_t> buffer(260);
  for (;;) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    const auto length = static_cast<std::size_t>(SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < buffer.size()) return FromWide(item.pszText, length);
    buffer.resize(buffer.size() * 4);
  }
}

ListViewRows::ListViewRows(HWND list) : list_(list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  columns_ = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  if (columns_ < 0) columns_ = 0;
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  order_.resize(static_cast<std::size_t>(rows > 0 ? rows : 0));
  for (std::size_t row = 0; row < order_.size(); ++row) order_[row] = static_cast<int>(row);
}

std::u16string ListViewRows::CellText(int row, int column) const {
  return ListItemText(list_, order_.at(static_cast<std::size_t>(row)), column);
}

void ListViewRows::SwapRows(int a, int b) { std::swap(order_.at(static_cast<std::size_t>(a)), order_.at(static_cast<std::size_t>(b))); }

// The list view moves its rows itself, whole (texts, image, state with
// selection and focus, item data), sorted by their destinations. A row is
// known by its item data, which the file list keeps unique; rows that share
// one are first given ids of their own (a message per row, the slow way).
void ListViewRows::Commit() {
  const auto rows = static_cast<int>(order_.size());
  bool moved = false;
  for (int row = 0; row < rows && !moved; ++row) moved = order_[static_cast<std::size_t>(row)] != row;
  if (!moved) return;

  std::vector<LPARAM> ids(order_.size());
  std::unordered_map<LPARAM, int> destinations;
  for (int row = 0; row < rows; ++row) ids[static_cast<std::size_t>(row)] = ItemData(list_, row);
  for (int row = 0; row < rows; ++row)
    destinations.emplace(ids[static_cast<std::size_t>(order_[static_cast<std::size_t>(row)])], row);
  const bool unique = destinations.size() == order_.size();
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  if (!unique) {
    destinations.clear();
    for (int row = 0; row < rows; ++row) {
      SetItemData(list_, row, row);
      destinations.emplace(order_[static_cast<std::size_t>(row)], row);
    }
  }
  SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&destinations), reinterpret_cast<LPARAM>(&ByDestination));
  if (!unique) {
    for (int row = 0; row < rows; ++row)
      SetItemData(list_, row, ids[static_cast<std::size_t>(order_[static_cast<std::size_t>(row)])]);
  }
  for (int row = 0; row < rows; ++row) order_[static_cast<std::size_t>(row)] = row;
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

}  // namespace zt::view
