#include "text/ansi.h"

// The native build has no thread ANSI code page. It stands in with
// Windows-1252, the code page Wine gives in the C.UTF-8 locale, so the native
// tests see what a Western Windows would send. Characters 1252 cannot hold
// become '?' with no best-fit guess (U+0100 is '?', not 'A'), as the platform
// codec asks too, and a surrogate pair is two characters, so it becomes "??"
// as on the platform.
namespace zt {

namespace {

// 0x80..0x9F; the five bytes 1252 leaves unassigned map to the C1 control of
// the same value, as the platform maps them.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char EncodeOne(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c == 0) break;
    out.push_back(EncodeOne(c));
  }
  return out;
}

std::u16string FromAnsi(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b == 0) break;
    out.push_back(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
  }
  return out;
}

}  // namespace zt
