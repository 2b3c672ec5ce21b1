#include "transfer/post_worker.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <system_error>

#include "text/ansi.h"
#include "transfer_fakes.h"

namespace zt {
namespace {

using test::CallbackLog;
using test::FakeExchange;
using test::FakeFiles;

CZTFileItem SendRecord(std::u16string path, std::int64_t size) {
  CZTFileItem item;
  item.Name = path;
  item.LocalPath = std::move(path);
  item.Size = size;
  return item;
}

struct Post : ::testing::Test {
  FakeExchange exchange;
  FakeFiles files;
  CZTTransMgr manager;
  CallbackLog log;

  Post() {
    manager.Host = u"host";
    manager.ObjectPath = u"/p";
    manager.Port = 8080;
    manager.Uuids = [] { return std::u16string(u"b"); };
    manager.SetMessage(u"m", u"v");
    log.Attach(manager);
  }
  // A file of size bytes filled with one letter per file.
  void AddFile(const std::u16string& path, std::size_t size, std::int64_t listedSize = -1) {
    files.Contents[path] = std::string(size, static_cast<char>('a' + manager.SendFiles.size()));
    CZTFileItem item;
    item.Name = path;
    item.LocalPath = path;
    item.Size = listedSize < 0 ? static_cast<std::int64_t>(size) : listedSize;
    manager.SendFiles.push_back(item);
  }
  std::uint32_t Run() { return PostWorker(manager, exchange, files); }
};

TEST_F(Post, EachFailingStepReportsItsCodeThenCompletes) {
  struct Case {
    std::string step;
    int onCall;
    const char16_t* code;
  };
  // Write calls: 1 message section, 2 file header, 3 file block, 4 closing delimiter.
  const Case cases[] = {{"Open", 1, u"E04002"},        {"Connect", 1, u"E04003"},
                        {"OpenRequest", 1, u"E04004"}, {"AddHeaders", 1, u"E04005"},
                        {"SendRequest", 1, u"E04006"}, {"Write", 1, u"E04007"},
                        {"Write", 2, u"E04008"},       {"Write", 3, u"E04008"},
                        {"Write", 4, u"E04007"},       {"EndRequest", 1, u"E04009"},
                        {"QueryStatusCode", 1, u"E04010"}};
  for (const Case& c : cases) {
    FakeExchange ex;
    FakeFiles fs;
    fs.Contents[u"f"] = "data";
    CZTTransMgr m;
    m.SetMessage(u"m", u"v");
    m.SendFiles.push_back(SendRecord(u"f", 4));
    CallbackLog l;
    l.Attach(m);
    ex.Failures.push_back({c.step, 12029, c.onCall});
    ex.Reply = {"ignored"};
    EXPECT_EQ(PostWorker(m, ex, fs), 12029u) << c.step;
    ASSERT_EQ(l.Errors.size(), 1u) << c.step;
    EXPECT_EQ(l.Errors[0].Code, c.code) << c.step << c.onCall;
    EXPECT_EQ(l.Errors[0].ErrorNumber, 12029u);
    EXPECT_EQ(l.Errors[0].SystemText, u"system text 12029");
    EXPECT_EQ(l.Events.back(), "complete");
    EXPECT_EQ(l.Events.size(), 2u);
    EXPECT_EQ(m.ResponseText, u"");
    EXPECT_EQ(m.StatusCode, -1);
    EXPECT_TRUE(m.OpenFiles.empty());
    EXPECT_GE(ex.Closes, 1);
  }
}

// A page's URL cannot add header lines: control characters in the path go
// out escaped, and a host with one is refused before any connection.
TEST_F(Post, UrlsCannotCarryHeaderLinesIntoTheRequest) {
  manager.ObjectPath = u"/up?a=1\r\nX-Forged: 1\x7F";
  exchange.Reply = {"OK"};
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(exchange.Path, u"/up?a=1%0D%0AX-Forged: 1%7F");

  FakeExchange refused;
  CZTTransMgr m;
  m.Host = u"host\r\nX-Forged: 1";
  m.ObjectPath = u"/p";
  m.SetMessage(u"m", u"v");
  CallbackLog l;
  l.Attach(m);
  EXPECT_EQ(PostWorker(m, refused, files), 12005u);
  ASSERT_EQ(l.Errors.size(), 1u);
  EXPECT_EQ(l.Errors[0].Code, u"E04003");
  EXPECT_EQ(refused.Bodies.size(), 0u);
  EXPECT_TRUE(refused.Host.empty()) << "the host reached Connect";
}

TEST_F(Post, UnopenableFileFailsBeforeAnyNetworkCall) {
  AddFile(u"a", 10);
  AddFile(u"b", 10);
  files.Locked.insert(u"b");
  EXPECT_EQ(Run(), 33u);
  EXPECT_TRUE(exchange.Calls.empty());
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:E04001", "complete"}));
  EXPECT_EQ(log.Errors[0].ErrorNumber, 12u);
  EXPECT_EQ(log.Errors[0].SystemText, u"");
  EXPECT_TRUE(manager.OpenFiles.empty()) << "the file that did open is closed again";
}

TEST_F(Post, SuccessfulPostStoresStatusAndReplyAndPassesTheServerSettings) {
  exchange.Status = 201;
  exchange.Reply = {"ok"};
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(manager.StatusCode, 201);
  EXPECT_EQ(manager.ResponseText, u"ok");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"complete"}));
  EXPECT_EQ(exchange.Host, u"host");
  EXPECT_EQ(exchange.Port, 8080);
  EXPECT_EQ(exchange.Agent, u"Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)");
  EXPECT_EQ(exchange.Calls.back(), "QueryDataAvailable");
  EXPECT_GE(exchange.Closes, 1);
}

