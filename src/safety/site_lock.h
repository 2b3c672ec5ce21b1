#pragma once
// The site lock: which pages may initialise and script the control. An
// administrator lists the origins allowed; a page whose origin no entry
// matches gets no safety from the control, so a browser neither loads its
// parameters nor lets its script call it.
//
// An entry is "scheme://host[:port]" (http or https; the port defaults to
// the scheme's), where the host may start with "*." to stand for every name
// below it (not the name itself). Two entries stand for pages without an
// origin: "file:" for pages loaded from this machine's drives, "nopage:" for containers
// that name no page at all. Entries ignore case and surrounding spaces; an
// entry that cannot be read allows nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zt {

// Where a page comes from, as far as the lock compares it.
struct PageOrigin {
  enum class Kind { Web, File, NoPage, Unusable };
  Kind Type = Kind::Unusable;
  std::u16string Scheme;  // "http" or "https", lower case
  std::u16string Host;    // lower case ASCII; an IPv6 address keeps its brackets
  std::int32_t Port = 0;  // the explicit port, else the scheme's
};

// The origin of a page's URL; an empty URL is NoPage, a file: URL File. A
// URL the lock cannot read with certainty (another scheme, a host with
// characters no server name has, a port out of range) is Unusable, which no
// entry matches; so is a web URL whose authority holds user information
// ("@") or a "\", which readers disagree on, and a file: URL of anything but
// a local drive ("file:///C:/..."; a server's share or a WebDAV folder is
// another machine's page).
PageOrigin OriginOf(std::u16string_view url);

// Whether one allow-list entry admits the page at url.
bool EntryAllows(std::u16string_view entry, std::u16string_view url);

// The entries a cabinet may add to a machine without a list, from its
// "sites=entry;entry..." argument: web origins only ("file:" and "nopage:"
// would admit every local page or every container), each trimmed; empty
// when the text is not of that form or holds anything else.
std::vector<std::u16string> CabinetEntries(std::u16string_view argument);

// Whether a page at url may drive the control under the entries listed.
// listed is false when no allow-list exists: every page may, as before.
bool SiteAllowed(bool listed, const std::vector<std::u16string>& entries, std::u16string_view url);

}  // namespace zt
