#pragma once
// Cutting the control's URL property into host, path and port, and putting
// them together again for the control's saved state.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zt {

struct ParsedUrl {
  std::u16string Host;  // empty when the URL gave none the post can use
  std::u16string Path;  // from the first "/" after the host, query and fragment included
  std::int32_t Port = 0;
  bool Secure = false;        // the URL named the secure scheme: posts go over TLS
  bool MarkModified = false;  // whether the control should be marked modified
};

// The port a post uses when the control's Port is 0.
inline std::int32_t DefaultPort(bool secure) { return secure ? 443 : 80; }

// Parses url given the control's current port. "http://" sets port 80 and
// "https://" 443 and Secure (schemes ignore case; nothing else does); an
// explicit "host:digits" port wins over both; other schemes empty host and path.
// A URL too short or without a "/" after its host empties host and path,
// keeps the port and does not mark the control modified. An authority that
// holds "@" (user information) or "\\" empties host and path and keeps the
// port, as another scheme does.
ParsedUrl ParseUrl(std::u16string_view url, std::int32_t currentPort);

// The path as the request line carries it: control characters (CR and LF
// among them) become %XX, so a page's URL cannot end the request line and
// add header lines. Everything else goes to the platform as it was given.
std::u16string RequestPath(std::u16string_view path);

// Whether host holds no control character or space, which the platform would
// otherwise copy into the Host header (an empty host is the platform's to refuse).
bool UsableHost(std::u16string_view host);

// The text the URL property is saved as. With a host, the whole address
// "http[s]://host[:port]/path" (the port written unless it is the scheme's
// own or negative), which ParseUrl cuts back into the same host, path, port
// and scheme; without one, the bare path, as saves have always held it.
std::u16string SavedUrl(std::u16string_view host, std::u16string_view path, std::int32_t port, bool secure);

// Where a server file is fetched from.
struct ServerAddress {
  bool Secure = false;  // the https scheme
  std::u16string Host;
  std::int32_t Port = 0;
  std::u16string Path;  // from the first "/" after the host
};

// Cuts a server entry's path "http[s]://host[:port]/path" for its download:
// the scheme ignores case, host and path keep theirs. The port is the one
// the URL names; else controlPort (the control's Port) unless that is 0, 80
// or 443; else the scheme's (80, 443). One port, never a second one after
// the URL's own.
// std::nullopt for another scheme, no host, no "/" after the host, "@" or
// "\\" before that "/", a port
// outside 1..65535, or a control character anywhere (it could end the
// request line).
std::optional<ServerAddress> CutServerUrl(std::u16string_view url, std::int32_t controlPort);

// The address a fetch opens: "http://host:port/path" or "https://...".
std::u16string AddressText(const ServerAddress& address);

}  // namespace zt
