#include "text/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace zt {
namespace {

TEST(Format, TextsAndNumbersInKoreanTemplates) {
  EXPECT_EQ(Format(u"%s(%d).%s", {u"보고서", 2, u"txt"}), u"보고서(2).txt");
  EXPECT_EQ(FormatText(502, {u"3", u"10"}), u"파일수 :  3 / 10 개");
  EXPECT_EQ(FormatText(1002, {u"a.txt"}), u"\"a.txt\" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다.");
  EXPECT_EQ(FormatText(505, {-12}), u"전송속도 : -12 KB/s");
  // A '%' inside an argument is not interpreted again.
  EXPECT_EQ(Format(u"[%s]", {u"100%d"}), u"[100%d]");
  EXPECT_EQ(Format(u"%%d 100%%"), u"%d 100%");
  EXPECT_EQ(FormatText(0, {1}), u"");
}

TEST(Format, PrecisionGivesMinimumDigits) {
  EXPECT_EQ(FormatText(506, {1u, 2u, 3u}), u"예상시간 : 01:02:03");
  EXPECT_EQ(Format(u"%.2u:%.2u:%.2u:%.3d", {23u, 59u, 100u, 1}), u"23:59:100:001");
  EXPECT_EQ(Format(u"%.3d", {-7}), u"-007");
  EXPECT_EQ(Format(u"[%.0d]", {0}), u"[]");
  // With a precision the '0' flag is ignored; the field still pads.
  EXPECT_EQ(Format(u"[%05.2d]", {3}), u"[   03]");
}

TEST(Format, FlagsAndWidth) {
  EXPECT_EQ(Format(u"[%5d][%-5d][%05d]", {42, 42, -42}), u"[   42][42   ][-0042]");
  EXPECT_EQ(Format(u"[%+d][% d][%+d]", {5, 5, -5}), u"[+5][ 5][-5]");
  EXPECT_EQ(Format(u"[%6s][%-6s][%.2s]", {u"파일", u"ab", u"abc"}), u"[    파일][ab    ][ab]");
  EXPECT_EQ(Format(u"%x %X %#x %o", {255, 255, 255, 8}), u"ff FF 0xff 10");
  EXPECT_EQ(Format(u"%c%c", {0xD55C, u'!'}), u"한!");
}

TEST(Format, LengthDecidesHowManyBitsAreRead) {
  const unsigned long long big = 3000000000ull;
  // %d, %ld and %u read the low 32 bits, %I64 all 64.
  EXPECT_EQ(Format(u"%d Kb", {static_cast<long long>(big)}), u"-1294967296 Kb");
  EXPECT_EQ(Format(u"%d Kb", {-5}), u"-5 Kb");
  EXPECT_EQ(Format(u"%ld", {big}), u"-1294967296");
  EXPECT_EQ(Format(u"%u", {big}), u"3000000000");
  EXPECT_EQ(Format(u"%u", {-1}), u"4294967295");
  EXPECT_EQ(Format(u"%lu", {0x100000005ull}), u"5");
  EXPECT_EQ(Format(u"%I64u", {0x100000005ull}), u"4294967301");
  EXPECT_EQ(Format(u"%I64u", {~0ull}), u"18446744073709551615");
  EXPECT_EQ(Format(u"%I64d", {~0ull}), u"-1");
  EXPECT_EQ(Format(u"%I64d", {static_cast<long long>(INT64_MIN)}), u"-9223372036854775808");
  EXPECT_EQ(Format(u"%d", {static_cast<long long>(INT32_MIN)}), u"-2147483648");
  EXPECT_EQ(Format(u"%lld %i", {-3ll, 7}), u"-3 7");
  EXPECT_EQ(Format(u"총용량 : %ld KB", {1024L}), u"총용량 : 1024 KB");
}

TEST(Format, MissingOrMismatchedArgumentsAreWrittenLiterally) {
  EXPECT_EQ(Format(u"%s / %s", {u"1"}), u"1 / %s");
  EXPECT_EQ(Format(u"%.2u:%I64u"), u"%.2u:%I64u");
  // A wrong kind is shown and consumes its argument, so the rest stays aligned.
  EXPECT_EQ(Format(u"%d-%s", {u"x", u"y"}), u"%d-y");
  EXPECT_EQ(Format(u"%s-%d", {7, 8}), u"%s-8");
  // Incomplete or unknown conversions, including before Korean text.
  EXPECT_EQ(Format(u"100%", {1}), u"100%");
  EXPECT_EQ(Format(u"50%전송 %q %I6", {1}), u"50%전송 %q %I6");
  // A huge width is clamped rather than exhausting memory.
  EXPECT_LE(Format(u"%999999999d", {1}).size(), 100000u);
}

}  // namespace
}  // namespace zt
