#include "text/unicode.h"

#include <algorithm>
#include <iterator>

namespace zt {

namespace {

// A run of code units sharing one upper-case offset.
struct UpperRun {
  char16_t First, Last;
  int Delta;
  int Step;  // 1: every unit of the run; 2: every other one (alternating pairs)
};

constexpr UpperRun kUpperRuns[] = {
#include "text/upper_case_table.inc"
};

}  // namespace

char16_t UpperSimple(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
  // The last run starting at or before c.
  const UpperRun* run = std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), c,
                                         [](char16_t unit, const UpperRun& r) { return unit < r.First; });
  if (run == std::begin(kUpperRuns)) return c;
  --run;
  if (c > run->Last || (c - run->First) % run->Step != 0) return c;
  return char16_t(c + run->Delta);
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && UpperSimple(a[i]) != UpperSimple(b[i])) return false;
  return true;
}

std::u16string Widen(std::string_view ascii) {
  std::u16string out;
  out.reserve(ascii.size());
  for (unsigned char c : ascii) out.push_back(c);
  return out;
}

}  // namespace zt
