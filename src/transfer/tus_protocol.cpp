#include "transfer/tus_protocol.h"

#include "text/unicode.h"
#include "text/utf8.h"

namespace zt::tus {

std::string Base64(std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) | std::uint8_t(bytes[i + 2]);
    out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
  }
  if (i + 1 == bytes.size()) {
    const unsigned v = std::uint8_t(bytes[i]) << 16;
    out += {digits[v >> 18], digits[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    const unsigned v = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8);
    out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], '='};
  }
  return out;
}

std::string UploadMetadata(std::u16string_view name, std::uint64_t size) {
  return "filename " + Base64(ToUtf8(name)) + ",size " + Base64(std::to_string(size));
}

std::optional<std::uint64_t> ParseOffset(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + std::uint64_t(c - '0');
  }
  return value;
}

bool Lists(std::string_view header, std::string_view item) {
  while (!header.empty()) {
    const std::size_t comma = header.find(',');
    std::string_view one = header.substr(0, comma);
    while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
    while (!one.empty() && one.back() == ' ') one.remove_suffix(1);
    if (one == item) return true;
    if (comma == std::string_view::npos) break;
    header.remove_prefix(comma + 1);
  }
  return false;
}

std::optional<Endpoint> ParseEndpoint(std::u16string_view url) {
  std::optional<ServerAddress> cut = CutServerUrl(url, 0);
  if (!cut) return std::nullopt;
  return Endpoint{cut->Host, cut->Port, cut->Secure, cut->Path};
}

bool ValidUploadId(std::u16string_view text) {
  if (text.empty() || text.size() > 128) return false;
  for (char16_t c : text) {
    const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' ||
                    c == u'-';
    if (!ok) return false;
  }
  return true;
}

std::u16string UploadId(std::u16string_view uploadPath) {
  const std::size_t slash = uploadPath.rfind(u'/');
  return std::u16string(slash == std::u16string_view::npos ? uploadPath : uploadPath.substr(slash + 1));
}

std::optional<std::u16string> UploadPath(const Endpoint& endpoint, std::string_view location) {
  for (char c : location) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return std::nullopt;
  }
  const std::u16string text = FromUtf8(location);
  std::u16string path;
  if (text.size() >= 2 && text[0] == u'/' && text[1] != u'/') {
    path = text;
  } else {
    std::optional<ServerAddress> cut = CutServerUrl(text, 0);
    if (!cut || cut->Secure != endpoint.Secure || cut->Port != endpoint.Port || !EqualsNoCase(cut->Host, endpoint.Host))
      return std::nullopt;
    path = cut->Path;
  }
  // A query or fragment has no place in an upload's URL, nor does a path
  // that reads as another host's ("//host/..."): refused rather than guessed at.
  if (path.find_first_of(u"?#\\") != std::u16string::npos || path.compare(0, 2, u"//") == 0) return std::nullopt;
  if (!ValidUploadId(UploadId(path))) return std::nullopt;
  return path;
}

}  // namespace zt::tus
