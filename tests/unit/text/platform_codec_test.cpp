// Our portable UTF-8 pair against the platform's own CP_UTF8 conversions, and
// the ANSI codec in the Korean code page (the test runs with LANG=ko_KR).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "text/ansi.h"
#include "text/utf8.h"

namespace zt {
namespace {

// The platform's conversions, called the way the control calls them: length
// -1, size query first, then the conversion into a zero-filled buffer.
std::string PlatformToUtf8(const std::u16string& text) {
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.c_str());
  const int size = WideCharToMultiByte(CP_UTF8, 0, src, -1, nullptr, 0, nullptr, nullptr);
  EXPECT_GT(size, 0);
  std::string buf(size, '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, src, -1, &buf[0], size, nullptr, nullptr);
  EXPECT_EQ(written, size);
  EXPECT_EQ(buf.back(), '\0');
  buf.pop_back();
  return buf;
}

struct PlatformDecoded {
  std::u16string text;   // the characters before the first 0
  bool terminated;       // whether the platform's output held the terminator
};

PlatformDecoded PlatformFromUtf8(const std::string& bytes) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, nullptr, 0);
  EXPECT_GT(size, 0);
  std::u16string buf(size, u'\0');
  const int written = MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, reinterpret_cast<wchar_t*>(&buf[0]), size);
  EXPECT_EQ(written, size);
  const std::size_t zero = buf.find(u'\0');
  return {buf.substr(0, zero), zero != std::u16string::npos};
}

std::string Hex(const std::string& s) {
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out;
}

std::string Hex(const std::u16string& s) {
  std::string out;
  char b[6];
  for (char16_t c : s) {
    snprintf(b, sizeof b, "%04X ", unsigned(c));
    out += b;
  }
  return out;
}

::testing::AssertionResult DecodesLikePlatform(const std::string& bytes) {
  const PlatformDecoded platform = PlatformFromUtf8(bytes);
  const std::u16string ours = FromUtf8(bytes);
  if (ours == platform.text) return ::testing::AssertionSuccess();
  // Wine decodes a lead byte whose sequence would run past the end of the
  // text as one replacement covering the terminator and what sits before it
  // ("F0 41" gives only U+FFFD). We keep those characters, decoding as the
  // platform does when the text goes on: three more ASCII bytes keep it from
  // reaching the end.
  if (!platform.terminated) {
    const PlatformDecoded padded = PlatformFromUtf8(bytes.substr(0, bytes.find('\0')) + "\x01\x01\x01");
    if (padded.terminated && ours + u"\x01\x01\x01" == padded.text) {
      return ::testing::AssertionSuccess();
    }
  }
  return ::testing::AssertionFailure() << "bytes " << Hex(bytes) << "\n ours     " << Hex(ours)
                                       << "\n platform " << Hex(platform.text);
}

::testing::AssertionResult EncodesLikePlatform(const std::u16string& text) {
  const std::string platform = PlatformToUtf8(text);
  const std::string ours = ToUtf8(text);
  if (ours == platform) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "units " << Hex(text) << "\n ours     " << Hex(ours)
                                       << "\n platform " << Hex(platform);
}

TEST(Utf8AgainstPlatform, EveryCodeUnitAndSurrogateNeighbourhood) {
  for (std::uint32_t c = 1; c <= 0xFFFF; ++c) ASSERT_TRUE(EncodesLikePlatform(std::u16string{u'a', char16_t(c), u'z'}));
  const char16_t edges[] = {0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, u'a', 0};
  for (char16_t a : edges)
    for (char16_t b : edges)
      for (char16_t c : edges) EXPECT_TRUE(EncodesLikePlatform(std::u16string{a, b, c}));
}

TEST(Utf8AgainstPlatform, EveryOneAndTwoByteText) {
  for (int a = 1; a < 256; ++a) {
    ASSERT_TRUE(DecodesLikePlatform(std::string(1, char(a))));
    for (int b = 0; b < 256; ++b) ASSERT_TRUE(DecodesLikePlatform(std::string{char(a), char(b)}));
  }
}

