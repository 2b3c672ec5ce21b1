#pragma once
// The rows of a list-view window as the column sort sees them. The sort
// runs on a copy of the keys and of the row order; Commit then has the
// window move its rows into that order in one go, each row with its texts,
// image, state (selection and focus included) and item data, so a sort of
// n rows costs O(n) window messages instead of an exchange per swap.
#include <windows.h>

#include <string>
#include <vector>

#include "view/row_sort.h"

namespace zt::view {

// The text of one cell; empty when there is no such row or column.
std::u16string ListItemText(HWND list, int row, int column);

class ListViewRows final : public SortableRows {
public:
  explicit ListViewRows(HWND list);

  int RowCount() const override { return static_cast<int>(order_.size()); }
  int ColumnCount() const override { return columns_; }
  std::u16string CellText(int row, int column) const override;
  void SwapRows(int a, int b) override;

  // Moves the window's rows into the sorted order.
  void Commit();

private:
  HWND list_;
  int columns_;
  // order_[row] is the window row whose contents now belong at row.
  std::vector<int> order_;
};

}  // namespace zt::view
