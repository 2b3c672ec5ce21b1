#include "text/ansi.h"

#include <windows.h>

#include <climits>

// The narrow texts of a post go through the thread's ANSI code page. A
// character the code page lacks becomes its default character, never a
// "best fit": best fit turns look-alikes (U+FF02, U+FF5C, U+00A6, U+20A9)
// back into the quote, bar and backslash that names were escaped for, after
// the escaping. Code pages that take no flags (UTF-8, the ISO-2022 family)
// have no best fit and convert as before. Both directions stop at the first
// 0, like the UTF-8 pair.
namespace zt {

namespace {

int Convert(DWORD flags, const wchar_t* src, int srcLen, char* out, int size) {
  return WideCharToMultiByte(CP_THREAD_ACP, flags, src, srcLen, out, size, nullptr, nullptr);
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data());
  const int src_len = static_cast<int>(text.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int size = Convert(flags, src, src_len, nullptr, 0);
  if (size <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    size = Convert(flags, src, src_len, nullptr, 0);
  }
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = Convert(flags, src, src_len, &out[0], size);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::u16string FromAnsi(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int src_len = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), src_len, nullptr, 0);
  if (size <= 0) return {};
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  const int written =
      MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), src_len, reinterpret_cast<wchar_t*>(&out[0]), size);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

}  // namespace zt
