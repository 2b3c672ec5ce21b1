// The one case-insensitive equality against the platform's own ordinal
// ignore-case comparison, for every UTF-16 code unit.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "text/unicode.h"

namespace zt {
namespace {

int PlatformCompare(char16_t a, char16_t b) {
  const auto* wa = reinterpret_cast<const wchar_t*>(&a);
  const auto* wb = reinterpret_cast<const wchar_t*>(&b);
  return CompareStringOrdinal(wa, 1, wb, 1, TRUE);
}

std::string Unit(char16_t c) {
  char text[8];
  snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// Two directions make the equalities the same: every fold we make is one the
// platform makes (so our classes lie inside the platform's), and no two of
// our distinct upper-case values are equal to the platform (so no platform
// class spans two of ours). The second is checked by sorting our upper-case
// values in the platform's ignore-case order: equal neighbours would be one
// platform class split in two.
TEST(CaseFoldingAgainstPlatform, SameEqualitiesForEveryCodeUnit) {
  std::vector<char16_t> uppers;
  int wrong = 0;
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    const char16_t c = static_cast<char16_t>(u);
    const char16_t upper = UpperSimple(c);
    if (PlatformCompare(c, upper) != CSTR_EQUAL && ++wrong <= 20)
      ADD_FAILURE() << Unit(c) << " folds to " << Unit(upper) << ", which the platform keeps apart";
    uppers.push_back(upper);
  }
  std::sort(uppers.begin(), uppers.end());
  uppers.erase(std::unique(uppers.begin(), uppers.end()), uppers.end());
  std::stable_sort(uppers.begin(), uppers.end(),
                   [](char16_t a, char16_t b) { return PlatformCompare(a, b) == CSTR_LESS_THAN; });
  for (std::size_t i = 1; i < uppers.size(); ++i) {
    if (PlatformCompare(uppers[i - 1], uppers[i]) == CSTR_EQUAL && ++wrong <= 40)
      ADD_FAILURE() << Unit(uppers[i - 1]) << " and " << Unit(uppers[i]) << " are equal to the platform, not here";
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace zt
