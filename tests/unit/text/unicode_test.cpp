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

// Beyond the Latin, Greek and Cyrillic basics: Vietnamese, accented Greek,
// Armenian, Roman numerals, Georgian, Glagolitic, Cherokee, full-width.
// One-way folds stay apart, as they do on the platform: micro sign and mu,
// dotless i and I, long s and S, final sigma and sigma, a title-case digraph
// and its capital, sharp s and anything.
TEST(EqualsNoCase, FoldsEveryReversibleCasePairOfThePlane) {
  EXPECT_TRUE(EqualsNoCase(u"Ti\u1EBFng Vi\u1EC7t \u1EA1", u"TI\u1EBENG VI\u1EC6T \u1EA0"));
  EXPECT_TRUE(EqualsNoCase(u"\u03AC\u03AD\u03CE\u1F00\u1F80\u1FB3", u"\u0386\u0388\u038F\u1F08\u1F88\u1FBC"));
  EXPECT_TRUE(EqualsNoCase(u"\u0561\u0586", u"\u0531\u0556"));
  EXPECT_TRUE(EqualsNoCase(u"\u2170\u217F\u24D0", u"\u2160\u216F\u24B6"));
  EXPECT_TRUE(EqualsNoCase(u"\u10D0\u2C30\uAB70\uFF41\u01C6", u"\u1C90\u2C00\u13A0\uFF21\u01C4"));

  EXPECT_FALSE(EqualsNoCase(u"\u00B5", u"\u039C"));
  EXPECT_FALSE(EqualsNoCase(u"\u0131", u"I"));
  EXPECT_FALSE(EqualsNoCase(u"\u017F", u"S"));
  EXPECT_FALSE(EqualsNoCase(u"\u03C2", u"\u03A3"));
  EXPECT_FALSE(EqualsNoCase(u"\u01C5", u"\u01C4"));
  EXPECT_FALSE(EqualsNoCase(u"\u00DF", u"\u1E9E"));
  // Neighbours inside an alternating run are different letters.
  EXPECT_FALSE(EqualsNoCase(u"\u0101", u"\u0102"));
  // Surrogate halves and the last unit keep their value.
  EXPECT_FALSE(EqualsNoCase(u"\xD801\xDC28", u"\xD801\xDC00"));
  EXPECT_EQ(UpperSimple(0xFFFF), 0xFFFF);
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
