#include "safety/site_lock.h"

namespace zt {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) out += Lower(c);
  return out;
}

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

bool StartsNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// Letters, digits, "-" and "." (and one leading "*." in an entry): a name
// anything else would be read differently by a resolver or a browser.
bool HostName(std::u16string_view host) {
  if (host.empty() || host.front() == u'.' || host.back() == u'.') return false;
  for (char16_t c : host) {
    const bool ok = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
    if (!ok) return false;
  }
  return host.find(u"..") == std::u16string_view::npos;
}

bool Ipv6Literal(std::u16string_view host) {
  if (host.size() < 3 || host.front() != u'[' || host.back() != u']') return false;
  for (char16_t c : host.substr(1, host.size() - 2)) {
    const bool ok = (c >= u'a' && c <= u'f') || (c >= u'0' && c <= u'9') || c == u':' || c == u'.';
    if (!ok) return false;
  }
  return true;
}

// "host[:port]" of an origin, host lower-cased; false when it cannot be read.
bool HostAndPort(std::u16string_view authority, std::int32_t defaultPort, bool wildcardAllowed, PageOrigin* origin) {
  std::size_t colon = std::u16string_view::npos;
  const std::size_t close = authority.rfind(u']');
  const std::size_t last = authority.rfind(u':');
  if (last != std::u16string_view::npos && (close == std::u16string_view::npos || last > close)) colon = last;
  std::u16string host = LowerAscii(authority.substr(0, colon));
  origin->Port = defaultPort;
  if (colon != std::u16string_view::npos) {
    std::u16string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    std::int32_t port = 0;
    for (char16_t c : digits) {
      if (c < u'0' || c > u'9') return false;
      port = port * 10 + (c - u'0');
    }
    if (port < 1 || port > 65535) return false;
    origin->Port = port;
  }
  std::u16string_view name = host;
  if (wildcardAllowed && StartsNoCase(name, u"*.")) name.remove_prefix(2);
  if (!HostName(name) && !Ipv6Literal(name)) return false;
  origin->Host = std::move(host);
  return true;
}

// "scheme://authority..." of a web URL or entry.
bool WebOrigin(std::u16string_view url, bool entry, PageOrigin* origin) {
  std::size_t start;
  if (StartsNoCase(url, u"https://")) {
    origin->Scheme = u"https";
    start = 8;
  } else if (StartsNoCase(url, u"http://")) {
    origin->Scheme = u"http";
    start = 7;
  } else {
    return false;
  }
  std::u16string_view rest = url.substr(start);
  const std::size_t end = rest.find_first_of(entry ? u"/" : u"/?#");
  std::u16string_view authority = rest.substr(0, end);
  // An entry is an origin and nothing else.
  if (entry && end != std::u16string_view::npos && end + 1 != rest.size()) return false;
  // User information or a backslash lets two readers take two hosts from one
  // text: the lock reads neither.
  if (authority.find_first_of(u"@\\") != std::u16string_view::npos) return false;
  if (!HostAndPort(authority, origin->Scheme == u"https" ? 443 : 80, entry, origin)) return false;
  origin->Type = PageOrigin::Kind::Web;
  return true;
}

// "file:" URLs of a local drive: "file:///C:/...", "file://localhost/C:/...",
// "file:C:\..."; never a host, a share ("file://server/...", "file:////server")
// or an encoded path, which Windows would fetch from another machine.
bool LocalDriveFile(std::u16string_view url) {
  std::u16string_view rest = url.substr(5);
  if (rest.substr(0, 2) == u"//") {
    rest.remove_prefix(2);
    const std::size_t end = rest.find_first_of(u"/\\");
    if (end == std::u16string_view::npos) return false;
    const std::u16string_view host = rest.substr(0, end);
    if (!host.empty() && LowerAscii(host) != u"localhost") return false;
    rest.remove_prefix(end + 1);
  } else if (!rest.empty() && (rest.front() == u'/' || rest.front() == u'\\')) {
    rest.remove_prefix(1);
  }
  if (rest.size() < 2) return false;
  const char16_t drive = Lower(rest[0]);
  if (drive < u'a' || drive > u'z' || (rest[1] != u':' && rest[1] != u'|')) return false;
  return rest.size() == 2 || rest[2] == u'/' || rest[2] == u'\\';
}

}  // namespace

PageOrigin OriginOf(std::u16string_view url) {
  PageOrigin origin;
  url = Trimmed(url);
  if (url.empty()) {
    origin.Type = PageOrigin::Kind::NoPage;
  } else if (StartsNoCase(url, u"file:")) {
    if (LocalDriveFile(url)) origin.Type = PageOrigin::Kind::File;
  } else if (!WebOrigin(url, false, &origin)) {
    origin = PageOrigin();
  }
  return origin;
}

bool EntryAllows(std::u16string_view entry, std::u16string_view url) {
  entry = Trimmed(entry);
  const PageOrigin page = OriginOf(url);
  if (LowerAscii(entry) == u"file:") return page.Type == PageOrigin::Kind::File;
  if (LowerAscii(entry) == u"nopage:") return page.Type == PageOrigin::Kind::NoPage;
  if (page.Type != PageOrigin::Kind::Web) return false;
  PageOrigin allowed;
  if (!WebOrigin(entry, true, &allowed)) return false;
  if (allowed.Scheme != page.Scheme || allowed.Port != page.Port) return false;
  if (allowed.Host.compare(0, 2, u"*.") == 0) {
    const std::u16string suffix = allowed.Host.substr(1);  // ".example.com"
    return page.Host.size() > suffix.size() &&
           page.Host.compare(page.Host.size() - suffix.size(), suffix.size(), suffix) == 0;
  }
  return allowed.Host == page.Host;
}

std::vector<std::u16string> CabinetEntries(std::u16string_view argument) {
  constexpr std::u16string_view kPrefix = u"sites=";
  if (argument.substr(0, kPrefix.size()) != kPrefix) return {};
  argument.remove_prefix(kPrefix.size());
  std::vector<std::u16string> entries;
  while (!argument.empty()) {
    const std::size_t end = argument.find(u';');
    const std::u16string_view entry = Trimmed(argument.substr(0, end));
    PageOrigin origin;
    // One entry the lock could not read, or a page-less one, spoils the lot:
    // a cabinet that was made wrong writes nothing rather than half a list.
    if (!WebOrigin(entry, true, &origin)) return {};
    entries.emplace_back(entry);
    if (end == std::u16string_view::npos) break;
    argument.remove_prefix(end + 1);
  }
  return entries;
}

bool SiteAllowed(bool listed, const std::vector<std::u16string>& entries, std::u16string_view url) {
  if (!listed) return true;
  for (const std::u16string& entry : entries) {
    if (EntryAllows(entry, url)) return true;
  }
  return false;
}

}  // namespace zt