TEST_F(Post, MissingDataAvailabilityEndsQuietlyWithTheStatus) {
  exchange.Failures.push_back({"QueryDataAvailable", 12002, 1});
  exchange.Reply = {"never read"};
  Run();
  EXPECT_EQ(manager.StatusCode, 200);
  EXPECT_EQ(manager.ResponseText, u"");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"complete"}));
}

TEST_F(Post, ForcedRetryResendsTheWholeBodyAndProgressKeepsCounting) {
  AddFile(u"one", 5000);
  AddFile(u"two", 100);
  exchange.EndResults = {12032};
  Run();
  ASSERT_EQ(exchange.Bodies.size(), 2u);
  EXPECT_EQ(exchange.Bodies[0], exchange.Bodies[1]);
  EXPECT_EQ(exchange.Declared[0], exchange.Bodies[0].size());
  EXPECT_EQ(exchange.Declared[1], exchange.Declared[0]);
  ASSERT_EQ(log.Reports.size(), 6u);
  EXPECT_EQ(log.Reports[2].Sent, 5100u);
  EXPECT_EQ(log.Reports[5].Sent, 10200u) << "the resend adds to what was already counted";
  EXPECT_EQ(log.Reports[5].Total, 5100u);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"complete"}));
}

TEST_F(Post, EndlessRetryRequestsGiveUpWithE04009) {
  exchange.EndResults.assign(MaxSendRounds + 5, 12032);
  Run();
  EXPECT_EQ(exchange.Bodies.size(), static_cast<std::size_t>(MaxSendRounds));
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:E04009", "complete"}));
  EXPECT_EQ(log.Errors[0].ErrorNumber, 12032u);
}

TEST_F(Post, ProgressReportsFilesDoneAndBytesAfterEveryBlock) {
  AddFile(u"a", 4096);
  AddFile(u"B", 4097);
  AddFile(u"c", 10);
  Run();
  ASSERT_EQ(log.Reports.size(), 4u);
  const std::int32_t done[] = {0, 1, 1, 2};
  const std::uint64_t sent[] = {4096, 8192, 8193, 8203};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(log.Reports[i].Done, done[i]) << i;
    EXPECT_EQ(log.Reports[i].Count, 3);
    EXPECT_EQ(log.Reports[i].Sent, sent[i]) << i;
    EXPECT_EQ(log.Reports[i].Total, 8203u);
  }
  // Blocks are at most 4096 bytes and each is one write.
  for (std::size_t w : exchange.Writes) EXPECT_LE(w, 4096u + 200u);
  EXPECT_NE(exchange.Bodies[0].find(std::string(4096, 'a') + "\r\n--b\r\n"), std::string::npos);
  EXPECT_NE(exchange.Bodies[0].find(std::string(4097, 'b') + "\r\n--b\r\n"), std::string::npos);
}

TEST_F(Post, MessageOnlyPostNeverReportsProgress) {
  Run();
  EXPECT_TRUE(log.Reports.empty());
  EXPECT_TRUE(files.Opened.empty());
  EXPECT_EQ(exchange.Bodies[0], "--b\r\nContent-Disposition: form-data; name=\"m\"\r\n\r\nv\r\n--b--\r\n");
}

