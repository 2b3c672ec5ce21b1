// Page URLs come from whatever a container reports and allow-list entries
// from the registry. The lock must never crash, and an entry may admit a
// page only when that page has the entry's own origin.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "safety/site_lock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
  const std::size_t cut = text.find(u'\n');
  const std::u16string entry = text.substr(0, cut);
  const std::u16string url = cut == std::u16string::npos ? std::u16string() : text.substr(cut + 1);

  const zt::PageOrigin page = zt::OriginOf(url);
  if (page.Type == zt::PageOrigin::Kind::Web) {
    if (page.Scheme != u"http" && page.Scheme != u"https") std::abort();
    if (page.Port < 1 || page.Port > 65535 || page.Host.empty()) std::abort();
    for (char16_t c : page.Host) {
      if (c >= u'A' && c <= u'Z') std::abort();  // compared lower-cased
      if (c == u'@' || c == u'/' || c == u'\\' || c == u'*' || c <= u' ') std::abort();
    }
  }
  if (zt::EntryAllows(entry, url) && page.Type == zt::PageOrigin::Kind::Unusable) std::abort();
  // The page's own origin, written as an entry, admits it; on another port it does not.
  if (page.Type == zt::PageOrigin::Kind::Web) {
    const std::string port = std::to_string(page.Port), other = std::to_string(page.Port % 65535 + 1);
    const std::u16string origin = page.Scheme + u"://" + page.Host + u":";
    if (!zt::EntryAllows(origin + std::u16string(port.begin(), port.end()), url)) std::abort();
    if (zt::EntryAllows(origin + std::u16string(other.begin(), other.end()), url)) std::abort();
  }
  // Without a list every page may; an empty list admits nothing.
  if (!zt::SiteAllowed(false, {}, url)) std::abort();
  if (zt::SiteAllowed(true, {}, url)) std::abort();
  return 0;
}
