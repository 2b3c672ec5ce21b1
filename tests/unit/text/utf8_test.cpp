#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace zt {
namespace {

std::string Bytes(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }

TEST(Utf8, EncodesEveryLengthExactly) {
  EXPECT_EQ(ToUtf8(u""), "");
  EXPECT_EQ(ToUtf8(u"A~"), "A~");
  EXPECT_EQ(ToUtf8(u"\u00E9"), Bytes({0xC3, 0xA9}));
  EXPECT_EQ(ToUtf8(u"\u07FF\u0800"), Bytes({0xDF, 0xBF, 0xE0, 0xA0, 0x80}));
  // Korean: three bytes per syllable.
  EXPECT_EQ(ToUtf8(u"한국"), Bytes({0xED, 0x95, 0x9C, 0xEA, 0xB5, 0xAD}));
  // A surrogate pair is one four-byte character, up to U+10FFFF.
  EXPECT_EQ(ToUtf8(u"\U0001F600"), Bytes({0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(ToUtf8(u"\U0010FFFF"), Bytes({0xF4, 0x8F, 0xBF, 0xBF}));
  EXPECT_EQ(ToUtf8(u"\uFFFF"), Bytes({0xEF, 0xBF, 0xBF}));
}

TEST(Utf8, EncodingStopsAtFirstZero) {
  EXPECT_EQ(ToUtf8(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(ToUtf8(std::u16string(u"\0x", 2)), "");
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacement) {
  const std::string fffd = Bytes({0xEF, 0xBF, 0xBD});
  EXPECT_EQ(ToUtf8(std::u16string{u'a', 0xD800, u'z'}), "a" + fffd + "z");
  EXPECT_EQ(ToUtf8(std::u16string{u'a', 0xDC00, u'z'}), "a" + fffd + "z");
  EXPECT_EQ(ToUtf8(std::u16string{u'a', 0xD83D}), "a" + fffd);
  // Low before high is two strays; a high followed by a pair keeps the pair.
  EXPECT_EQ(ToUtf8(std::u16string{0xDC00, 0xD800}), fffd + fffd);
  EXPECT_EQ(ToUtf8(std::u16string{0xD800, 0xD800, 0xDC00}), fffd + Bytes({0xF0, 0x90, 0x80, 0x80}));
}

TEST(Utf8, DecodesValidText) {
  EXPECT_EQ(FromUtf8(""), u"");
  EXPECT_EQ(FromUtf8(Bytes({0xED, 0x95, 0x9C, 0xEA, 0xB5, 0xAD})), u"한국");
  EXPECT_EQ(FromUtf8(Bytes({0xF0, 0x9F, 0x98, 0x80})), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(FromUtf8(Bytes({0xF4, 0x8F, 0xBF, 0xBF})), (std::u16string{0xDBFF, 0xDFFF}));
  // The byte-order mark and non-characters are characters like any other.
  EXPECT_EQ(FromUtf8(Bytes({0xEF, 0xBB, 0xBF, 'x', 0xEF, 0xBF, 0xBE})), (std::u16string{0xFEFF, u'x', 0xFFFE}));
  EXPECT_EQ(FromUtf8(std::string("ab\0cd", 5)), u"ab");
}

TEST(Utf8, InvalidBytesAreReplacedNotRejected) {
  struct Case {
    std::string in;
    std::u16string out;
  };
  const char16_t R = 0xFFFD;
  const Case cases[] = {
      {Bytes({'a', 0x80, 'z'}), {u'a', R, u'z'}},                        // stray continuation
      {Bytes({0x80, 0xBF, 0x80}), {R, R, R}},
      {Bytes({'a', 0xC0, 0x80, 'z'}), {u'a', R, R, u'z'}},               // C0/C1 never start a sequence
      {Bytes({0xC1, 0xBF}), {R, R}},
      {Bytes({'a', 0xE0, 0x80, 0x80, 'z'}), {u'a', R, R, u'z'}},         // overlong: lead+second, then a stray
      {Bytes({0xE0, 0x9F, 0xBF}), {R, R}},
      {Bytes({0xF0, 0x8F, 0xBF, 0xBF}), {R, R, R}},
      {Bytes({0xED, 0xA0, 0x80}), {R, R}},                               // encoded surrogate
      {Bytes({0xED, 0xBF, 0xBF, 'z'}), {R, R, u'z'}},
      {Bytes({0xF4, 0x90, 0x80, 0x80}), {R, R, R}},                      // above U+10FFFF
      {Bytes({0xF5, 0x80, 0x80, 0x80}), {R, R, R, R}},                   // F5..FF never start one
      {Bytes({0xFE, 0xFF}), {R, R}},
      {Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), {R, R, R, R, R}},
      {Bytes({'a', 0xE2, 0x82, 'z'}), {u'a', R, u'z'}},                  // broken off: one replacement
      {Bytes({'a', 0xE2, 0x82, 0xC3, 0xA9}), {u'a', R, 0xE9}},           // the breaking byte starts afresh
      {Bytes({0xF0, 0x9F, 0x98, 'z'}), {R, u'z'}},
      {Bytes({'a', 0xE2, 0x82}), {u'a', R}},                             // broken off by the end
      {Bytes({'a', 0xC3}), {u'a', R}},
      {Bytes({0xE0, 0x80}), {R}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.in));
    EXPECT_EQ(FromUtf8(c.in), c.out);
  }
}

TEST(Utf8, ATruncatedTailNeverSwallowsWhatFollows) {
  // The end of the text (or a 0) breaks a sequence; the characters before the
  // end and nothing after the 0 come out.
  EXPECT_EQ(FromUtf8(Bytes({0xF0, 'A'})), (std::u16string{0xFFFD, u'A'}));
  EXPECT_EQ(FromUtf8(Bytes({0xF0, 0x9F, 'A'})), (std::u16string{0xFFFD, u'A'}));
  EXPECT_EQ(FromUtf8(std::string("\xE2\0\x82\xAC", 4)), (std::u16string{0xFFFD}));
}

}  // namespace
}  // namespace zt