TEST_F(Post, ReplyIsReadToTheEndAndDecodedWhole) {
  manager.Utf8 = 1;
  // "가" (EA B0 80) split across two reads, then a short read followed by more.
  std::string first(4094, 'x');
  first += "\xEA";
  exchange.Reply = {first, "\xB0\x80" "short", "tail"};
  Run();
  EXPECT_EQ(manager.ResponseText, std::u16string(4094, u'x') + u"\uAC00shorttail");
  for (std::size_t asked : exchange.ReadRequests) EXPECT_EQ(asked, 4095u);
  EXPECT_EQ(exchange.ReadRequests.size(), 4u);
}

TEST_F(Post, AnsiReplySplitInsideADoubleByteCharacterDecodesWhole) {
  // In the Korean code page each syllable is a lead and a trail byte; the
  // first read ends between them.
  std::string bytes = ToAnsi(std::u16string(4094, u'x') + u"\uD55C\uAE00tail");
  exchange.Reply = {bytes.substr(0, 4095), bytes.substr(4095)};
  Run();
  EXPECT_EQ(manager.ResponseText, FromAnsi(bytes));
}

// A reply without end is read up to the limit and no further.
TEST_F(Post, ReplyStopsAtItsLimit) {
  exchange.Reply.assign(MaxReplyBytes / 4095 + 3, std::string(4095, 'r'));
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(manager.ResponseText, std::u16string(MaxReplyBytes, u'r'));
  EXPECT_EQ(exchange.ReadRequests.size(), MaxReplyBytes / 4095 + 1) << "read past the limit";
  EXPECT_EQ(log.Events.back(), "complete");
}

// A connection closed where the status line should be: WinINet reads status
// 0, which is no reply at all.
TEST_F(Post, NoStatusLineIsAFailureNotAReply) {
  exchange.Status = 0;
  exchange.Reply = {"never read"};
  EXPECT_EQ(Run(), 12152u);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:E04010", "complete"}));
  EXPECT_EQ(manager.StatusCode, -1);
  EXPECT_EQ(manager.ResponseText, u"");
}

TEST_F(Post, ReplyEndsAtAFailedReadAndAnEmptyReplyStaysEmpty) {
  exchange.Reply = {"part"};
  exchange.ReadFailsAtEnd = true;
  Run();
  EXPECT_EQ(manager.ResponseText, u"part");

  FakeExchange empty;
  CZTTransMgr m;
  empty.Status = 204;
  PostWorker(m, empty, files);
  EXPECT_EQ(m.StatusCode, 204);
  EXPECT_EQ(m.ResponseText, u"");
}

TEST_F(Post, BodyLongerThanThePlatformCanDeclareIsRefusedBeforeConnecting) {
  AddFile(u"big", 0, 4294967296LL);  // listed at 4 GiB
  EXPECT_EQ(Run(), 223u);
  EXPECT_FALSE(exchange.Called("Open"));
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:E04006", "complete"}));
  EXPECT_NE(log.Errors[0].SystemText.find(u"bytes"), std::u16string::npos);
  EXPECT_TRUE(manager.OpenFiles.empty());

  // A platform that can declare more takes the full 64-bit length.
  FakeExchange wide;
  wide.MaxLength = ~0ull;
  CZTTransMgr m;
  m.SendFiles = manager.SendFiles;
  PostWorker(m, wide, files);
  ASSERT_EQ(wide.Declared.size(), 1u);
  EXPECT_GT(wide.Declared[0], 4294967296ull);
}

TEST_F(Post, TheDeclarableLimitItselfIsAccepted) {
  Run();
  const std::uint64_t length = exchange.Declared.at(0);

  FakeExchange exact, under;
  exact.MaxLength = length;
  under.MaxLength = length - 1;
  CZTTransMgr a, b;
  for (CZTTransMgr* m : {&a, &b}) {
    m->Uuids = manager.Uuids;
    m->Messages = manager.Messages;
  }
  PostWorker(a, exact, files);
  PostWorker(b, under, files);
  EXPECT_EQ(exact.Declared, std::vector<std::uint64_t>{length});
  EXPECT_TRUE(under.Calls.empty());
}

