#include "view/view_rules.h"

#include <gtest/gtest.h>

namespace zt::view {
namespace {

TEST(ViewRules, PresentationsStylesAndTheMarkedViewCommand) {
  struct Case {
    std::int16_t listType;
    std::uint32_t style;
    bool attributes, report;
    unsigned radio;
  };
  for (const Case& c : {Case{0, 0x50010000, false, false, 32780}, Case{1, 0x50010001, false, true, 32782},
                        Case{2, 0x50010002, false, false, 32781}, Case{3, 0x50010003, false, false, 32781},
                        Case{4, 0x50010001, true, true, 32783},
                        // Outside 0..4: large icons, nothing marked, no sort re-applied.
                        Case{5, 0x50010000, false, false, 0}, Case{-1, 0x50010000, false, false, 0},
                        Case{32767, 0x50010000, false, false, 0}}) {
    SCOPED_TRACE(c.listType);
    EXPECT_EQ(ListWindowStyle(c.listType), c.style);
    EXPECT_EQ(PresentationOf(c.listType).AttributeColumns, c.attributes);
    EXPECT_EQ(PresentationOf(c.listType).Report, c.report);
    EXPECT_EQ(ContextMenuState(1, 1, 1, c.listType).RadioCommand, c.radio);
  }
  EXPECT_EQ(ListTypeOfCommand(32780), 0);
  EXPECT_EQ(ListTypeOfCommand(32781), 3);
  EXPECT_EQ(ListTypeOfCommand(32782), 1);
  EXPECT_EQ(ListTypeOfCommand(32783), 4);
  EXPECT_EQ(ListTypeOfCommand(32773), std::nullopt);
}

TEST(ViewRules, MenuOpensOnlyForOneAndGreysOnlyForZero) {
  EXPECT_TRUE(ContextMenuState(1, 1, 1, 0).Opens);
  EXPECT_FALSE(ContextMenuState(-1, 1, 1, 0).Opens);  // a script's true
  EXPECT_FALSE(ContextMenuState(2, 1, 1, 0).Opens);
  EXPECT_FALSE(ContextMenuState(0, 1, 1, 0).Opens);
  const MenuState greyed = ContextMenuState(1, 0, 0, 1);
  EXPECT_FALSE(greyed.FolderEnabled);
  EXPECT_FALSE(greyed.DeleteEnabled);
  const MenuState other = ContextMenuState(1, -1, 7, 1);
  EXPECT_TRUE(other.FolderEnabled);
  EXPECT_TRUE(other.DeleteEnabled);
}

TEST(ViewRules, ColumnWidthsAtBuildAndAtResize) {
  EXPECT_EQ(BuildColumnWidths(601), (ColumnWidths{200, 300, 100}));
  EXPECT_EQ(BuildColumnWidths(1280), (ColumnWidths{200, 300, 100}));
  EXPECT_EQ(BuildColumnWidths(600), (ColumnWidths{180, 300, 120}));
  EXPECT_EQ(BuildColumnWidths(333), (ColumnWidths{99, 166, 66}));
  EXPECT_EQ(BuildColumnWidths(0), (ColumnWidths{0, 0, 0}));
  EXPECT_EQ(ResizeColumnWidths(1000), (ColumnWidths{300, 500, 200}));
  EXPECT_EQ(ResizeColumnWidths(601), (ColumnWidths{180, 300, 120}));
}

TEST(ViewRules, RowTextsOfLocalAndServerEntries) {
  CZTFileItem local;
  local.LocalPath = u"C:\\docs\\a.txt";
  for (auto [bytes, text] : {std::pair{1023LL, u"0 Kb"}, {1024LL, u"1 Kb"}, {1048575LL, u"1023 Kb"},
                             {0LL, u"0 Kb"}, {-1LL, u"-1 Kb"},
                             // Shifted in 64 bits, shown in 32: 4 TiB + 1 KiB wraps to 1, 2 TiB to the most negative.
                             {(1LL << 42) + 1024, u"1 Kb"}, {1LL << 41, u"-2147483648 Kb"}}) {
    local.Size = bytes;
    EXPECT_EQ(SizeColumnText(local), text) << bytes;
  }
  EXPECT_EQ(PathColumnText(local), u"C:\\docs\\a.txt");

  CZTFileItem server;
  server.ServerPath = u"/files/b.doc";
  server.LocalPath = u"C:\\cache\\b.doc";
  server.Size = 5 << 20;
  EXPECT_EQ(SizeColumnText(server), u"? Kb");
  EXPECT_EQ(PathColumnText(server), u"/files/b.doc");
}

}  // namespace
}  // namespace zt::view
