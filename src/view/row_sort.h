#pragma once
// Column sorting of the file list's rows: the keys and the in-place
// quicksort. It works on any row set (the list-view window is one) and
// never on the model: entries follow the new row order at the next
// re-index.
#include <cstdint>
#include <string>
#include <string_view>

namespace zt::view {

// The size column: its key is a number, every other column's key is text.
inline constexpr int kSizeColumn = 2;

// The rows being sorted. Rows are numbered from the top.
class SortableRows {
public:
  virtual ~SortableRows() = default;
  virtual int RowCount() const = 0;
  // Columns of the header; a sort column beyond them is ignored.
  virtual int ColumnCount() const = 0;
  virtual std::u16string CellText(int row, int column) const = 0;
  // Exchanges everything the two rows carry (texts, image, state, data).
  virtual void SwapRows(int a, int b) = 0;
};

// The numeric key of a size text ("12 Kb"): the text without its last two
// characters, read as a decimal integer the way the C library's atoi reads
// it (leading white space, an optional sign, digits up to the first
// non-digit; none gives 0), so "? Kb" is 0.
std::int32_t SizeKey(std::u16string_view text);

// Sorts rows first..last (last -1: the last row) by column, ascending or
// descending. Keys compare numerically in the size column and by UTF-16 code
// units elsewhere (ordinal, case-sensitive); rows with equal keys are never
// exchanged.
void SortRows(SortableRows& rows, int column, bool ascending, int first = 0, int last = -1);

}  // namespace zt::view