TEST(Utf8AgainstPlatform, LeadBytesWithEveryInterestingContinuation) {
  // Each lead byte with the boundaries of its allowed second byte, followed by
  // runs of continuations, ASCII and new leads, with room to spare and at the end.
  const unsigned char seconds[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
  const unsigned char thirds[] = {0x80, 0xBF, 0x41, 0xC3, 0x00};
  for (int lead = 0x80; lead < 256; ++lead)
    for (unsigned char s : seconds)
      for (unsigned char t : thirds)
        for (unsigned char u : thirds) {
          const std::string tail[] = {"", "z", "zz", "zzz"};
          for (const std::string& z : tail)
            ASSERT_TRUE(DecodesLikePlatform(std::string{char(lead), char(s), char(t), char(u)} + z));
        }
}

TEST(Utf8AgainstPlatform, PseudoRandomBytes) {
  std::mt19937 rng(20240607);
  // Biased towards the bytes that matter: continuations and the special leads.
  const unsigned char pool[] = {'a', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                                0xE0, 0xE2, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};
  for (int n = 0; n < 5000; ++n) {
    const int len = rng() % 24;
    std::string bytes;
    for (int i = 0; i < len; ++i) {
      const unsigned r = rng();
      if (r % 40 == 0) bytes.push_back('\0');
      else if (r % 3 == 0) bytes.push_back(char(rng() & 0xFF));
      else bytes.push_back(char(pool[rng() % sizeof pool]));
    }
    ASSERT_TRUE(DecodesLikePlatform(bytes));
  }
  // Valid text of every length, broken at a random place.
  for (int n = 0; n < 2000; ++n) {
    std::u16string text;
    for (int i = rng() % 8; i > 0; --i) {
      const std::uint32_t cp = (rng() % 4 == 0) ? 0x10000 + rng() % 0x100000 : 1 + rng() % 0xD7FF;
      if (cp >= 0x10000) {
        text.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
        text.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        text.push_back(char16_t(cp));
      }
    }
    std::string bytes = ToUtf8(text);
    if (!bytes.empty()) bytes.erase(rng() % bytes.size(), 1);
    ASSERT_TRUE(DecodesLikePlatform(bytes));
  }
}

TEST(Utf8AgainstPlatform, PseudoRandomCodeUnits) {
  std::mt19937 rng(777);
  const char16_t pool[] = {u'a', 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDBFF, 0xDC00,
                           0xDFFF, 0xE000, 0xFEFF, 0xFFFD, 0xFFFE, 0xFFFF, 0xD55C};
  for (int n = 0; n < 5000; ++n) {
    std::u16string text;
    for (int i = rng() % 16; i > 0; --i) {
      const unsigned r = rng();
      if (r % 50 == 0) text.push_back(0);
      else if (r % 2 == 0) text.push_back(char16_t(rng() & 0xFFFF));
      else text.push_back(pool[rng() % (sizeof pool / sizeof pool[0])]);
    }
    ASSERT_TRUE(EncodesLikePlatform(text));
  }
}

TEST(Utf8AgainstPlatform, PlatformOverreadIsTheOnlyDifference) {
  // Whether or not this Wine still has the over-read, the tail is kept.
  EXPECT_TRUE(DecodesLikePlatform("\xF0" "A"));
  EXPECT_EQ(FromUtf8("\xF0" "A"), (std::u16string{0xFFFD, u'A'}));
}

TEST(AnsiCodePage, KoreanIsTwoBytesPerSyllable) {
  ASSERT_EQ(GetACP(), 949u) << "the unit tests expect LANG=ko_KR.UTF-8 under Wine";
  EXPECT_EQ(ToAnsi(u"한"), "\xC7\xD1");
  EXPECT_EQ(FromAnsi("\xC7\xD1"), u"한");
  const std::u16string text = u"파일 업로드 상태 윈도우 (a.txt)";
  const std::string bytes = ToAnsi(text);
  EXPECT_EQ(bytes.size(), 2 * 10 + 11u);
  EXPECT_EQ(FromAnsi(bytes), text);
}

TEST(AnsiCodePage, UnrepresentableBecomesDefaultCharacter) {
  EXPECT_EQ(ToAnsi(u"a\u0E01z"), "a?z");
  EXPECT_EQ(ToAnsi(u"\U0001F600"), "??");
  EXPECT_EQ(ToAnsi(std::u16string{u'a', 0xD800, u'z'}), "a?z");
}

TEST(AnsiCodePage, StopsAtFirstZero) {
  EXPECT_EQ(ToAnsi(std::u16string(u"한\0글", 3)), "\xC7\xD1");
  EXPECT_EQ(FromAnsi(std::string("\xC7\xD1\0\xB1\xDB", 5)), u"한");
  EXPECT_EQ(ToAnsi(u""), "");
  EXPECT_EQ(FromAnsi(""), u"");
}

}  // namespace
}  // namespace zt
