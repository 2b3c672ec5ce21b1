#pragma once
// A small printf-style formatter over UTF-16 text, for the string table's
// texts and the literals of the control: %s, %d, %ld, %u, %I64u, %I64d, with
// flags, width and precision (%.2u, %.3d), and %%.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zt {

class FormatArg {
public:
  FormatArg(std::u16string_view s) : kind_(Kind::Text), text_(s) {}
  FormatArg(const std::u16string& s) : kind_(Kind::Text), text_(s) {}
  FormatArg(const char16_t* s) : kind_(Kind::Text), text_(s ? s : u"") {}
  FormatArg(int v) : kind_(Kind::Signed), signed_(v) {}
  FormatArg(long v) : kind_(Kind::Signed), signed_(v) {}
  FormatArg(long long v) : kind_(Kind::Signed), signed_(v) {}
  FormatArg(unsigned v) : kind_(Kind::Unsigned), unsigned_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::Unsigned), unsigned_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::Unsigned), unsigned_(v) {}

  enum class Kind { Text, Signed, Unsigned };
  Kind kind() const { return kind_; }
  std::u16string_view text() const { return text_; }
  // The integer as the conversion sees it: the caller's bits, reinterpreted
  // by the conversion's length (%d takes the low 32 bits, %I64u all 64).
  std::uint64_t bits() const { return kind_ == Kind::Signed ? static_cast<std::uint64_t>(signed_) : unsigned_; }

private:
  Kind kind_;
  std::u16string_view text_;
  std::int64_t signed_ = 0;
  std::uint64_t unsigned_ = 0;
};

// Formats fmt with args. A conversion with no argument left, or of the wrong
// kind, is written as its own text (never undefined behaviour).
std::u16string Format(std::u16string_view fmt, std::initializer_list<FormatArg> args = {});

// Format(LoadText(id), args).
std::u16string FormatText(unsigned id, std::initializer_list<FormatArg> args = {});

}  // namespace zt
