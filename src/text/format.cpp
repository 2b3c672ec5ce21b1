#include "text/format.h"

#include <cstddef>
#include <cstdint>

#include "text/string_table.h"

// The conversions behave as the platform's wide printf does for the texts
// of this control; the arguments are typed, so a mismatch or a missing
// argument is detected and the conversion is copied to the output instead.
namespace zt {

namespace {

struct Conversion {
  bool left = false;     // '-'
  bool zero = false;     // '0'
  bool plus = false;     // '+'
  bool space = false;    // ' '
  bool alt = false;      // '#'
  int width = 0;
  int precision = -1;    // -1: none given
  int bits = 32;         // integer length: 16, 32 or 64
  char16_t conv = 0;
};

constexpr int kMaxField = 4096;  // width and precision beyond this are clamped

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int ReadNumber(std::u16string_view fmt, std::size_t& i) {
  long long n = 0;
  while (i < fmt.size() && IsDigit(fmt[i])) {
    if (n <= kMaxField) n = n * 10 + (fmt[i] - u'0');
    ++i;
  }
  return static_cast<int>(n > kMaxField ? kMaxField : n);
}

// Parses the conversion that starts after the '%' at fmt[i]. Returns false
// when the text there is not a complete conversion; i ends after it.
bool ParseConversion(std::u16string_view fmt, std::size_t& i, Conversion& s) {
  for (; i < fmt.size(); ++i) {
    const char16_t c = fmt[i];
    if (c == u'-') s.left = true;
    else if (c == u'0') s.zero = true;
    else if (c == u'+') s.plus = true;
    else if (c == u' ') s.space = true;
    else if (c == u'#') s.alt = true;
    else break;
  }
  s.width = ReadNumber(fmt, i);
  if (i < fmt.size() && fmt[i] == u'.') {
    ++i;
    s.precision = ReadNumber(fmt, i);
  }
  // Length: h, l (32 bits on Windows), ll, I64, I32, I (pointer size: 64
  // bits is the wider reading and loses nothing).
  if (fmt.substr(i, 3) == u"I64") { s.bits = 64; i += 3; }
  else if (fmt.substr(i, 3) == u"I32") { s.bits = 32; i += 3; }
  else if (fmt.substr(i, 2) == u"ll") { s.bits = 64; i += 2; }
  else if (i < fmt.size() && fmt[i] == u'l') { s.bits = 32; ++i; }
  else if (i < fmt.size() && fmt[i] == u'h') { s.bits = 16; ++i; }
  else if (i < fmt.size() && fmt[i] == u'I') { s.bits = 64; ++i; }
  if (i >= fmt.size()) return false;
  s.conv = fmt[i++];
  switch (s.conv) {
    case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': case u'c': case u's':
      return true;
    default:
      return false;
  }
}

void Pad(std::u16string& out, int count, char16_t c) {
  if (count > 0) out.append(static_cast<std::size_t>(count), c);
}

// Writes body into a field of the conversion's width, with sign/prefix first and
// zero padding between them when asked.
void PutField(std::u16string& out, const Conversion& s, std::u16string_view prefix, std::u16string_view body,
              bool zero_pad_allowed) {
  const int len = static_cast<int>(prefix.size() + body.size());
  const int fill = s.width - len;
  if (s.left) {
    out += prefix;
    out += body;
    Pad(out, fill, u' ');
  } else if (s.zero && zero_pad_allowed) {
    out += prefix;
    Pad(out, fill, u'0');
    out += body;
  } else {
    Pad(out, fill, u' ');
    out += prefix;
    out += body;
  }
}

void PutInteger(std::u16string& out, const Conversion& s, std::uint64_t raw) {
  // Reinterpret the caller's bits at the conversion's length.
  const std::uint64_t mask = s.bits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << s.bits) - 1;
  std::uint64_t bits = raw & mask;
  bool negative = false;
  std::uint64_t magnitude = bits;
  if (s.conv == u'd' || s.conv == u'i') {
    const std::uint64_t sign_bit = std::uint64_t(1) << (s.bits - 1);
    if (bits & sign_bit) {
      negative = true;
      magnitude = (~bits + 1) & mask;  // two's complement, also right for the minimum
    }
  }

  const unsigned base = (s.conv == u'x' || s.conv == u'X') ? 16 : s.conv == u'o' ? 8 : 10;
  const char16_t* digits = s.conv == u'X' ? u"0123456789ABCDEF" : u"0123456789abcdef";
  std::u16string body;
  for (std::uint64_t v = magnitude; v != 0; v /= base) body.insert(body.begin(), digits[v % base]);
  // A precision is the minimum digit count; precision 0 prints 0 as nothing.
  const int min_digits = s.precision < 0 ? 1 : s.precision;
  if (static_cast<int>(body.size()) < min_digits) body.insert(0, min_digits - body.size(), u'0');
  if (s.alt && s.conv == u'o' && (body.empty() || body[0] != u'0')) body.insert(body.begin(), u'0');

  std::u16string prefix;
  if (negative) prefix = u"-";
  else if ((s.conv == u'd' || s.conv == u'i') && s.plus) prefix = u"+";
  else if ((s.conv == u'd' || s.conv == u'i') && s.space) prefix = u" ";
  if (s.alt && magnitude != 0 && s.conv == u'x') prefix = u"0x";
  if (s.alt && magnitude != 0 && s.conv == u'X') prefix = u"0X";

  PutField(out, s, prefix, body, s.precision < 0);
}

}  // namespace

std::u16string Format(std::u16string_view fmt, std::initializer_list<FormatArg> args) {
  std::u16string out;
  out.reserve(fmt.size() + 16);
  const FormatArg* next = args.begin();
  std::size_t i = 0;
  while (i < fmt.size()) {
    const char16_t c = fmt[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == u'%') {
      out.push_back(u'%');
      i += 2;
      continue;
    }
    const std::size_t start = i;
    ++i;
    Conversion s;
    const bool parsed = ParseConversion(fmt, i, s);
    const std::u16string_view literal = fmt.substr(start, i - start);
    if (!parsed || next == args.end()) {
      out += literal;
      continue;
    }
    const FormatArg& arg = *next++;
    if (s.conv == u's') {
      if (arg.kind() != FormatArg::Kind::Text) {
        out += literal;
        continue;
      }
      std::u16string_view text = arg.text();
      if (s.precision >= 0 && text.size() > static_cast<std::size_t>(s.precision)) text = text.substr(0, s.precision);
      PutField(out, s, {}, text, false);
    } else if (arg.kind() == FormatArg::Kind::Text) {
      out += literal;
    } else if (s.conv == u'c') {
      const char16_t ch = static_cast<char16_t>(arg.bits() & 0xFFFF);
      PutField(out, s, {}, std::u16string_view(&ch, 1), false);
    } else {
      PutInteger(out, s, arg.bits());
    }
  }
  return out;
}

std::u16string FormatText(unsigned id, std::initializer_list<FormatArg> args) {
  return Format(LoadText(id), args);
}

}  // namespace zt
