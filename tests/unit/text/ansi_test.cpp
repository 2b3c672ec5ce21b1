#include "text/ansi.h"

#include <gtest/gtest.h>

#include <string>

// The native stand-in code page (Windows-1252). The platform's own code page
// is checked under Windows in platform_codec_test.cpp.
#ifndef _WIN32
namespace zt {
namespace {

std::string Bytes(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }

TEST(AnsiStandIn, MapsWindows1252BothWays) {
  EXPECT_EQ(ToAnsi(u"Az\u00E9\u00FF\u20AC\u0178\u2122"), Bytes({'A', 'z', 0xE9, 0xFF, 0x80, 0x9F, 0x99}));
  EXPECT_EQ(FromAnsi(Bytes({'A', 0xE9, 0x80, 0x8A, 0x9F, 0xA0})), (std::u16string{u'A', 0xE9, 0x20AC, 0x160, 0x178, 0xA0}));
  // The five unassigned bytes come back as the C1 controls of the same value.
  EXPECT_EQ(FromAnsi(Bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D})), (std::u16string{0x81, 0x8D, 0x8F, 0x90, 0x9D}));
  EXPECT_EQ(ToAnsi(std::u16string{0x81, 0x9D}), Bytes({0x81, 0x9D}));
}

TEST(AnsiStandIn, UnrepresentableBecomesQuestionMarkPerCodeUnit) {
  EXPECT_EQ(ToAnsi(u"한글"), "??");
  EXPECT_EQ(ToAnsi(u"a\U0001F600z"), "a??z");
  // C1 controls that 1252 reassigns have no byte of their own.
  EXPECT_EQ(ToAnsi(std::u16string{0x80, 0x9F}), "??");
}

TEST(AnsiStandIn, StopsAtFirstZero) {
  EXPECT_EQ(ToAnsi(std::u16string(u"ab\0c", 4)), "ab");
  EXPECT_EQ(FromAnsi(std::string("ab\0c", 4)), u"ab");
  EXPECT_EQ(ToAnsi(u""), "");
}

}  // namespace
}  // namespace zt
#endif
