#include "model/formats.h"

#include <limits>

namespace zt {

namespace {

std::u16string Without(std::u16string_view text, std::u16string_view drop) {
  std::u16string kept;
  for (char16_t c : text)
    if (drop.find(c) == std::u16string_view::npos) kept += c;
  return kept;
}

void AppendDecimal(std::u16string& out, long long value, int width) {
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), u'0');
  if (value < 0) out += u'-';
  out += digits;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

std::int64_t ParseSizeText(std::u16string_view text) {
  if (text.empty()) return 0;
  std::u16string digits;
  std::int64_t multiplier = 1;
  switch (text.back()) {
    case u'K':
    case u'k':
      digits = Without(text, u"kK ");
      multiplier = 1024;
      break;
    case u'M':
    case u'm':
      digits = Without(text, u"mM ");
      multiplier = 1024 * 1024;
      break;
    default:
      digits = Without(text, u" ");
      break;
  }
  // Sizes are kept below 2^31 bytes, as the 32-bit reading they were made
  // for expects; anything larger is refused rather than wrapped.
  constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
    if (value > limit) return 0;
  }
  if (value > limit / multiplier) return 0;
  return value * multiplier;
}

std::u16string DateText(const CivilTime& t) {
  if (t.Year < 1601 || t.Year > 9999 || t.Month < 1 || t.Month > 12 || t.Day < 1 ||
      t.Day > DaysInMonth(t.Year, t.Month) || t.Hour < 0 || t.Hour > 23 || t.Minute < 0 || t.Minute > 59 ||
      t.Second < 0 || t.Second > 59)
    return {};
  std::u16string out;
  AppendDecimal(out, t.Year, 4);
  out += u'-';
  AppendDecimal(out, t.Month, 2);
  out += u'-';
  AppendDecimal(out, t.Day, 2);
  out += u' ';
  AppendDecimal(out, t.Hour, 2);
  out += u':';
  AppendDecimal(out, t.Minute, 2);
  out += u':';
  AppendDecimal(out, t.Second, 2);
  return out;
}

std::u16string SizeColumnText(const CZTFileItem& entry) {
  if (!entry.IsLocal()) return u"? Kb";
  // Arithmetic shift rounds down, negative sizes (a script may put one)
  // included; the column shows the low 32 bits as a signed number.
  const auto kilobytes = static_cast<std::uint64_t>(entry.Size >> 10);
  const auto low = static_cast<std::uint32_t>(kilobytes);
  const long long shown = low > 0x7FFFFFFFu ? static_cast<long long>(low) - 0x100000000LL : low;
  std::u16string out;
  AppendDecimal(out, shown, 0);
  out += u" Kb";
  return out;
}

std::vector<std::u16string> RowTexts(const CZTFileItem& entry, const std::vector<CZTFileAttrInfo>& attributeNames) {
  std::vector<std::u16string> texts;
  texts.push_back(entry.Name);
  texts.push_back(entry.IsLocal() ? entry.LocalPath : entry.ServerPath);
  texts.push_back(SizeColumnText(entry));
  for (const auto& attribute : attributeNames)
    if (attribute.Visible == 1) texts.push_back(entry.GetAttribute(attribute.Name));
  return texts;
}

}  // namespace zt
