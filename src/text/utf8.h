#pragma once
// UTF-8 conversion, portable, with the platform's behaviour for bad input:
// nothing is rejected, what cannot be converted becomes U+FFFD.
#include <string>
#include <string_view>

namespace zt {

class CZTUTFConverter {
public:
  // The UTF-8 bytes of text up to its first 0 character (the returned string
  // holds the bytes only; its size is the byte count).
  static std::string ToUtf8(std::u16string_view text);
  // The characters of bytes up to the first 0 byte.
  static std::u16string FromUtf8(std::string_view bytes);
};

inline std::string ToUtf8(std::u16string_view text) { return CZTUTFConverter::ToUtf8(text); }
inline std::u16string FromUtf8(std::string_view bytes) { return CZTUTFConverter::FromUtf8(bytes); }

}  // namespace zt
