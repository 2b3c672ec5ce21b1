// The download procedure against a scripted fetch and an in-memory file:
// what it asks of the server, when it makes a file, and that it keeps a file
// only when every byte arrived.
#include "transfer/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace zt {
namespace {

// Serves a reply in the pieces given, then the end (or a failure).
class FakeFetch final : public DownloadExchange {
public:
  std::uint32_t OpenError = 0, OpenUrlError = 0, ReadError = 0;
  std::int32_t Status = 200;
  std::optional<std::uint64_t> Declared;
  std::vector<std::string> Pieces;
  // The user cancels while the read of piece CancelAt is blocked: the
  // closed request makes it fail.
  DownloadProgress* Progress = nullptr;
  std::size_t CancelAt = SIZE_MAX;

  std::vector<std::string> Calls;
  std::u16string Agent, Address;
  std::uint32_t Timeout = 0;

  CallResult Open(std::u16string_view agent, std::uint32_t timeout) override {
    Calls.push_back("Open");
    Agent = agent, Timeout = timeout;
    return Result(OpenError);
  }
  CallResult OpenUrl(const ServerAddress& address) override {
    Calls.push_back("OpenUrl");
    Address = AddressText(address);
    return Result(OpenUrlError);
  }
  CallResult QueryStatusCode(std::int32_t* status) override {
    Calls.push_back("QueryStatusCode");
    *status = Status;
    return CallResult::Success();
  }
  std::optional<std::uint64_t> ContentLength() override { return Declared; }
  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override {
    ++reads_;
    *read = 0;
    if (Progress && next_ == CancelAt) {
      Progress->Cancelled = true;
      return Result(6);  // ERROR_INVALID_HANDLE
    }
    if (next_ == Pieces.size()) return Result(ReadError);
    const std::string& piece = Pieces[next_++];
    EXPECT_LE(piece.size(), size);
    std::memcpy(buffer, piece.data(), piece.size());
    *read = piece.size();
    return CallResult::Success();
  }
  void Close() override { Calls.push_back("Close"); }

  int Reads() const { return reads_; }

private:
  static CallResult Result(std::uint32_t error) { return error ? CallResult::Failure(error) : CallResult::Success(); }
  std::size_t next_ = 0;
  int reads_ = 0;
};

class MemoryFile final : public DownloadTarget {
public:
  std::uint32_t CreateError = 0, WriteError = 0;
  bool Created = false, Exists = false, Finished = false;
  std::string Bytes;
  std::optional<std::uint64_t> Free;

  std::optional<std::uint64_t> FreeSpace() override { return Free; }
  CallResult Create() override {
    if (CreateError) return CallResult::Failure(CreateError);
    Created = Exists = true;
    return CallResult::Success();
  }
  CallResult Write(const std::uint8_t* data, std::size_t size) override {
    if (WriteError) return CallResult::Failure(WriteError);
    Bytes.append(reinterpret_cast<const char*>(data), size);
    return CallResult::Success();
  }
  CallResult Finish() override {
    Finished = true;
    return CallResult::Success();
  }
  void Discard() override { Exists = false, Bytes.clear(); }
};

std::string Bytes(std::size_t size, char seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 + i / 251);
  return bytes;
}

