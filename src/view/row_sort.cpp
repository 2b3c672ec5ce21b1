#include "view/row_sort.h"

#include <limits>
#include <vector>

namespace zt::view {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One row's key, read once per sort: a number in the size column, the text
// elsewhere.
struct Key {
  std::int32_t number = 0;
  std::u16string text;
};

class KeyedSort {
public:
  KeyedSort(SortableRows& rows, int column, bool ascending)
      : rows_(rows), numeric_(column == kSizeColumn), ascending_(ascending) {
    const int count = rows.RowCount();
    keys_.resize(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
      std::u16string text = rows.CellText(row, column);
      Key& key = keys_[static_cast<std::size_t>(row)];
      if (numeric_)
        key.number = SizeKey(text);
      else
        key.text = std::move(text);
    }
  }

  // Hoare's partitioning around the middle row's key. The smaller side is
  // sorted by recursion and the larger one by the loop, so the stack stays
  // logarithmic; each side is sorted on its own, so the order in which the
  // two are done does not change the result.
  void Sort(int first, int last) {
    while (first < last) {
      const Key pivot = keys_[static_cast<std::size_t>((first + last) / 2)];
      int i = first, j = last;
      while (i <= j) {
        while (i < last && Before(At(i), pivot)) ++i;
        while (j > first && Before(pivot, At(j))) --j;
        if (i <= j) {
          if (!Equal(At(i), At(j))) Swap(i, j);
          ++i;
          --j;
        }
      }
      // Left part first..j, right part i..last.
      if (j - first < last - i) {
        if (first < j) Sort(first, j);
        first = i;
      } else {
        if (i < last) Sort(i, last);
        last = j;
      }
    }
  }

private:
  const Key& At(int row) const { return keys_[static_cast<std::size_t>(row)]; }
  // a comes before b in the sort's direction.
  bool Before(const Key& a, const Key& b) const {
    if (numeric_) return ascending_ ? a.number < b.number : a.number > b.number;
    return ascending_ ? a.text < b.text : a.text > b.text;
  }
  bool Equal(const Key& a, const Key& b) const { return numeric_ ? a.number == b.number : a.text == b.text; }
  void Swap(int i, int j) {
    std::swap(keys_[static_cast<std::size_t>(i)], keys_[static_cast<std::size_t>(j)]);
    rows_.SwapRows(i, j);
  }

  SortableRows& rows_;
  bool numeric_;
  bool ascending_;
  std::vector<Key> keys_;
};

}  // namespace

std::int32_t SizeKey(std::u16string_view text) {
  if (text.size() < 2) return 0;
  text.remove_suffix(2);
  std::size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  // Saturates instead of overflowing: no size text the view writes comes
  // near, but a cell is only text.
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) value = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

void SortRows(SortableRows& rows, int column, bool ascending, int first, int last) {
  if (column < 0 || column >= rows.ColumnCount()) return;
  if (last == -1) last = rows.RowCount() - 1;
  if (first < 0 || last >= rows.RowCount()) return;
  KeyedSort sort(rows, column, ascending);
  sort.Sort(first, last);
}

}  // namespace zt::view
