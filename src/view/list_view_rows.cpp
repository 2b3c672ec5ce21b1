#include "view/list_view_rows.h"

#include <commctrl.h>

#include "platform/wide_text.h"

namespace zt::view {

namespace {

// What a row carries besides its texts.
constexpr UINT kRowStateMask = 0xFF0F;  // overlay, state image, selection, focus, cut, drop

struct RowContents {
  std::vector<std::u16string> texts;
  int image = 0;
  UINT state = 0;
  LPARAM data = 0;
};

RowContents ReadRow(HWND list, int row, int columns) {
  RowContents contents;
  LVITEMW item = {};
  item.mask = LVIF_IMAGE | LVIF_STATE | LVIF_PARAM;
  item.iItem = row;
  item.stateMask = kRowStateMask;
  SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  contents.image = item.iImage;
  contents.state = item.state & kRowStateMask;
  contents.data = item.lParam;
  for (int column = 0; column < columns; ++column) contents.texts.push_back(ListItemText(list, row, column));
  return contents;
}

void WriteRow(HWND list, int row, const RowContents& contents) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_PARAM;
  item.iItem = row;
  item.iImage = contents.image;
  item.state = contents.state;
  item.stateMask = kRowStateMask;
  item.lParam = contents.data;
  std::u16string name = contents.texts.empty() ? std::u16string() : contents.texts[0];
  item.pszText = const_cast<wchar_t*>(AsWide(name));
  SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  for (std::size_t column = 1; column < contents.texts.size(); ++column) {
    LVITEMW sub = {};
    sub.iSubItem = static_cast<int>(column);
    sub.pszText = const_cast<wchar_t*>(AsWide(contents.texts[column]));
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
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

void ListViewRows::Commit() {
  std::vector<std::pair<int, RowContents>> moved;
  for (std::size_t row = 0; row < order_.size(); ++row) {
    if (order_[row] != static_cast<int>(row)) moved.emplace_back(static_cast<int>(row), ReadRow(list_, order_[row], columns_));
  }
  if (moved.empty()) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  for (const auto& [row, contents] : moved) WriteRow(list_, row, contents);
  for (std::size_t row = 0; row < order_.size(); ++row) order_[row] = static_cast<int>(row);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

}  // namespace zt::view