TEST(Download, ReadsEveryPieceOfASlowReplyUntilTheServerEndsIt) {
  FakeFetch fetch;
  const std::string file = Bytes(1 << 20, 3);
  // Small and uneven pieces, as a slow server's packets arrive: none is the end.
  for (std::size_t at = 0, n = 1; at < file.size(); at += n, n = n % 1400 + 1) fetch.Pieces.push_back(file.substr(at, n));
  fetch.Declared = file.size();
  MemoryFile target;

  const DownloadOutcome outcome = RunDownload(fetch, target, u"HTTP://Files.Example:8080/Dir/Report.PDF?v=1", 0);
  EXPECT_TRUE(outcome.Ok());
  EXPECT_EQ(outcome.HttpStatus, 200);
  EXPECT_TRUE(target.Exists && target.Finished);
  EXPECT_TRUE(target.Bytes == file) << "the file differs from what the server sent";
  EXPECT_EQ(fetch.Reads(), static_cast<int>(fetch.Pieces.size()) + 1);
  // The URL's own port, once; host and path keep their case.
  EXPECT_EQ(fetch.Address, u"http://Files.Example:8080/Dir/Report.PDF?v=1");
  EXPECT_EQ(outcome.Address, fetch.Address) << "the copy would be marked with another address";
  EXPECT_EQ(fetch.Agent, u"Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)");
  EXPECT_EQ(fetch.Timeout, 30000u);  // thirty seconds
  EXPECT_EQ(fetch.Calls, (std::vector<std::string>{"Open", "OpenUrl", "QueryStatusCode", "Close"}));
}

TEST(Download, ProgressIsToldAsItComesAndACancelAtAnyPointKeepsNothing) {
  const std::string file = Bytes(9000, 5);
  for (std::size_t cancelAt : {std::size_t{0}, std::size_t{2}}) {
    FakeFetch fetch;
    for (std::size_t at = 0; at < file.size(); at += 3000) fetch.Pieces.push_back(file.substr(at, 3000));
    fetch.Declared = file.size();
    DownloadProgress progress;
    fetch.Progress = &progress;
    fetch.CancelAt = cancelAt;
    MemoryFile target;
    const DownloadOutcome outcome = RunDownload(fetch, target, u"http://h/f.bin", 0, &progress);
    EXPECT_EQ(outcome.LastError, download_error::Cancelled);
    EXPECT_EQ(progress.Total, file.size());
    EXPECT_EQ(progress.Received, cancelAt * 3000);
    EXPECT_FALSE(target.Exists || target.Finished);
    EXPECT_EQ(fetch.Calls.back(), "Close");
  }
  // A cancel asked before the server answered makes no file at all.
  FakeFetch fetch;
  DownloadProgress progress;
  progress.Cancelled = true;
  MemoryFile target;
  EXPECT_EQ(RunDownload(fetch, target, u"http://h/f.bin", 0, &progress).LastError, download_error::Cancelled);
  EXPECT_FALSE(target.Created);
  EXPECT_EQ(fetch.Reads(), 0);
}

TEST(Download, AFailureAtAnyStepLeavesNoFileAndSaysWhy) {
  struct Case {
    const char* what;
    std::uint32_t openError, openUrlError, readError, createError, writeError;
    std::int32_t status;
    std::optional<std::uint64_t> declared;
    std::int32_t lastError;
    bool fileMade;  // the target was ever created
  };
  const Case cases[] = {
      {"no internet session", 12001, 0, 0, 0, 0, 200, {}, 12001, false},
      {"nothing listening", 0, 12029, 0, 0, 0, 200, {}, 12029, false},
      {"missing file", 0, 0, 0, 0, 0, 404, {}, download_error::HttpStatus, false},
      {"server error", 0, 0, 0, 0, 0, 500, {}, download_error::HttpStatus, false},
      {"no temporary file", 0, 0, 0, 5, 0, 200, {}, 5, false},
      {"read fails mid-way", 0, 0, 12030, 0, 0, 200, {}, 12030, true},
      {"disk full", 0, 0, 0, 0, 112, 200, {}, 112, true},
      {"reply cut short", 0, 0, 0, 0, 0, 200, 10000, 12030, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFetch fetch;
    fetch.OpenError = c.openError, fetch.OpenUrlError = c.openUrlError, fetch.ReadError = c.readError;
    fetch.Status = c.status;
    fetch.Declared = c.declared;
    fetch.Pieces = {Bytes(3000, 1), Bytes(10, 2)};
    MemoryFile target;
    target.CreateError = c.createError, target.WriteError = c.writeError;
    const DownloadOutcome outcome = RunDownload(fetch, target, u"http://h/f.bin", 0);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.LastError, c.lastError);
    if (c.lastError == download_error::HttpStatus) {
      EXPECT_EQ(outcome.HttpStatus, c.status);
    }
    EXPECT_EQ(target.Created, c.fileMade);
    EXPECT_FALSE(target.Exists) << "a failed download left its file";
    EXPECT_FALSE(target.Finished);
    EXPECT_EQ(fetch.Calls.back(), "Close");
  }
}

