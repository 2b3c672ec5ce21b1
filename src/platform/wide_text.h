#pragma once
// The one bridge between the core's UTF-16 text and the platform's wchar_t
// text. On Windows both are 16-bit code units, so the bridge is a reinterpret
// and never a conversion.
#include <cwchar>
#include <string>
#include <string_view>

namespace zt {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on this platform");

inline const wchar_t* AsWide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline const wchar_t* AsWideData(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

// count code units from text; a null text is empty.
inline std::u16string FromWide(const wchar_t* text, std::size_t count) {
  if (!text) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), count);
}

inline std::u16string FromWide(const wchar_t* text) {
  return text ? FromWide(text, std::wcslen(text)) : std::u16string();
}

}  // namespace zt
