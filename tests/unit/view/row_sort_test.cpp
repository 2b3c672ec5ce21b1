#include "view/row_sort.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zt::view {
namespace {

// Rows held in memory: every cell plus an identity that must travel with
// its row, and a count of exchanges.
class FakeRows : public SortableRows {
public:
  struct Row {
    std::vector<std::u16string> cells;
    int id;
  };
  std::vector<Row> rows;
  int columns = 3;
  int swaps = 0;

  void Add(std::u16string name, std::u16string size) {
    rows.push_back({{std::move(name), u"C:\\x", std::move(size)}, static_cast<int>(rows.size())});
  }
  int RowCount() const override { return static_cast<int>(rows.size()); }
  int ColumnCount() const override { return columns; }
  std::u16string CellText(int row, int column) const override { return rows.at(row).cells.at(column); }
  void SwapRows(int a, int b) override {
    std::swap(rows.at(a), rows.at(b));
    ++swaps;
  }
  std::vector<std::u16string> Column(int c) const {
    std::vector<std::u16string> out;
    for (const Row& r : rows) out.push_back(r.cells[c]);
    return out;
  }
  std::vector<int> Ids() const {
    std::vector<int> out;
    for (const Row& r : rows) out.push_back(r.id);
    return out;
  }
};

// The partition scheme as the view has always sorted: both recursions
// literal, keys read from the rows on every comparison.
void ReferenceSort(FakeRows& rows, int column, bool asc, int first, int last) {
  auto key = [&](int r) { return rows.rows[r].cells[column]; };
  auto less = [&](const std::u16string& a, const std::u16string& b) {
    if (column == kSizeColumn) return SizeKey(a) < SizeKey(b);
    return a < b;
  };
  auto equal = [&](const std::u16string& a, const std::u16string& b) {
    return column == kSizeColumn ? SizeKey(a) == SizeKey(b) : a == b;
  };
  if (first >= last) return;
  const std::u16string pivot = key((first + last) / 2);
  int i = first, j = last;
  while (i <= j) {
    if (asc) {
      while (i < last && less(key(i), pivot)) ++i;
      while (j > first && less(pivot, key(j))) --j;
    } else {
      while (i < last && less(pivot, key(i))) ++i;
      while (j > first && less(key(j), pivot)) --j;
    }
    if (i <= j) {
      if (!equal(key(i), key(j))) std::swap(rows.rows[i], rows.rows[j]);
      ++i;
      --j;
    }
  }
  if (first < j) ReferenceSort(rows, column, asc, first, j);
  if (i < last) ReferenceSort(rows, column, asc, i, last);
}

TEST(RowSort, SizeKeysReadTheNumberBeforeTheUnit) {
  EXPECT_EQ(SizeKey(u"12 Kb"), 12);
  EXPECT_EQ(SizeKey(u"1023 Kb"), 1023);
  EXPECT_EQ(SizeKey(u"? Kb"), 0);
  EXPECT_EQ(SizeKey(u"-3 Kb"), -3);
  EXPECT_EQ(SizeKey(u" \t+7 Kb"), 7);
  EXPECT_EQ(SizeKey(u"42"), 0);   // the last two characters are the unit
  EXPECT_EQ(SizeKey(u"4"), 0);
  EXPECT_EQ(SizeKey(u""), 0);
  EXPECT_EQ(SizeKey(u"9x9 Kb"), 9);
  EXPECT_EQ(SizeKey(u"99999999999 Kb"), 2147483647);
  EXPECT_EQ(SizeKey(u"-99999999999 Kb"), -2147483647 - 1);
}

TEST(RowSort, SizeAndNameColumnsBothWaysWithRowsTravellingWhole) {
  FakeRows v;
  v.Add(u"b.txt", u"5 Kb");
  v.Add(u"server.doc", u"? Kb");
  v.Add(u"Big.bin", u"1023 Kb");
  v.Add(u"a.txt", u"0 Kb");
  v.Add(u"c.txt", u"12 Kb");

  SortRows(v, kSizeColumn, true);
  EXPECT_EQ(v.Column(2), (std::vector<std::u16string>{u"0 Kb", u"? Kb", u"5 Kb", u"12 Kb", u"1023 Kb"}));
  // The server entry's key is 0, the same as a.txt's: the two stay in the
  // order the partitioning left them, unexchanged.
  EXPECT_EQ(v.Column(0), (std::vector<std::u16string>{u"a.txt", u"server.doc", u"b.txt", u"c.txt", u"Big.bin"}));
  for (const auto& row : v.rows) EXPECT_EQ(row.cells[0], (std::vector<std::u16string>{u"b.txt", u"server.doc", u"Big.bin", u"a.txt", u"c.txt"})[row.id]);

  SortRows(v, kSizeColumn, false);
  EXPECT_EQ(v.Column(2), (std::vector<std::u16string>{u"1023 Kb", u"12 Kb", u"5 Kb", u"? Kb", u"0 Kb"}));

  // Ordinal and case-sensitive: capital B sorts before small a.
  SortRows(v, 0, true);
  EXPECT_EQ(v.Column(0), (std::vector<std::u16string>{u"Big.bin", u"a.txt", u"b.txt", u"c.txt", u"server.doc"}));
  SortRows(v, 0, false);
  EXPECT_EQ(v.Column(0), (std::vector<std::u16string>{u"server.doc", u"c.txt", u"b.txt", u"a.txt", u"Big.bin"}));
}

TEST(RowSort, SortedInputEqualKeysAndOutOfRangeColumnsExchangeNothing) {
  FakeRows v;
  for (auto n : {u"a", u"b", u"c", u"d", u"e", u"f", u"g"}) v.Add(n, u"1 Kb");
  SortRows(v, 0, true);
  EXPECT_EQ(v.swaps, 0);
  SortRows(v, kSizeColumn, true);  // every key equal
  SortRows(v, kSizeColumn, false);
  EXPECT_EQ(v.swaps, 0);
  SortRows(v, 3, false);  // an attribute column the header does not have
  EXPECT_EQ(v.swaps, 0);
  EXPECT_EQ(v.Ids(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

  // A range leaves the rows outside it alone.
  SortRows(v, 0, false, 2, 4);
  EXPECT_EQ(v.Column(0), (std::vector<std::u16string>{u"a", u"b", u"e", u"d", u"c", u"f", u"g"}));
  SortRows(v, 0, true, 5, 5);
  SortRows(v, 0, true, 0, 99);  // a range past the last row is refused
  EXPECT_EQ(v.Column(0), (std::vector<std::u16string>{u"a", u"b", u"e", u"d", u"c", u"f", u"g"}));
  FakeRows empty;
  SortRows(empty, 0, true);
  EXPECT_EQ(empty.swaps, 0);
}

// The bounded-stack partitioning leaves every row, duplicates included,
// exactly where the literal recursive one does.
TEST(RowSort, SameArrangementAsTheRecursivePartitioningOnRandomRows) {
  std::mt19937 random(9);
  for (int round = 0; round < 300; ++round) {
    FakeRows mine;
    const int count = static_cast<int>(random() % 60);
    const int spread = 1 + static_cast<int>(random() % 12);  // few distinct keys: many duplicates
    for (int r = 0; r < count; ++r) {
      std::u16string name(1, static_cast<char16_t>(u'A' + random() % spread));
      name += static_cast<char16_t>(random() % 2 ? u'a' : u'B');
      const int kb = static_cast<int>(random() % spread) - 2;
      std::u16string size = random() % 7 == 0 ? u"? Kb" : std::u16string(std::u16string(kb < 0 ? u"-" : u"") + static_cast<char16_t>(u'0' + (kb < 0 ? -kb : kb)) + u" Kb");
      mine.Add(name, size);
    }
    FakeRows reference = mine;
    const int column = random() % 2 ? 0 : kSizeColumn;
    const bool ascending = random() % 2;
    SortRows(mine, column, ascending);
    ReferenceSort(reference, column, ascending, 0, reference.RowCount() - 1);
    ASSERT_EQ(mine.Ids(), reference.Ids()) << "round " << round;
  }
}

}  // namespace
}  // namespace zt::view