// A reply may fill the temporary folder only down to the spare space: a
// declared length beyond it makes no file, an undeclared reply stops there.
TEST(Download, AReplyNeverTakesTheFolderPastItsSpareSpace) {
  const std::uint64_t spare = download_request::SpareSpace;
  struct Case {
    std::optional<std::uint64_t> declared;
    std::uint64_t free;
    bool ok, fileMade;
  };
  const Case cases[] = {{3010, spare + 3010, true, true},  {3011, spare + 3010, false, false},
                        {{}, spare + 3010, true, true},    {{}, spare + 3009, false, true},
                        {UINT64_MAX, UINT64_MAX, false, false}, {{}, spare / 2, false, true}};
  for (const Case& c : cases) {
    FakeFetch fetch;
    fetch.Declared = c.declared;
    fetch.Pieces = {Bytes(3000, 1), Bytes(10, 2)};
    MemoryFile target;
    target.Free = c.free;
    const DownloadOutcome outcome = RunDownload(fetch, target, u"http://h/f.bin", 0);
    EXPECT_EQ(outcome.Ok(), c.ok) << c.free - spare;
    if (!c.ok) {
      EXPECT_EQ(outcome.LastError, static_cast<std::int32_t>(download_error::DiskFull));
    }
    EXPECT_EQ(target.Created, c.fileMade);
    EXPECT_EQ(target.Exists, c.ok) << "a refused reply left its file";
  }
  EXPECT_EQ(TempCopyName(0x00C0FFEE, u"pdf"), u"ZTF00C0FFEE.tmp.pdf");
  EXPECT_EQ(TempCopyName(0xFFFFFFFF, u"a/b"), u"ZTFFFFFFFFF.tmp");
}

TEST(Download, AServerPathThatCannotBeCutAsksNothingOfTheServer) {
  for (const char16_t* url : {u"http://hostonly", u"ftp://h/x", u"/srv/a.pdf", u"http:///a.pdf", u"http://h:99999/a",
                              u"http://h/a\r\nX-Injected: 1", u""}) {
    FakeFetch fetch;
    MemoryFile target;
    EXPECT_EQ(RunDownload(fetch, target, url, 0).LastError, download_error::BadUrl);
    EXPECT_TRUE(fetch.Calls.empty() || fetch.Calls == std::vector<std::string>{"Close"});
    EXPECT_FALSE(target.Exists);
  }
}

TEST(Download, TheCopyTakesTheEntrysExtensionOnlyWhenItStaysAFileName) {
  const std::u16string copy = u"C:\\Temp\\ZTF1A.tmp";
  EXPECT_EQ(CopyPathWithExtension(copy, u"pdf"), copy + u".pdf");
  EXPECT_EQ(CopyPathWithExtension(copy, u"\uD55C\uAE00"), copy + u".\uD55C\uAE00");
  EXPECT_EQ(CopyPathWithExtension(copy, u"tar gz"), copy + u".tar gz");
  // No extension, or one that would put the copy elsewhere or fail to name it.
  for (const char16_t* extension : {u"", u"exe\\..\\..\\evil", u"x/y", u"c:stream", u"a*", u"a?", u"\"q\"", u"a<b",
                                    u"a|b", u"pdf ", u"p\ndf"})
    EXPECT_EQ(CopyPathWithExtension(copy, extension), copy);
}

}  // namespace
}  // namespace zt
