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
  bool secure = false;
};

TEST(ParseUrl, SchemesHostsPortsAndPaths) {
  const UrlCase cases[] = {
      // Capital scheme, explicit port, query kept in the path, case kept.
      {u"HTTP://Server:8080/Up/Recv.asp?x=1#f", 5, u"Server", u"/Up/Recv.asp?x=1#f", 8080, true},
      {u"https://host/a/b", 5, u"host", u"/a/b", 443, true, true},
      {u"hTtPs://h:8443/", 5, u"h", u"/", 8443, true, true},
      // A port of 443 does not make a plain URL secure.
      {u"http://h:443/", 5, u"h", u"/", 443, true, false},
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
      // User information or a backslash in the authority: no destination.
      {u"http://127.0.0.1:@intranet.example/up", 5, u"", u"", 5, true},
      {u"http://a\\@b/up", 5, u"", u"", 5, true},
  };
  for (const UrlCase& c : cases) {
    ParsedUrl parsed = ParseUrl(c.url, c.portBefore);
    const std::u16string wide(c.url);
    const std::string name(wide.begin(), wide.end());
    EXPECT_EQ(parsed.Host, c.host) << name;
    EXPECT_EQ(parsed.Path, c.path) << name;
    EXPECT_EQ(parsed.Port, c.port) << name;
    EXPECT_EQ(parsed.MarkModified, c.modified) << name;
    EXPECT_EQ(parsed.Secure, c.secure) << name;
  }
}

// What a save writes, ParseUrl (as a load applies it) cuts back into the same
// host, path and port; without a host the path alone is saved, as before.
TEST(SavedUrl, CutsBackIntoTheSameAddress) {
  struct Address {
    const char16_t* host;
    const char16_t* path;
    std::int32_t port;
    bool secure;
    const char16_t* saved;
  };
  const Address addresses[] = {
      {u"Server", u"/Up/Recv.asp?x=1#f", 8080, false, u"http://Server:8080/Up/Recv.asp?x=1#f"},
      {u"127.0.0.1", u"/", 80, false, u"http://127.0.0.1/"},
      {u"host", u"/a/b", 443, false, u"http://host:443/a/b"},
      {u"host", u"/x", 0, false, u"http://host:0/x"},
      {u"\uD55C.example", u"/\uAE00", 65535, false, u"http://\uD55C.example:65535/\uAE00"},
      // The secure scheme survives a save, with its own default port left out.
      {u"host", u"/a/b", 443, true, u"https://host/a/b"},
      {u"host", u"/a/b", 80, true, u"https://host:80/a/b"},
      {u"host", u"/s", 8443, true, u"https://host:8443/s"},
  };
  for (const Address& a : addresses) {
    const std::u16string saved = SavedUrl(a.host, a.path, a.port, a.secure);
    EXPECT_EQ(saved, a.saved);
    const ParsedUrl parsed = ParseUrl(saved, 7);
    EXPECT_EQ(parsed.Host, a.host);
    EXPECT_EQ(parsed.Path, a.path);
    EXPECT_EQ(parsed.Port, a.port);
    EXPECT_EQ(parsed.Secure, a.secure);
  }
  // A port no URL can carry stays out of the text (the saved Port keeps it).
  EXPECT_EQ(SavedUrl(u"h", u"/x", -1, false), u"http://h/x");
  EXPECT_EQ(SavedUrl(u"", u"/only/path", 8080, true), u"/only/path");
  EXPECT_EQ(SavedUrl(u"", u"", 80, false), u"");
}

// A server entry's path as its download reads it: one port, whichever wins.
TEST(CutServerUrl, OnePortTheURLsTheControlsOrTheSchemes) {
  struct Case {
    const char16_t* url;
    std::int32_t controlPort;
    const char16_t* address;  // empty: the URL cannot be fetched
  };
  const Case cases[] = {
      {u"http://files.example/a/Report.pdf", 0, u"http://files.example:80/a/Report.pdf"},
      {u"HTTPS://Files.Example/A.pdf", 0, u"https://Files.Example:443/A.pdf"},
      // A port in the URL wins, whatever the control's Port (80 for a new
      // control), and is not followed by a second one...
      {u"http://host:8080/a.pdf", 0, u"http://host:8080/a.pdf"},
      {u"http://host:8080/a.pdf", 80, u"http://host:8080/a.pdf"},
      {u"https://host:8443/a.pdf", 9090, u"https://host:8443/a.pdf"},
      // ...else the control's Port, whatever the scheme...
      {u"https://host/a.pdf", 8080, u"https://host:8080/a.pdf"},
      {u"http://host/a.pdf", 8080, u"http://host:8080/a.pdf"},
      // ...except a scheme's default, which sends no entry to the other
      // scheme's port.
      {u"https://host/a.pdf", 80, u"https://host:443/a.pdf"},
      {u"http://host/a.pdf", 443, u"http://host:80/a.pdf"},
      {u"http://host:/a", 0, u"http://host:80/a"},
      {u"http://host/q?x=1&y=%20#f", 0, u"http://host:80/q?x=1&y=%20#f"},
      // Nothing a fetch can use.
      {u"http://hostonly", 0, u""},
      {u"http://:8080/a", 0, u""},
      {u"ftp://host/a", 0, u""},
      {u"\\\\server\\share\\a.pdf", 0, u""},
      {u"http://host:70000/a", 0, u""},
      {u"http://host/a", -1, u""},
      {u"http://host/a", 65536, u""},
      {u"http://host/a\r\nHost: evil", 0, u""},
      {u"http://ho\tst/a", 0, u""},
      // Two hosts in one text: user information, or a backslash, before the
      // path's "/" (the platform and a zone lookup would each read another).
      {u"http://127.0.0.1:@intranet.example/files/budget.docm", 0, u""},
      {u"https://evil:@trusted.example/a", 0, u""},
      {u"http://evil.example\\@trusted.example/a", 0, u""},
      {u"http://trusted.example\\evil.example/a", 0, u""},
      {u"http://host/a@b\\c", 0, u"http://host:80/a@b\\c"},
  };
  for (const Case& c : cases) {
    const std::optional<ServerAddress> address = CutServerUrl(c.url, c.controlPort);
    const std::u16string wide(c.url);
    SCOPED_TRACE(std::string(wide.begin(), wide.end()));
    EXPECT_EQ(address ? AddressText(*address) : u"", c.address);
  }
  const std::optional<ServerAddress> secure = CutServerUrl(u"hTTps://h:444/p", 0);
  ASSERT_TRUE(secure);
  EXPECT_TRUE(secure->Secure);
  EXPECT_EQ(secure->Host, u"h");
  EXPECT_EQ(secure->Port, 444);
  EXPECT_EQ(secure->Path, u"/p");
  EXPECT_FALSE(CutServerUrl(u"http://h/p", 0)->Secure);
}

}  // namespace
}  // namespace zt
