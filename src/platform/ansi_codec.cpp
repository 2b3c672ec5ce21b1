#include "text/ansi.h"

#include <windows.h>

#include <climits>

// The narrow texts of a post go through the thread's ANSI code page with the
// platform's own defaults: what the code page lacks becomes its default
// character (best-fit where the code page defines one), nothing is rejected.
// Both directions stop at the first 0, like the UTF-8 pair.
namespace zt {

std::string ToAnsi(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data());
  const int src_len = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, src, src_len, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(CP_THREAD_ACP, 0, src, src_len, &out[0], size, nullptr, nullptr);
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
