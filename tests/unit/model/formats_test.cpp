#include "model/formats.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

TEST(ParseSizeText, PlainKilobyteAndMegabyteForms) {
  const std::pair<std::u16string, std::int64_t> cases[] = {
      {u"", 0},          {u"0", 0},           {u"1536", 1536},     {u"12K", 12288},   {u"12 k", 12288},
      {u"12k", 12288},   {u"3M", 3145728},    {u"3 m", 3145728},   {u" 1 5 ", 15},    {u"1k2K", 12288},
      {u"K", 0},         {u"m", 0},           {u"1.5M", 0},        {u"10KB", 0},      {u"-5", 0},
      {u"12k ", 0},      {u"1m2k", 0},        {u"\uFF11\uFF12", 0}, {u"0012", 12},
  };
  for (const auto& [text, bytes] : cases)
    EXPECT_EQ(ParseSizeText(text), bytes) << std::string(text.begin(), text.end());
}

TEST(ParseSizeText, SizesFromTwoGigabytesUpGiveZero) {
  EXPECT_EQ(ParseSizeText(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseSizeText(u"2147483648"), 0);
  EXPECT_EQ(ParseSizeText(u"2047M"), 2047LL * 1048576);
  EXPECT_EQ(ParseSizeText(u"2048M"), 0);
  EXPECT_EQ(ParseSizeText(u"2097151K"), 2097151LL * 1024);
  EXPECT_EQ(ParseSizeText(u"2097152K"), 0);
  EXPECT_EQ(ParseSizeText(u"99999999999999999999999999999999"), 0);
  EXPECT_EQ(ParseSizeText(u"4294967296"), 0);  // would wrap to 0 in 32 bits: must not look valid either
}

TEST(DateText, FormatsRealTimesAndRefusesImpossibleOnes) {
  EXPECT_EQ(DateText({2024, 2, 29, 23, 59, 59}), u"2024-02-29 23:59:59");
  EXPECT_EQ(DateText({1601, 1, 1, 0, 0, 0}), u"1601-01-01 00:00:00");
  EXPECT_EQ(DateText({2000, 2, 29, 0, 0, 0}), u"2000-02-29 00:00:00");
  const CivilTime impossible[] = {{2023, 2, 29}, {1900, 2, 29}, {2024, 13, 1}, {2024, 4, 31}, {2024, 1, 0},
                                  {2024, 1, 1, 24}, {2024, 1, 1, 0, -1}, {2024, 1, 1, 0, 0, 60}, {10000}, {1600}};
  for (const CivilTime& t : impossible) EXPECT_EQ(DateText(t), u"") << t.Year << "-" << t.Month << "-" << t.Day;
}

TEST(SizeColumnText, KilobytesRoundedDownAsSigned32Bit) {
  CZTFileItem local;
  const std::pair<std::int64_t, std::u16string> cases[] = {
      {1023, u"0 Kb"},
      {1024, u"1 Kb"},
      {2048, u"2 Kb"},
      {1048575, u"1023 Kb"},
      {0x1FFFFFFFFFFLL, u"2147483647 Kb"},   // largest that still fits 31 bits after >> 10
      {0x20000000000LL, u"-2147483648 Kb"},  // 2 TiB: the low 32 bits read as signed
      {-1, u"-1 Kb"},
      {-1025, u"-2 Kb"},
  };
  for (const auto& [size, text] : cases) {
    local.Size = size;
    EXPECT_EQ(SizeColumnText(local), text) << size;
  }
  CZTFileItem server;
  server.ServerPath = u"/s/big.iso";
  server.Size = 5 << 20;
  EXPECT_EQ(SizeColumnText(server), u"? Kb");
}

TEST(RowTexts, PathSizeAndVisibleAttributeColumnsInRegistrationOrder) {
  std::vector<CZTFileAttrInfo> names{{u"Title"}, {u"Hidden", 0, 100}, {u"Owner"}};
  CZTFileItem local;
  local.Name = u"a.txt";
  local.LocalPath = u"C:\\d\\a.txt";
  local.Size = 4096;
  local.SetAttribute(u"OWNER", u"kim");
  local.SetAttribute(u"hidden", u"x");
  EXPECT_EQ(RowTexts(local, names), (std::vector<std::u16string>{u"a.txt", u"C:\\d\\a.txt", u"4 Kb", u"", u"kim"}));

  CZTFileItem server;
  server.Name = u"r.doc";
  server.LocalPath = u"C:\\Temp\\ZTFILE1.tmp";  // an opened copy: the row still shows the server path
  server.ServerPath = u"/docs/r.doc";
  EXPECT_EQ(RowTexts(server, {}), (std::vector<std::u16string>{u"r.doc", u"/docs/r.doc", u"? Kb"}));
}

}  // namespace
}  // namespace zt
