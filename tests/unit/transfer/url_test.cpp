#include "transfer/url.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

struct UrlCase {
  const char16_t* url;
  std::int32_t portBefore;
  const char16_t* host;
  const char16_t* path;
  std::int32_t port;
  bool modified;
};

TEST(ParseUrl, SchemesHostsPortsAndPaths) {
  const UrlCase cases[] = {
      // Capital scheme, explicit port, query kept in the path, case kept.
      {u"HTTP://Server:8080/Up/Recv.asp?x=1#f", 5, u"Server", u"/Up/Recv.asp?x=1#f", 8080, true},
      {u"https://host/a/b", 5, u"host", u"/a/b", 443, true},
      {u"hTtPs://h:8443/", 5, u"h", u"/", 8443, true},
      {u"http://host/", 5, u"host", u"/", 80, true},
      // A bare colon is port 0 (posted to 80); a non-numeric port keeps the scheme's.
      {u"http://host:/x", 5, u"host", u"/x", 0, true},
      {u"http://host:8a/x", 5, u"host", u"/x", 80, true},
      // A port that does not fit keeps the scheme's rather than wrapping.
      {u"http://host:99999999999/x", 5, u"host", u"/x", 80, true},
      // No "/" after the host: nothing usable, port kept, not modified.
      {u"http://hostonly", 5, u"", u"", 5, false},
      {u"https://hostonly", 5, u"", u"", 5, false},
      // Too short to hold a scheme and a host.
      {u"http://", 5, u"", u"", 5, false},
      {u"", 7, u"", u"", 7, false},
      // Another scheme: emptied, port kept, but still marked modified.
      {u"ftp://host/x", 21, u"", u"", 21, true},
      {u"/just/a/path", 21, u"", u"", 21, true},
      // The slash search starts after the scheme, so an empty host is possible.
      {u"http:///path", 5, u"", u"/path", 80, true},
  };
  for (const UrlCase& c : cases) {
    ParsedUrl parsed = ParseUrl(c.url, c.portBefore);
    const std::u16string wide(c.url);
    const std::string name(wide.begin(), wide.end());
    EXPECT_EQ(parsed.Host, c.host) << name;
    EXPECT_EQ(parsed.Path, c.path) << name;
    EXPECT_EQ(parsed.Port, c.port) << name;
    EXPECT_EQ(parsed.MarkModified, c.modified) << name;
  }
}

}  // namespace
}  // namespace zt
