// The bytes of whole requests, sent through the post procedure so that what
// is declared and what is written are checked together.
#include <gtest/gtest.h>

#include "text/ansi.h"
#include "transfer/post_worker.h"
#include "transfer/request_format.h"
#include "transfer/upload_manifest.h"
#include "transfer_fakes.h"

namespace zt {
namespace {

using test::FakeExchange;
using test::FakeFiles;
using test::FakeFileSystem;

constexpr char16_t kBoundary[] = u"3f2b8c1e-5d4a-4e7b-9c0d-1a2b3c4d5e6f";
const std::string B = "3f2b8c1e-5d4a-4e7b-9c0d-1a2b3c4d5e6f";

struct Request {
  FakeFileSystem fileSystem;
  FakeFiles files;
  FakeExchange exchange;
  CZTTransMgr manager;
  std::vector<CZTFileItem> list;
  std::vector<CZTFileAttrInfo> attributes;

  Request() {
    manager.Files = &fileSystem;
    manager.Uuids = [] { return std::u16string(kBoundary); };
    manager.Host = u"server";
    manager.ObjectPath = u"/up";
    manager.Port = 80;
  }
  void AddLocal(std::u16string name, std::string content) {
    std::u16string path = u"C:\\d\\" + name;
    fileSystem.Add(path, name, static_cast<std::int64_t>(content.size()));
    files.Contents[path] = std::move(content);
    CZTFileItem item;
    item.Name = name;
    item.LocalPath = path;
    item.Size = static_cast<std::int64_t>(files.Contents[path].size());
    list.push_back(item);
  }
  std::string Send(bool withList = true) {
    if (withList) {
      EXPECT_TRUE(BuildUploadManifest(&list, nullptr, attributes, manager));
    }
    PostWorker(manager, exchange, files);
    EXPECT_EQ(exchange.Bodies.size(), 1u);
    EXPECT_EQ(exchange.Declared.size(), 1u);
    if (exchange.Bodies.empty() || exchange.Declared.empty()) return {};
    EXPECT_EQ(exchange.Declared[0], exchange.Bodies[0].size()) << "declared length differs from the bytes sent";
    return exchange.Bodies[0];
  }
};

std::string FilePart(const std::string& name) {
  return "--" + B + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

TEST(RequestFormat, WorkedExampleByteForByte) {
  Request r;
  r.manager.Utf8 = 1;
  r.manager.SetMessage(u"title", u"Hello");
  r.attributes.push_back({u"author"});
  r.AddLocal(u"a.txt", "abcde");
  r.list[0].SetAttribute(u"author", u"kim");

  std::string body = r.Send();
  const std::string expected =
      "--" + B + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nHello\r\n"
      "--" + B + "\r\nContent-Disposition: form-data; name=\"_ZTUInfo\"\r\n\r\n"
      "Type|FileName|Size|author|\r\nN|a.txt|5|kim|\r\n\r\n" +
      FilePart("a.txt") + "abcde\r\n--" + B + "--\r\n";
  EXPECT_EQ(body, expected);
  EXPECT_EQ(r.exchange.Declared[0], 427u);
  EXPECT_EQ(body.size(), 427u);
  EXPECT_EQ(r.exchange.HeaderBytes, "Content-Type: multipart/form-data; boundary=" + B +
                                        "\r\nAccept-Language: utf-8\r\nConnection: close\r\n");
  EXPECT_TRUE(r.exchange.HeaderText.empty());
  EXPECT_EQ(r.exchange.Verb, u"POST");
  EXPECT_EQ(r.exchange.Version, u"HTTP/1.0");
  EXPECT_EQ(r.exchange.Path, u"/up");
}

TEST(RequestFormat, MessagesOnlyEndWithTheDelimiterRightAfterTheLastValue) {
  Request r;
  r.manager.SetMessage(u"a", u"1");
  r.manager.SetMessage(u"b", u"");
  std::string body = r.Send(false);
  EXPECT_EQ(body, "--" + B + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + B +
                      "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n\r\n--" + B + "--\r\n");
  // ANSI posts hand the header block over as text for the platform to convert.
  EXPECT_TRUE(r.exchange.HeaderBytes.empty());
  EXPECT_EQ(r.exchange.HeaderText, u"Content-Type: multipart/form-data; boundary=" + std::u16string(kBoundary) +
                                       u"\r\nAccept-Language: ko\r\nConnection: close\r\n");
}

// A name cannot end its quotes, add a parameter, a header line or a part,
// nor a manifest field or row: quote, CR, LF, bar and 0 are escaped, the same
// way in the part headers and the manifest, so rows and parts still match
// by name. Every other character, "%" included, stays as it was.
TEST(RequestFormat, SecondFileStartsWithCrLfAndNamesCannotForgeHeadersOrParts) {
  Request r;
  r.AddLocal(u"one \"q\".bin", "12");
  r.AddLocal(u"two.bin", "");
  r.AddLocal(std::u16string(u"x\"; filename=\"evil\r\nContent-Type: text/html\r\n\r\n%|\0.bin", 54), "3");
  r.manager.SetMessage(u"f\"\r\n\r\nforged", u"value\r\nkept");
  std::string body = r.Send();
  std::string manifest =
      "Type|FileName|Size|\r\nN|one %22q%22.bin|2|\r\nN|two.bin|0|\r\n"
      "N|x%22; filename=%22evil%0D%0AContent-Type: text/html%0D%0A%0D%0A%%7C%00.bin|1|\r\n";
  EXPECT_EQ(body, "--" + B + "\r\nContent-Disposition: form-data; name=\"f%22%0D%0A%0D%0Aforged\"\r\n\r\n"
                      "value\r\nkept\r\n"
                      "--" + B + "\r\nContent-Disposition: form-data; name=\"_ZTUInfo\"\r\n\r\n" + manifest + "\r\n" +
                      FilePart("one %22q%22.bin") + "12\r\n" + FilePart("two.bin") + "\r\n" +
                      FilePart("x%22; filename=%22evil%0D%0AContent-Type: text/html%0D%0A%0D%0A%%7C%00.bin") + "3\r\n--" +
                      B + "--\r\n");
}

TEST(RequestFormat, KoreanNamesFollowTheChosenEncodingInBodyAndLength) {
  const std::u16string name = u"\uD55C\uAE00.txt";  // 한글.txt
  for (int utf8 : {1, 0}) {
    Request r;
    r.manager.Utf8 = static_cast<std::int16_t>(utf8);
    r.AddLocal(name, "x");
    std::string body = r.Send();
    std::string encoded = utf8 == 1 ? "\xED\x95\x9C\xEA\xB8\x80.txt" : ToAnsi(name);
    EXPECT_NE(body.find("N|" + encoded + "|1|"), std::string::npos) << utf8;
    EXPECT_NE(body.find(FilePart(encoded)), std::string::npos) << utf8;
  }
}

TEST(RequestFormat, NulInsideAFieldCutsOnlyThatText) {
  Request r;
  r.manager.SetMessage(u"n", std::u16string(u"ab\0cd", 5));
  r.manager.SetMessage(u"after", u"z");
  std::string body = r.Send(false);
  EXPECT_NE(body.find("\r\n\r\nab\r\n--" + B), std::string::npos);
  EXPECT_NE(body.find("name=\"after\"\r\n\r\nz\r\n"), std::string::npos);
}

TEST(RequestFormat, BoundariesAreFreshLowercaseUuids) {
  std::u16string a = MakeBoundary(), b = MakeBoundary();
  EXPECT_NE(a, b);
  ASSERT_EQ(a.size(), 36u);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(a[i], u'-');
    } else {
      EXPECT_TRUE((a[i] >= u'0' && a[i] <= u'9') || (a[i] >= u'a' && a[i] <= u'f')) << i;
    }
  }
  EXPECT_EQ(MakeBoundary([] { return std::u16string(u"given"); }), u"given");
}

}  // namespace
}  // namespace zt
