#include "text/unicode.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

TEST(EqualsNoCase, IgnoresCaseOfLatinLetters) {
  EXPECT_TRUE(EqualsNoCase(u"CreateDate", u"createdate"));
  EXPECT_TRUE(EqualsNoCase(u"HTTP", u"http"));
  EXPECT_TRUE(EqualsNoCase(u"résumé", u"RÉSUMÉ"));
  EXPECT_TRUE(EqualsNoCase(u"", u""));
  EXPECT_FALSE(EqualsNoCase(u"file1", u"file2"));
  // Neighbours of the letter ranges are not letters: '@' vs '`', '[' vs '{'.
  EXPECT_FALSE(EqualsNoCase(u"@", u"`"));
  EXPECT_FALSE(EqualsNoCase(u"[", u"{"));
  // U+00D7 and U+00F7 are signs, not a case pair.
  EXPECT_FALSE(EqualsNoCase(u"\u00D7", u"\u00F7"));
}

TEST(EqualsNoCase, KoreanAndLengthsCompareExactly) {
  EXPECT_TRUE(EqualsNoCase(u"파일명", u"파일명"));
  EXPECT_FALSE(EqualsNoCase(u"파일명", u"파일멍"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"ABCD"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"ab"));
  EXPECT_FALSE(EqualsNoCase(u"", u"a"));
}

}  // namespace
}  // namespace zt
