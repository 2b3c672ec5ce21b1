#include "text/utf8.h"

#include <cstddef>
#include <cstdint>

// UTF-8 without platform calls, matching what Windows (as Wine 8 implements
// it) produces for CP_UTF8 with no flags, so the bytes on the wire and the
// decoded replies are the same whether the core or the platform converts.
//
// Bad input is replaced, never rejected:
// - an unpaired surrogate code unit is written as U+FFFD (EF BF BD);
// - a byte that cannot start a sequence (80..BF, C0, C1, F5..FF) is one U+FFFD;
// - a sequence broken off early becomes one U+FFFD for its lead byte and the
//   continuation bytes read so far; the byte that broke it is decoded afresh;
// - an overlong form, an encoded surrogate or a value above U+10FFFF is
//   recognised at the second byte, and that U+FFFD covers the lead and the
//   second byte; any further continuation bytes are stray ones.
namespace zt {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

void PutUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void PutUtf16(std::u16string& out, std::uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

// Whether the second byte of a sequence begun by lead keeps it a shortest,
// in-range, non-surrogate form. Only E0, ED, F0 and F4 restrict it.
bool SecondByteValid(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0: return second >= 0xA0;  // below: overlong
    case 0xED: return second < 0xA0;   // above: a surrogate
    case 0xF0: return second >= 0x90;  // below: overlong
    case 0xF4: return second < 0x90;   // above: past U+10FFFF
    default: return true;
  }
}

// How many continuation bytes lead announces, or -1 when it cannot start a sequence.
int TrailCount(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

}  // namespace

std::string CZTUTFConverter::ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      PutUtf8(out, 0x10000 + ((std::uint32_t(c) - 0xD800) << 10) + (std::uint32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      PutUtf8(out, kReplacement);
    } else {
      PutUtf8(out, c);
    }
  }
  return out;
}

std::u16string CZTUTFConverter::FromUtf8(std::string_view bytes) {
  const std::size_t end = bytes.find('\0') == std::string_view::npos ? bytes.size() : bytes.find('\0');
  std::u16string out;
  out.reserve(end);
  std::size_t i = 0;
  while (i < end) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    const int trail = TrailCount(lead);
    ++i;
    if (trail < 0) {
      out.push_back(kReplacement);
      continue;
    }
    std::uint32_t cp = lead & (0x3F >> trail);
    bool complete = true;
    for (int k = 0; k < trail; ++k) {
      // The end of the text breaks a sequence like any other non-continuation
      // byte: what follows the terminator is never read.
      if (i >= end || !IsContinuation(static_cast<unsigned char>(bytes[i]))) {
        complete = false;
        break;
      }
      const unsigned char b = static_cast<unsigned char>(bytes[i]);
      ++i;
      cp = (cp << 6) | (b & 0x3F);
      if (k == 0 && !SecondByteValid(lead, b)) {
        complete = false;
        break;
      }
    }
    if (complete)
      PutUtf16(out, cp);
    else
      out.push_back(kReplacement);
  }
  return out;
}

}  // namespace zt
