// The paths the control takes from the shell's dialogs.
#include "view/shell_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zt::view {
namespace {

using Paths = std::vector<std::u16string>;

// The dialog's buffer: strings each ending in NUL, an empty one last, and
// whatever the buffer held beyond.
std::u16string Buffer(const Paths& strings) {
  std::u16string buffer;
  for (const auto& s : strings) buffer += s + u'\0';
  buffer += u'\0';
  return buffer + std::u16string(u"stale\0text\0\0", 13);
}

TEST(SelectionPaths, OneFileOrAFolderWithNamesInTheDialogsOrder) {
  EXPECT_EQ(SelectionPaths(Buffer({u"C:\\Docs\\a.txt"})), (Paths{u"C:\\Docs\\a.txt"}));
  EXPECT_EQ(SelectionPaths(Buffer({u"C:\\Docs", u"b.txt", u"a.txt", u"\uD55C\uAE00 \uBB38\uC11C.hwp"})),
            (Paths{u"C:\\Docs\\b.txt", u"C:\\Docs\\a.txt", u"C:\\Docs\\\uD55C\uAE00 \uBB38\uC11C.hwp"}));
  // A drive's root already ends in a separator; a name typed as a whole path stays whole.
  EXPECT_EQ(SelectionPaths(Buffer({u"C:\\", u"a.txt", u"D:\\x\\y.txt", u"\\\\srv\\s\\z.txt"})),
            (Paths{u"C:\\a.txt", u"D:\\x\\y.txt", u"\\\\srv\\s\\z.txt"}));
  // Far more than 260 units: every name comes through.
  Paths names{u"C:\\Long"};
  Paths expected;
  for (int i = 0; i < 300; ++i) {
    const std::u16string name = std::u16string(120, u'n') + u"." + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
    names.push_back(name);
    expected.push_back(u"C:\\Long\\" + name);
  }
  EXPECT_EQ(SelectionPaths(Buffer(names)), expected);
  EXPECT_EQ(SelectionPaths(u""), Paths{});
  EXPECT_EQ(SelectionPaths(std::u16string(10, u'\0')), Paths{});
}
}  // namespace
}  // namespace zt::view
