#include "safety/site_lock.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// Each entry against pages it must admit and pages that only look alike.
TEST(SiteLock, EntriesAdmitTheirOriginAndNothingThatLooksLikeIt) {
  struct Case {
    const char16_t* entry;
    std::vector<const char16_t*> allowed;
    std::vector<const char16_t*> refused;
  };
  const Case cases[] = {
      {u"https://Upload.Example.com",
       {u"https://upload.example.com/page.html", u"HTTPS://UPLOAD.EXAMPLE.COM:443/x?y#z"},
       {u"https://user:pw@upload.example.com/", u"https://upload.example.com\\x/", u"http://upload.example.com/", u"https://upload.example.com:8443/", u"https://a.upload.example.com/",
        u"https://upload.example.com.evil.net/", u"https://upload.example.com@evil.net/",
        u"https://evil.net\\@upload.example.com/", u"https://evil.net/upload.example.com",
        u"https://upload.example.com./", u"https://upload%2eexample.com/"}},
      {u"  http://intranet:8080/ ",
       {u"http://INTRANET:8080/app", u"http://intranet:8080"},
       {u"http://intranet/", u"http://intranet:80/", u"http://intranet:08080x/", u"https://intranet:8080/"}},
      {u"https://*.example.com",
       {u"https://a.example.com/", u"https://deep.a.example.com/x"},
       {u"https://example.com/", u"https://aexample.com/", u"https://a.example.com:444/",
        u"https://a.example.com.evil.net/"}},
      {u"http://[::1]:81", {u"http://[::1]:81/"}, {u"http://[::1]/", u"http://127.0.0.1:81/"}},
      // Pages from this machine's drives only, never another machine's share.
      {u"file:", {u"file:///C:/pages/a.html", u"FILE://localhost/c|/a.htm", u"file:D:\\a.htm"},
       {u"", u"http://file/", u"FILE://server/share/a.htm", u"file:////server/s/a.htm", u"file:///\\\\server\\s\\a.htm",
        u"file://evil@SSL/DavWWWRoot/a.htm", u"file:///%5C%5Cserver/a.htm", u"file:///C", u"file:///1:/a.htm"}},
      {u"nopage:", {u"", u"   "}, {u"file:///C:/a.html", u"about:blank"}},
      // Entries that cannot be read allow nothing, whatever they resemble.
      {u"example.com", {}, {u"http://example.com/", u"https://example.com/"}},
      {u"https://example.com/path", {}, {u"https://example.com/path"}},
      {u"https://*", {}, {u"https://a/"}},
      {u"https://a*.example.com", {}, {u"https://ab.example.com/"}},
      {u"https://user@example.com", {}, {u"https://example.com/"}},
      {u"https://example.com:0", {}, {u"https://example.com:0/"}},
      {u"ftp://example.com", {}, {u"ftp://example.com/"}},
      {u"", {}, {u"", u"https://example.com/"}},
  };
  for (const Case& c : cases) {
    for (const char16_t* page : c.allowed) EXPECT_TRUE(EntryAllows(c.entry, page)) << Narrow(c.entry) << " " << Narrow(page);
    for (const char16_t* page : c.refused) EXPECT_FALSE(EntryAllows(c.entry, page)) << Narrow(c.entry) << " " << Narrow(page);
  }
}

TEST(SiteLock, WithoutAListEveryPageMayWithAListOnlyThoseItNames) {
  EXPECT_TRUE(SiteAllowed(false, {}, u"https://anywhere.example/"));
  EXPECT_TRUE(SiteAllowed(false, {}, u""));
  // An empty list exists: it allows nothing, not everything.
  EXPECT_FALSE(SiteAllowed(true, {}, u"https://anywhere.example/"));
  const std::vector<std::u16string> list = {u"garbage", u"https://a.example", u"http://b.example:8080"};
  EXPECT_TRUE(SiteAllowed(true, list, u"https://a.example/x"));
  EXPECT_TRUE(SiteAllowed(true, list, u"http://b.example:8080/x"));
  EXPECT_FALSE(SiteAllowed(true, list, u"http://a.example/x"));
  EXPECT_FALSE(SiteAllowed(true, list, u""));
  EXPECT_FALSE(SiteAllowed(true, list, u"file:///c:/a.html"));

  const PageOrigin origin = OriginOf(u"HTTPS://Host.Example:8443/p");
  EXPECT_EQ(origin.Type, PageOrigin::Kind::Web);
  EXPECT_EQ(origin.Host, u"host.example");
  EXPECT_EQ(origin.Port, 8443);
  EXPECT_EQ(OriginOf(u"javascript:alert(1)").Type, PageOrigin::Kind::Unusable);
  EXPECT_EQ(OriginOf(u"http://127.0.0.1:@intranet/p").Type, PageOrigin::Kind::Unusable);
  EXPECT_EQ(OriginOf(u"http://host:65536/").Type, PageOrigin::Kind::Unusable);
}

// A cabinet brings web origins only, and all of them or nothing.
TEST(SiteLock, ACabinetBringsWebOriginsOrNothing) {
  EXPECT_EQ(CabinetEntries(u"sites=https://a.example; http://*.b.example:8080"),
            (std::vector<std::u16string>{u"https://a.example", u"http://*.b.example:8080"}));
  for (const char16_t* argument : {u"sites=https://a.example;file:", u"sites=nopage:", u"sites=https://a.example;x",
                                   u"https://a.example", u"sites=https://u@a.example", u"sites="})
    EXPECT_TRUE(CabinetEntries(argument).empty()) << Narrow(argument);
}

}  // namespace
}  // namespace zt
