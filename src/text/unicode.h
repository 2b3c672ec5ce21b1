#pragma once
// Text inside the control is UTF-16 (std::u16string) on every platform, so
// lengths and ordering match Windows exactly.
#include <string>
#include <string_view>

namespace zt {

// Simple (one code unit to one code unit) upper-casing of the whole Basic
// Multilingual Plane, as the platform's ordinal case-insensitive comparison
// does it: only reversible pairs fold (not the micro sign, dotless i, long s
// or final sigma); surrogates keep their value.
char16_t UpperSimple(char16_t c);

// The one case-insensitive equality for names: entries, attributes, message
// fields, URL schemes.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// ASCII text as UTF-16, for literals built from narrow strings.
std::u16string Widen(std::string_view ascii);

}  // namespace zt
