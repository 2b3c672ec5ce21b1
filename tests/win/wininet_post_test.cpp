// Posts through the real WinINet exchange and the post procedure to the
// loopback receiver, and checks what arrived and what came back.
#include <winsock2.h>
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "post_helpers.h"
#include "receiver_client.h"
#include "transfer/trans_mgr.h"
#include "transfer/upload_manifest.h"
#include "transfer/win/uuid_text.h"
#include "transfer/win/wininet_agent.h"
#include "transfer/win/wininet_exchange.h"

namespace zt {
namespace {

using test::JsonInt;
using test::ReceiverClient;
using test::RealFiles;
using test::Scratch;
using test::Utf8;

const char16_t Korean[] = u"\uD55C\uAE00";  // two Hangul syllables

// What a post told its owner.
struct Outcome {
  std::vector<CZTTransException> Errors;
  int Completions = 0;
  std::uint64_t LastSent = 0, LastTotal = 0;
  DWORD CompletionThread = 0;
};

class WinInetPost : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(receiver.Ok()) << "ZT_RECEIVER_PORT / ZT_RECEIVER_DIR are not set: run through with_receiver.sh";
    receiver.Reset();
    manager.Host = u"127.0.0.1";
    manager.Port = receiver.Port();
    manager.ObjectPath = u"/upload/do.asp";
    manager.Utf8 = 1;
    manager.Files = &files;
    manager.MakeAgent = [] { return std::make_unique<win::WinInetAgent>(); };
    manager.OnError = [this](CZTTransMgr&, const CZTTransException& e) { outcome.Errors.push_back(e); };
    manager.OnComplete = [this](CZTTransMgr&) {
      outcome.CompletionThread = GetCurrentThreadId();
      ++outcome.Completions;
      if (done) SetEvent(done);
    };
    manager.OnProgress = [this](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent, std::uint64_t total) {
      outcome.LastSent = sent;
      outcome.LastTotal = total;
    };
  }
  void TearDown() override {
    if (done) CloseHandle(done);
  }

  // Lists local files as entries, builds the manifest and posts on this thread.
  // names, when given, are the entries' names (the files keep theirs).
  void Post(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& names = {}) {
    std::vector<CZTFileItem> list;
    for (const auto& p : paths) {
      CZTFileItem item;
      item.LocalPath = p;
      item.Name = list.size() < names.size() ? names[list.size()] : p.substr(p.find_last_of(u'\\') + 1);
      item.Size = files.FindFirst(p) ? files.FindFirst(p)->Size : 0;
      list.push_back(item);
    }
    std::vector<CZTFileAttrInfo> attributes;
    ASSERT_TRUE(BuildUploadManifest(&list, nullptr, attributes, manager));
    before = receiver.Count();
    manager.Post(0);
  }

  std::string LastRaw() { return receiver.Raw(receiver.Count()); }

  ReceiverClient receiver;
  RealFiles files;
  Scratch scratch;
  CZTTransMgr manager;
  Outcome outcome;
  HANDLE done = nullptr;
  long before = 0;
};

