#include <gtest/gtest.h>

#include "transfer/post_worker.h"
#include "transfer/resume_book.h"
#include "transfer/tus_protocol.h"
#include "transfer_fakes.h"
#include "tus_fake_server.h"

namespace zt {
namespace {

struct MemoryRecords : ResumeRecords {
  std::map<std::u16string, std::u16string> Kept;
  std::u16string Find(const ResumeKey& k) override { return Kept.count(k.Path) ? Kept[k.Path] : u""; }
  void Keep(const ResumeKey& k, std::u16string_view path) override { Kept[k.Path] = path; }
  void Forget(const ResumeKey& k) override { Kept.erase(k.Path); }
};

CZTFileItem Item(const std::u16string& name, std::size_t size) {
  CZTFileItem item;
  item.Name = name, item.LocalPath = u"C:/" + name, item.Size = std::int64_t(size);
  return item;
}

struct Resumable : ::testing::Test {
  std::shared_ptr<test::TusServerState> server = std::make_shared<test::TusServerState>();
  test::TusFakeServer exchange{server};
  test::FakeFiles files;
  std::shared_ptr<MemoryRecords> records = std::make_shared<MemoryRecords>();
  CZTTransMgr manager;
  test::CallbackLog log;

  Resumable() {
    manager.Host = u"host", manager.ObjectPath = u"/upload", manager.Port = 8080;
    manager.Uuids = [] { return std::u16string(u"B"); };
    manager.Resumable = {u"http://host:8080/tus/", 1, [](int n) { return 500u * n; }, 10, records};
    manager.SetMessage(u"_ZTUInfo", u"rows");
    manager.SetMessage(u"field", u"v");
    manager.SetMessage(u"_zturesumable", u"a page's own|x|");  // replaced by the post's
    log.Attach(manager);
  }
  void AddFile(const std::u16string& name, std::size_t size) {
    std::string& data = files.Contents[u"C:/" + name];
    for (std::size_t i = 0; i < size; ++i) data += char('a' + (i * 7 + name.size()) % 26);
    manager.SendFiles.push_back(Item(name, size));
  }
  std::uint32_t Run() { return PostWorker(manager, exchange, files); }
  const std::string& Stored(const char* id) { return server->Uploads[id].Data; }
};

TEST_F(Resumable, FilesGoByTusAndTheRequestNamesThemThroughCutsAndRestarts) {
  AddFile(u"a \"1\".bin", 95);
  AddFile(u"empty", 0);
  server->Cuts = {3, 7, 0, 9, 5};  // five cuts inside PATCHes of 10 bytes
  bool restarted = false;
  manager.OnProgress = [&](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent, std::uint64_t total) {
    if (sent >= 40 && !restarted) restarted = true, server->Refusals = 2;  // the server restarts
    EXPECT_EQ(total, 95u);
    log.Reports.push_back({0, 0, sent, total});
  };
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Stored("u1"), files.Contents[u"C:/a \"1\".bin"]);
  // What is sent again after a cut is at most what that cut interrupted.
  EXPECT_LE(server->PatchBytes, 95u + 5 * 10);
  EXPECT_EQ(exchange.Waits, (std::vector<std::uint32_t>{500, 500}));  // only cuts that delivered nothing wait
  for (std::size_t i = 1; i < log.Reports.size(); ++i) EXPECT_GE(log.Reports[i].Sent, log.Reports[i - 1].Sent);
  EXPECT_EQ(log.Reports.back().Sent, 95u);
  const std::string& body = server->FinalBody;
  const auto rows = body.find("name=\"_ZTUResumable\"\r\n\r\na %221%22.bin|u1|\r\nempty|u2|\r\n\r\n--B");
  ASSERT_NE(rows, std::string::npos) << body;
  EXPECT_LT(body.find("name=\"_ZTUInfo\""), rows);
  EXPECT_LT(rows, body.find("name=\"field\""));
  EXPECT_EQ(body.find("a page's own"), std::string::npos);
  EXPECT_NE(body.find("filename=\"a %221%22.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n\r\n--B"),
            std::string::npos);
  EXPECT_EQ(body.find("abc"), std::string::npos);  // no file byte in the request
  EXPECT_TRUE(records->Kept.empty());              // claimed: nothing left to resume
}

TEST_F(Resumable, AKeptUploadGoesOnFromTheServersOffsetAndAStaleOneStartsAgain) {
  AddFile(u"big", 50);
  AddFile(u"old", 5);
  server->Uploads["k7"] = {50, files.Contents[u"C:/big"].substr(0, 42)};
  records->Kept[u"C:/big"] = u"/tus/k7";
  records->Kept[u"C:/old"] = u"/tus/gone";
  manager.Resumable.Retries = 0;  // a stale record costs no try
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Stored("k7"), files.Contents[u"C:/big"]);
  EXPECT_EQ(server->PatchBytes, 8u + 5u);
  EXPECT_EQ(server->Requests[1], "HEAD /tus/k7");
  EXPECT_NE(server->FinalBody.find("big|k7|\r\nold|u1|\r\n"), std::string::npos);
}