TEST_F(Post, FilesChangedSinceListingNeverBreakTheDeclaredLength) {
  AddFile(u"grew", 10, 4);
  Run();
  ASSERT_EQ(exchange.Bodies.size(), 1u);
  EXPECT_EQ(exchange.Declared[0], exchange.Bodies[0].size());
  EXPECT_NE(exchange.Bodies[0].find("\r\n\r\naaaa\r\n--b--\r\n"), std::string::npos);

  FakeExchange ex;
  CZTTransMgr m;
  CallbackLog l;
  l.Attach(m);
  m.SendFiles.push_back(SendRecord(u"shrank", 100));
  files.Contents[u"shrank"] = "short";
  PostWorker(m, ex, files);
  EXPECT_EQ(l.Events, (std::vector<std::string>{"error:E04008", "complete"}));
  EXPECT_EQ(l.Errors[0].ErrorNumber, 38u);
  EXPECT_FALSE(ex.Called("EndRequest"));
}

TEST_F(Post, FileReadErrorIsReportedWithoutACodeAndStillCompletes) {
  AddFile(u"bad", 10);
  files.ReadErrors[u"bad"] = 23;
  EXPECT_EQ(Run(), 23u);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:", "complete"}));
  EXPECT_EQ(log.Errors[0].ErrorNumber, 23u);
  EXPECT_EQ(log.Errors[0].Description, u"file error 3");
  EXPECT_TRUE(manager.OpenFiles.empty());
  EXPECT_GE(exchange.Closes, 1);
}

// A failure without a code is described by the system's text for its
// number (in the user's language), else by a Korean text of our own; the
// real number is recorded whenever there is one.
TEST_F(Post, FailuresWithoutACodeAreDescribedInTheUsersLanguage) {
  struct Case {
    const char* name;
    std::exception_ptr thrown;  // from the first write; none: a file read fails with 23
    bool systemHasText;
    std::uint32_t number;
    std::u16string description;
  };
  const Case cases[] = {
      {"read error", nullptr, true, 23, u"file error 3"},
      {"read error the system cannot name", nullptr, false, 23, u"전송할 파일을 읽을 수 없습니다."},
      {"no memory", std::make_exception_ptr(std::bad_alloc()), true, 14, u"file error 4"},
      {"no memory, no system text", std::make_exception_ptr(std::bad_alloc()), false, 14,
       u"메모리가 부족하여 요청을 보낼 수 없습니다."},
      {"system error", std::make_exception_ptr(std::system_error(5, std::system_category())), true, 5,
       u"file error 5"},
      {"library error", std::make_exception_ptr(std::length_error("vector::reserve")), true, 0,
       u"전송 중 예기치 않은 오류가 발생했습니다."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeExchange ex;
    FakeFiles fs;
    CZTTransMgr m;
    CallbackLog l;
    l.Attach(m);
    m.SendFiles.push_back(SendRecord(u"f", 10));
    fs.Contents[u"f"] = std::string(10, 'x');
    if (c.thrown) {
      ex.ThrowOn = "Write";
      ex.Thrown = c.thrown;
    } else {
      fs.ReadErrors[u"f"] = 23;
    }
    if (!c.systemHasText) fs.Untexted.insert(c.number);
    PostWorker(m, ex, fs);
    EXPECT_EQ(l.Events, (std::vector<std::string>{"error:", "complete"}));
    ASSERT_EQ(l.Errors.size(), 1u);
    EXPECT_EQ(l.Errors[0].ErrorNumber, c.number);
    EXPECT_EQ(l.Errors[0].Description, c.description);
    EXPECT_TRUE(m.OpenFiles.empty());
  }
}

TEST_F(Post, WithoutCallbacksFailuresAreSilentAndCompletionHookWins) {
  CZTTransMgr m;
  exchange.Failures.push_back({"Connect", 12029, 1});
  EXPECT_EQ(PostWorker(m, exchange, files), 12029u);

  int hooked = 0;
  log.Attach(m);
  exchange.Failures.push_back({"Connect", 12029, 2});
  PostWorker(m, exchange, files, [&](CZTTransMgr&) { ++hooked; });
  EXPECT_EQ(hooked, 1);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error:E04003"})) << "the hook delivers completion instead";
}

TEST(TransMgrPost, WithoutAnAgentThePostFailsClearlyAndCompletes) {
  SetDefaultAgentFactory({});
  CZTTransMgr m;
  CallbackLog l;
  l.Attach(m);
  m.Post(0);
  EXPECT_EQ(l.Events, (std::vector<std::string>{"error:", "complete"}));
  EXPECT_EQ(l.Errors[0].Description, u"요청을 보낼 HTTP 에이전트가 없습니다.");
}

}  // namespace
}  // namespace zt