std::string FieldPart(const std::string& b, const std::string& name, const std::string& value) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string FilePart(const std::string& b, const std::string& name) {
  return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + name +
         "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

TEST_F(WinInetPost, SendsRequestLineHeadersAndBodyByteForByte) {
  std::string big;
  for (int i = 0; i < 10000; ++i) big += static_cast<char>(i * 7);
  auto a = scratch.Write(u"a.txt", "abcde");
  auto b = scratch.Write(u"b.bin", big);
  manager.SetMessage(u"title", u"Hello");
  Post({a, b});
  ASSERT_TRUE(outcome.Errors.empty()) << Utf8(outcome.Errors[0].Code) << " " << outcome.Errors[0].ErrorNumber;
  EXPECT_EQ(1, outcome.Completions);
  EXPECT_EQ(200, manager.StatusCode);
  EXPECT_EQ(u"OK", manager.ResponseText);
  EXPECT_EQ(10005u, outcome.LastSent);
  EXPECT_EQ(10005u, outcome.LastTotal);

  ASSERT_EQ(before + 1, receiver.Count());
  std::string raw = LastRaw();
  auto headEnd = raw.find("\r\n\r\n");
  ASSERT_NE(std::string::npos, headEnd);
  std::string head = raw.substr(0, headEnd + 2), body = raw.substr(headEnd + 4);
  EXPECT_EQ(0u, head.find("POST /upload/do.asp HTTP/1.0\r\n")) << head;
  auto at = head.find("\r\nContent-Type: multipart/form-data; boundary=");
  ASSERT_NE(std::string::npos, at) << head;
  std::string boundary = head.substr(at + 46, head.find("\r\n", at + 2) - at - 46);
  EXPECT_EQ(36u, boundary.size());
  EXPECT_EQ(std::string::npos, boundary.find_first_not_of("0123456789abcdef-")) << boundary;
  for (const char* line : {"\r\nAccept-Language: utf-8\r\n", "\r\nConnection: close\r\n",
                           "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)\r\n",
                           "\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                           "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*\r\n"})
    EXPECT_NE(std::string::npos, head.find(line)) << line << " missing in\n" << head;
  EXPECT_NE(std::string::npos, head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n")) << head;

  std::string expected = FieldPart(boundary, "title", "Hello") +
                         FieldPart(boundary, "_ZTUInfo", "Type|FileName|Size|\r\nN|a.txt|5|\r\nN|b.bin|10000|\r\n") +
                         FilePart(boundary, "a.txt") + "abcde\r\n" + FilePart(boundary, "b.bin") + big + "\r\n--" +
                         boundary + "--\r\n";
  EXPECT_EQ(expected.size(), body.size());
  EXPECT_TRUE(expected == body) << "body differs from the expected upload";
}

TEST_F(WinInetPost, AnsiPostSendsKoreanAndNoLookAlikeAsAQuoteOrBar) {
  ASSERT_EQ(949u, GetACP()) << "run in the Korean locale (LANG=ko_KR.UTF-8)";
  manager.Utf8 = 0;
  // The file on disk keeps an ASCII name: the test machine's file system may
  // not hold Hangul names; the entry's name is what goes on the wire.
  auto k = scratch.Write(u"k.txt", "xyz");
  manager.SetMessage(u"memo", Korean);
  Post({k}, {std::u16string(Korean) + u".txt"});
  ASSERT_TRUE(outcome.Errors.empty());
  std::string raw = LastRaw();
  const std::string cp949 = "\xC7\xD1\xB1\xDB";
  EXPECT_NE(std::string::npos, raw.find("\r\nAccept-Language: ko\r\n"));
  EXPECT_NE(std::string::npos, raw.find("name=\"memo\"\r\n\r\n" + cp949 + "\r\n"));
  EXPECT_NE(std::string::npos, raw.find("filename=\"" + cp949 + ".txt\""));
  // The receiver reads the names back from code page 949.
  std::string account = receiver.Account(receiver.Count());
  EXPECT_NE(std::string::npos, account.find("\"filename\": \"" + Utf8(Korean) + ".txt\""));
  EXPECT_EQ(3, JsonInt(account, "size", account.find("\"kind\": \"N\"")));

  // Look-alikes of the quote, bar and backslash that the code page has no
  // character for arrive as its default character, in the part's header and
  // the manifest row alike, in the Korean and the Western code page (the
  // thread's locale picks the code page the post converts with).
  const std::u16string lookAlikes = u"a\uFF02\uFF5C\u00A6\u20A9.txt";
  struct Page {
    LCID locale;
    UINT codePage;
    std::string name;  // lookAlikes as that code page sends it
  };
  const Page pages[] = {{MAKELCID(0x412, SORT_DEFAULT), 949, "a\xA3\xA2\xA3\xFC??.txt"},
                        {MAKELCID(0x409, SORT_DEFAULT), 1252, "a??\xA6?.txt"}};
  const LCID original = GetThreadLocale();
  for (const Page& page : pages) {
    SCOPED_TRACE(page.codePage);
    ASSERT_TRUE(SetThreadLocale(page.locale));
    Post({k}, {lookAlikes});
    SetThreadLocale(original);
    ASSERT_TRUE(outcome.Errors.empty());
    raw = LastRaw();
    EXPECT_NE(std::string::npos, raw.find("; filename=\"" + page.name + "\"\r\n")) << raw;
    EXPECT_NE(std::string::npos, raw.find("\r\nN|" + page.name + "|3|\r\n")) << raw;
  }
}

TEST_F(WinInetPost, BoundariesAreNewLowercaseUuids) {
  std::u16string a = win::NewUuidText(), b = win::NewUuidText();
  EXPECT_NE(a, b);
  ASSERT_EQ(36u, a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23)
      EXPECT_EQ(u'-', a[i]);
    else
      EXPECT_TRUE((a[i] >= u'0' && a[i] <= u'9') || (a[i] >= u'a' && a[i] <= u'f')) << Utf8(a);
  }
}

// Replies: decoded per the post's encoding, of any length.
TEST_F(WinInetPost, RepliesComeBackWhole) {
  struct Case {
    const char* rule;
    std::int32_t status;
    std::int16_t utf8;
    std::u16string text;
  };
  std::u16string big;
  for (int i = 0; i < 20000; ++i) big += u"0123456789";
  std::u16string koreanLong;
  for (int i = 0; i < 3000; ++i) koreanLong += Korean;  // chunks may split a character
  const Case cases[] = {
      {"status=204&body=", 204, 1, u""},
      {"body=", 200, 1, u""},
      {"body=0123456789&repeat=20000", 200, 1, big},
      {"body=%ED%95%9C%EA%B8%80", 200, 1, Korean},
      {"body=%ED%95%9C%EA%B8%80&encoding=cp949", 200, 0, Korean},
      {"body=%ED%95%9C%EA%B8%80&encoding=cp949&repeat=3000", 200, 0, koreanLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    outcome = {};
    manager.StatusCode = -1;
    manager.ResponseText.clear();
    manager.Utf8 = c.utf8;
    receiver.Rule(c.rule);
    manager.Post(0);
    ASSERT_TRUE(outcome.Errors.empty()) << Utf8(outcome.Errors[0].Code);
    EXPECT_EQ(c.status, manager.StatusCode);
    EXPECT_EQ(c.text.size(), manager.ResponseText.size());
    EXPECT_TRUE(c.text == manager.ResponseText);
  }
}

TEST_F(WinInetPost, NothingListeningFailsWithTheSystemText) {
  manager.Port = test::ClosedLoopbackPort();
  ASSERT_NE(0, manager.Port);
  manager.SetMessage(u"a", u"b");
  manager.Post(0);
  ASSERT_EQ(1u, outcome.Errors.size());
  EXPECT_EQ(u"E04006", outcome.Errors[0].Code);
  EXPECT_EQ(12029u, outcome.Errors[0].ErrorNumber);  // ERROR_INTERNET_CANNOT_CONNECT
  // WinINet's own message table has the text (in the Korean locale, in Korean).
  EXPECT_FALSE(outcome.Errors[0].SystemText.empty());
  win::WinInetExchange probe;
  EXPECT_EQ(probe.SystemText(12029), outcome.Errors[0].SystemText);
  EXPECT_TRUE(probe.SystemText(1).empty()) << "a number outside the table has no text";
  EXPECT_EQ(1, outcome.Completions);
  EXPECT_EQ(-1, manager.StatusCode);
}

TEST_F(WinInetPost, ServerThatDropsMidBodyFailsTheSend) {
  receiver.Rule("close_after=1000");
  auto big = scratch.Write(u"big.bin", std::string(4 << 20, 'q'));
  Post({big});
  ASSERT_EQ(1u, outcome.Errors.size());
  const std::u16string code = outcome.Errors[0].Code;
  EXPECT_TRUE(code == u"E04008" || code == u"E04009" || code == u"E04010") << Utf8(code);
  EXPECT_NE(0u, outcome.Errors[0].ErrorNumber);
  EXPECT_EQ(1, outcome.Completions);
  EXPECT_EQ(-1, manager.StatusCode);
  EXPECT_TRUE(manager.ResponseText.empty());
  EXPECT_EQ(1000, JsonInt(receiver.Account(receiver.Count()), "body_bytes"));
}

TEST_F(WinInetPost, BasicChallengeWithCredentials) {
  receiver.Rule("default=1&auth=kim:pw%20x&body=welcome");
  auto a = scratch.Write(u"a.txt", "abcde");
  manager.UserName = u"kim";
  manager.Password = u"pw x";
  Post({a});
  ASSERT_TRUE(outcome.Errors.empty()) << Utf8(outcome.Errors[0].Code) << " " << outcome.Errors[0].ErrorNumber;
  EXPECT_EQ(1, outcome.Completions);
  long count = receiver.Count();
  if (manager.StatusCode == 401) {
    // Wine's WinINet does not answer a challenge at the end of a request
    // (no ERROR_INTERNET_FORCE_RETRY): the challenge itself is the reply.
    EXPECT_EQ(before + 1, count);
    EXPECT_EQ(u"authorization required", manager.ResponseText);
    return;
  }
  EXPECT_EQ(200, manager.StatusCode);
  EXPECT_EQ(u"welcome", manager.ResponseText);
  ASSERT_GE(count, before + 2) << "the body went out once only";
  // The challenged request and the answered one carried bodies of the same length.
  std::string first = receiver.Raw(before + 1), last = receiver.Raw(count);
  EXPECT_EQ(first.substr(first.find("\r\n\r\n")).size(), last.substr(last.find("\r\n\r\n")).size());
  EXPECT_NE(std::string::npos, last.find("Authorization: Basic a2ltOnB3IHg=\r\n"));
}

TEST_F(WinInetPost, LockedFileFailsBeforeAnyConnection) {
  auto a = scratch.Write(u"locked.txt", "abc");
  HANDLE holder = CreateFileW(AsWide(a), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  Post({a});
  CloseHandle(holder);
  ASSERT_EQ(1u, outcome.Errors.size());
  EXPECT_EQ(u"E04001", outcome.Errors[0].Code);
  EXPECT_EQ(12u, outcome.Errors[0].ErrorNumber);
  EXPECT_EQ(1, outcome.Completions);
  EXPECT_EQ(before, receiver.Count());
}

TEST_F(WinInetPost, WorkerPostCompletesOnAnotherThread) {
  done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  manager.SetMessage(u"a", u"b");
  manager.Post(1);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
  EXPECT_EQ(1, outcome.Completions);
  EXPECT_NE(GetCurrentThreadId(), outcome.CompletionThread);
  EXPECT_EQ(200, manager.StatusCode);
  EXPECT_EQ(u"OK", manager.ResponseText);
}

TEST_F(WinInetPost, SuspendedWorkerHoldsBetweenBlocksThenFinishes) {
  done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> blocks{0};
  auto big = scratch.Write(u"big.bin", std::string(8 << 20, 'p'));
  std::vector<CZTFileItem> list(1);
  list[0].LocalPath = big;
  list[0].Name = u"big.bin";
  ASSERT_TRUE(BuildUploadManifest(&list, nullptr, {}, manager));
  manager.OnProgress = [&](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t, std::uint64_t) {
    ++blocks;
    SetEvent(started);
  };
  manager.Post(1);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, 30000));
  manager.Agent->SuspendWorker();
  Sleep(50);  // the block in flight, if any, lands
  const int held = blocks;
  Sleep(500);
  EXPECT_EQ(held, blocks.load()) << "the worker kept writing while suspended";
  EXPECT_LT(held, 2048);
  manager.Agent->ResumeWorker();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
  CloseHandle(started);
  EXPECT_EQ(2048, blocks.load());
  EXPECT_TRUE(outcome.Errors.empty());
  EXPECT_EQ(200, manager.StatusCode);
}

TEST_F(WinInetPost, KilledWorkerStopsAndStaysSilent) {
  receiver.Rule("delay=30");  // the worker waits for the reply
  done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  manager.SetMessage(u"a", u"b");
  manager.Post(1);
  for (int i = 0; i < 200 && receiver.Count() == 0; ++i) Sleep(50);
  manager.Agent->KillWorker();
  manager.Agent->KillWorker();  // a second kill has nothing left to stop
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(done, 500));
  EXPECT_EQ(0, outcome.Completions);
  EXPECT_TRUE(outcome.Errors.empty());
  EXPECT_EQ(-1, manager.StatusCode);
}

TEST_F(WinInetPost, LargeSparseFileGoesOutWithItsFullLength) {
  const std::int64_t size = 2684354560;  // 2.5 GiB
  receiver.Rule("default=1&store=0&record_raw=0");
  auto big = scratch.Sparse(u"sparse.bin", size);
  Post({big});
  ASSERT_TRUE(outcome.Errors.empty()) << Utf8(outcome.Errors[0].Code) << " " << outcome.Errors[0].ErrorNumber;
  EXPECT_EQ(200, manager.StatusCode);
  EXPECT_EQ(static_cast<std::uint64_t>(size), outcome.LastSent);
  std::string account = receiver.Account(receiver.Count());
  long long declared = JsonInt(account, "content_length");
  EXPECT_EQ(declared, JsonInt(account, "body_bytes"));
  EXPECT_GT(declared, size);
  EXPECT_EQ(size, JsonInt(account, "size", account.find("\"filename\": \"sparse.bin\"")));
  EXPECT_EQ(size, JsonInt(account, "size", account.find("\"kind\": \"N\"")));
}

}  // namespace
}  // namespace zt