TEST_F(Resumable, HostileAnswersEndThePostBeforeAByteGoesAstray) {
  AddFile(u"f", 30);
  manager.Resumable.Retries = 0;
  for (auto [location, offset] : std::vector<std::pair<std::string, std::string>>{
           {"http://evil:8080/tus/x", ""}, {"//evil/tus/x", ""}, {"http://host:8081/tus/x", ""},
           {"http://host:8080//tus/x", ""}, {"/tus/a.b", ""},
           {"", "1000"}, {"", "-1"}, {"", "5 "}, {"", "0"}}) {
    *server = {}, records->Kept.clear(), log = {}, log.Attach(manager);
    server->Location = location, server->Offset = offset;
    Run();
    ASSERT_EQ(log.Errors.size(), 1u) << location << offset;
    EXPECT_EQ(log.Errors[0].Code, u"E04010");
    EXPECT_EQ(server->PatchBytes, location.empty() ? 10u : 0u) << location << offset;  // one chunk at most
    EXPECT_TRUE(server->FinalBody.empty());
  }
  *server = {}, log = {}, log.Attach(manager);
  server->Created = 200;  // an answer of success, but no upload made
  EXPECT_NE(Run(), 0u);
  EXPECT_EQ(log.Errors.at(0).Code, u"E04010");
  EXPECT_TRUE(server->FinalBody.empty());
}

TEST_F(Resumable, FailuresBeyondTheTriesAndWithdrawalsEndWithTheirCodes) {
  AddFile(u"f", 30);
  server->Extensions = "checksum";
  Run();  // no creation offered: as a failed connection
  EXPECT_EQ(log.Errors.at(0).Code, u"E04003");
  EXPECT_EQ(server->Requests.size(), 1u);

  server->Extensions = "creation,termination";
  server->Cuts = {0, 0};  // nothing gets through twice: one try, not two
  log = {}, log.Attach(manager);
  Run();
  EXPECT_EQ(log.Errors.at(0).Code, u"E04008");
  EXPECT_EQ(records->Kept.size(), 1u);  // kept for the next post

  manager.OnProgress = [&](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent, std::uint64_t) {
    if (sent >= 20) exchange.IsCancelled = exchange.IsWithdrawn = true;  // the person cancels
  };
  Run();
  EXPECT_EQ(server->Requests.back(), "DELETE /tus/u1");
  EXPECT_EQ(server->Uploads.count("u1"), 0u);
  EXPECT_TRUE(records->Kept.empty());
}

TEST(TusProtocol, MetadataAndOffsets) {
  EXPECT_EQ(tus::UploadMetadata(u"\uD55C.txt", 5), "filename 7ZWcLnR4dA==,size NQ==");
  EXPECT_EQ(tus::ParseOffset("18446744073709551615"), std::nullopt);
  EXPECT_EQ(tus::ParseOffset("4294967296"), 4294967296ull);
  EXPECT_FALSE(tus::Lists("1.0.00, 0.2.2", "1.0.0"));
}

}  // namespace
}  // namespace zt

namespace zt {
namespace {

struct MapStore : RecordStore {
  std::map<std::u16string, std::u16string>& Values;
  explicit MapStore(std::map<std::u16string, std::u16string>& values) : Values(values) {}
  std::vector<std::pair<std::u16string, std::u16string>> All() override { return {Values.begin(), Values.end()}; }
  void Set(const std::u16string& n, const std::u16string& t) override { Values[n] = t; }
  void Remove(const std::u16string& n) override { Values.erase(n); }
};

TEST(ResumeBook, RecordsMatchTheWholeKeyExpireAndStayBounded) {
  std::map<std::u16string, std::u16string> values;
  std::uint64_t now = 1000;
  ResumeBook book(std::make_unique<MapStore>(values), [&] { return now; });
  const ResumeKey key{u"C:/a", 5, 77, u"http://h/tus/"};
  book.Keep(key, u"/tus/one");
  EXPECT_EQ(book.Find(key), u"/tus/one");
  EXPECT_EQ(book.Find({u"C:/a", 5, 78, key.Endpoint}), u"");  // the file changed since
  values.begin()->second = u"9x\t/tus/one\tjunk";  // damaged: gone at the next look
  EXPECT_EQ(book.Find(key), u"");
  EXPECT_TRUE(values.empty());
  book.Keep(key, u"/tus/one");
  now += ResumeBook::Lifetime;
  EXPECT_EQ(book.Find(key), u"");
  for (int i = 0; i < 150; ++i, ++now) book.Keep({u"C:/f" + std::u16string(1, char16_t(u'0' + i)), 1, 1, u"e"}, u"/p");
  EXPECT_EQ(values.size(), ResumeBook::MaxRecords);
  EXPECT_EQ(book.Find({u"C:/f" + std::u16string(1, char16_t(u'0' + 149)), 1, 1, u"e"}), u"/p");  // the newest stays
}

}  // namespace
}  // namespace zt
