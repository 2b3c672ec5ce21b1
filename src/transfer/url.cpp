#include "transfer/url.h"

#include <limits>
#include <string>

#include "text/unicode.h"

namespace zt {

namespace {

// The port text's value when it is all decimal digits (the empty text is 0)
// and fits the port field; false otherwise.
bool PortValue(std::u16string_view text, std::int32_t* port) {
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
    if (value > std::numeric_limits<std::int32_t>::max()) return false;
  }
  *port = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

ParsedUrl ParseUrl(std::u16string_view url, std::int32_t currentPort) {
  ParsedUrl parsed;
  parsed.Port = currentPort;
  if (url.size() < 8) return parsed;

  std::size_t hostStart = 0;
  std::int32_t schemePort = 0;
  if (EqualsNoCase(url.substr(0, 8), u"HTTPS://")) {
    hostStart = 8;
    schemePort = 443;
  } else if (EqualsNoCase(url.substr(0, 7), u"HTTP://")) {
    hostStart = 7;
    schemePort = 80;
  }
  if (hostStart != 0) {
    std::size_t slash = url.find(u'/', hostStart);
    if (slash == std::u16string_view::npos) return parsed;
    // User information ("a:@b") or a backslash in the authority makes two
    // readers see two hosts: the platform may connect to one while a zone or
    // a person reads the other. Such a URL gives no destination at all.
    if (url.substr(hostStart, slash - hostStart).find_first_of(u"@\\") != std::u16string_view::npos) {
      parsed.MarkModified = true;
      return parsed;
    }
    parsed.Host = std::u16string(url.substr(hostStart, slash - hostStart));
    parsed.Path = std::u16string(url.substr(slash));
    parsed.Port = schemePort;
    parsed.Secure = schemePort == 443;
  }

  std::size_t colon = parsed.Host.find(u':');
  if (!parsed.Host.empty() && colon != std::u16string::npos) {
    std::u16string portText = parsed.Host.substr(colon + 1);
    parsed.Host.resize(colon);
    PortValue(portText, &parsed.Port);
  }
  parsed.MarkModified = true;
  return parsed;
}

std::u16string RequestPath(std::u16string_view path) {
  static const char16_t hex[] = u"0123456789ABCDEF";
  std::u16string escaped;
  for (char16_t c : path) {
    if (c < 0x20 || c == 0x7F) {
      escaped += u'%';
      escaped += hex[c >> 4];
      escaped += hex[c & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

bool UsableHost(std::u16string_view host) {
  for (char16_t c : host) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::u16string SavedUrl(std::u16string_view host, std::u16string_view path, std::int32_t port, bool secure) {
  if (host.empty()) return std::u16string(path);
  // The scheme is kept: a reloaded control must not fall back to plain HTTP.
  std::u16string url = secure ? u"https://" : u"http://";
  url += host;
  if (port != DefaultPort(secure) && port >= 0) url += u':' + Widen(std::to_string(port));
  url += path;
  return url;
}

std::optional<ServerAddress> CutServerUrl(std::u16string_view url, std::int32_t controlPort) {
  for (char16_t c : url)
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  // Port 0 stands for "not named": the scheme's port follows.
  const ParsedUrl parsed = ParseUrl(url, 0);
  if (parsed.Host.empty() || parsed.Path.empty()) return std::nullopt;
  ServerAddress address;
  address.Secure = EqualsNoCase(url.substr(0, 8), u"https://");
  address.Host = parsed.Host;
  address.Path = parsed.Path;
  // ParseUrl gives the scheme's port to a host that names none.
  const std::u16string_view hostPart = url.substr(address.Secure ? 8 : 7, parsed.Host.size() + 1);
  const bool urlNamesPort = hostPart.find(u':') != std::u16string_view::npos && parsed.Port != 0;
  // The scheme defaults only say "no port of its own": an https entry is not
  // sent to 80 because the page's own address was plain http.
  const bool controlNamesPort = controlPort != 0 && controlPort != 80 && controlPort != 443;
  address.Port = urlNamesPort       ? parsed.Port
                 : controlNamesPort ? controlPort
                                    : DefaultPort(address.Secure);
  if (address.Port < 1 || address.Port > 0xFFFF) return std::nullopt;
  return address;
}

std::u16string AddressText(const ServerAddress& address) {
  std::u16string text = address.Secure ? u"https://" : u"http://";
  text += address.Host;
  text += u':' + Widen(std::to_string(address.Port));
  text += address.Path;
  return text;
}

}  // namespace zt
