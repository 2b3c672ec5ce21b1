#pragma once
// Scripted stand-ins for the platform side of a post: an HTTP exchange that
// records every call and the body of each round, files held in memory, and a
// file system for AddSendFile.
#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/file_system.h"
#include "transfer/http_exchange.h"
#include "transfer/trans_mgr.h"

namespace zt::test {

class FakeExchange : public HttpExchange {
public:
  // Step names: Open Connect OpenRequest AddHeaders SendRequest Write
  // EndRequest QueryStatusCode QueryDataAvailable. A failing step fails on
  // its failOnCall-th call (1-based) with error.
  struct Failure {
    std::string Step;
    std::uint32_t Error = 0;
    int OnCall = 1;
  };

  std::uint64_t MaxLength = 0xFFFFFFFFull;
  std::vector<Failure> Failures;
  std::vector<std::uint32_t> EndResults;  // errors for successive EndRequest calls; success once exhausted
  std::int32_t Status = 200;
  std::vector<std::string> Reply;          // successive read results; then 0 bytes
  bool ReadFailsAtEnd = false;             // after the chunks, fail instead of reading 0
  std::string ThrowOn;                     // a step that throws Thrown instead of returning
  std::exception_ptr Thrown;

  std::vector<std::string> Calls;          // step names, in order
  std::vector<std::string> Bodies;         // one per SendRequest round
  std::vector<std::uint64_t> Declared;     // total of each SendRequest
  std::vector<std::size_t> Writes;         // size of each write
  std::string HeaderBytes;                 // AddHeaders(bytes)
  std::u16string HeaderText;               // AddHeaders(text)
  std::u16string Host, Path, Agent, Verb, Version;
  std::int32_t Port = 0;
  bool Secure = false;
  std::vector<std::size_t> ReadRequests;
  int Closes = 0;

  std::uint64_t MaxDeclaredLength() const override { return MaxLength; }
  CallResult Open(std::u16string_view agent) override {
    Agent = agent;
    return Call("Open");
  }
  CallResult Connect(std::u16string_view host, std::int32_t port, std::u16string_view,
                     std::u16string_view) override {
    Host = host, Port = port;
    return Call("Connect");
  }
  CallResult OpenRequest(std::u16string_view verb, std::u16string_view path, std::u16string_view version,
                         std::u16string_view, bool secure) override {
    Verb = verb, Path = path, Version = version, Secure = secure;
    return Call("OpenRequest");
  }
  CallResult AddHeaders(std::string_view bytes) override {
    HeaderBytes = bytes;
    return Call("AddHeaders");
  }
  CallResult AddHeaders(std::u16string_view text) override {
    HeaderText = text;
    return Call("AddHeaders");
  }
  CallResult SendRequest(std::uint64_t total) override {
    Declared.push_back(total);
    Bodies.emplace_back();
    return Call("SendRequest");
  }
  CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) override {
    CallResult r = Call("Write");
    if (!r) return r;
    Bodies.back().append(reinterpret_cast<const char*>(data), size);
    Writes.push_back(size);
    *written = size;
    return r;
  }
  CallResult EndRequest() override {
    CallResult r = Call("EndRequest");
    if (!r) return r;
    if (endIndex_ < EndResults.size()) return CallResult::Failure(EndResults[endIndex_++]);
    return r;
  }
  CallResult QueryStatusCode(std::int32_t* status) override {
    CallResult r = Call("QueryStatusCode");
    if (r) *status = Status;
    return r;
  }
  CallResult QueryDataAvailable() override { return Call("QueryDataAvailable"); }
  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override {
    ReadRequests.push_back(size);
    if (readIndex_ < Reply.size()) {
      const std::string& chunk = Reply[readIndex_++];
      std::memcpy(buffer, chunk.data(), chunk.size());
      *read = chunk.size();
      return CallResult::Success();
    }
    *read = 0;
    return ReadFailsAtEnd ? CallResult::Failure(12030) : CallResult::Success();
  }
  void CloseHandles() override { ++Closes; }
  std::u16string SystemText(std::uint32_t error) override { return u"system text " + Widen(std::to_string(error)); }

  bool Called(const std::string& step) const {
    for (const auto& c : Calls)
      if (c == step) return true;
    return false;
  }

private:
  static std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }
  CallResult Call(const std::string& step) {
    Calls.push_back(step);
    if (step == ThrowOn) std::rethrow_exception(Thrown);
    int count = 0;
    for (const auto& c : Calls) count += c == step;
    for (const Failure& f : Failures)
      if (f.Step == step && f.OnCall == count) return CallResult::Failure(f.Error);
    return CallResult::Success();
  }
  std::size_t endIndex_ = 0;
  std::size_t readIndex_ = 0;
};

// Files in memory. A path in Locked cannot be opened; a path in ReadErrors
// fails its first read with that error.
class FakeFiles : public FileOpener {
public:
  std::map<std::u16string, std::string> Contents;
  std::set<std::u16string> Locked;
  std::map<std::u16string, std::uint32_t> ReadErrors;
  std::vector<std::u16string> Opened;

  std::unique_ptr<SendFileReader> OpenForReading(std::u16string_view path) override {
    std::u16string key(path);
    auto it = Contents.find(key);
    if (it == Contents.end() || Locked.count(key)) return nullptr;
    Opened.push_back(key);
    auto error = ReadErrors.find(key);
    return std::make_unique<Reader>(it->second, error == ReadErrors.end() ? 0 : error->second);
  }
  std::set<std::uint32_t> Untexted;  // numbers the system has no text for
  std::u16string ErrorText(std::uint32_t error) override {
    if (Untexted.count(error)) return {};
    return u"file error " + std::u16string(1, static_cast<char16_t>(u'0' + error % 10));
  }

private:
  class Reader : public SendFileReader {
  public:
    Reader(const std::string& data, std::uint32_t error) : data_(data), error_(error) {}
    CallResult SeekToStart() override {
      pos_ = 0;
      return CallResult::Success();
    }
    CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override {
      if (error_) return CallResult::Failure(error_);
      std::size_t n = std::min(size, data_.size() - pos_);
      std::memcpy(buffer, data_.data() + pos_, n);
      pos_ += n;
      *read = n;
      return CallResult::Success();
    }

  private:
    const std::string& data_;
    std::uint32_t error_;
    std::size_t pos_ = 0;
  };
};

// A file system answering FindFirst from a table of full paths.
class FakeFileSystem : public FileSystem {
public:
  std::map<std::u16string, FoundFile> Files;

  void Add(std::u16string path, std::u16string name, std::int64_t size) {
    Files[path] = FoundFile{std::move(name), path, size, 0};
  }
  std::optional<FoundFile> FindFirst(std::u16string_view path) override {
    auto it = Files.find(std::u16string(path));
    if (it == Files.end()) return std::nullopt;
    return it->second;
  }
  std::vector<FoundFile> FindAll(std::u16string_view) override { return {}; }
  std::optional<FileTimes> Times(std::u16string_view) override { return std::nullopt; }
  CivilTime LocalEpoch() override { return {}; }
};

// Everything the callbacks of one post saw, in order.
struct CallbackLog {
  struct Progress {
    std::int32_t Done, Count;
    std::uint64_t Sent, Total;
  };
  std::vector<std::string> Events;  // "error:<code>" and "complete"
  std::vector<CZTTransException> Errors;
  std::vector<Progress> Reports;

  void Attach(CZTTransMgr& manager) {
    manager.OnProgress = [this](CZTTransMgr&, std::int32_t d, std::int32_t c, std::uint64_t s, std::uint64_t t) {
      Reports.push_back({d, c, s, t});
    };
    manager.OnError = [this](CZTTransMgr&, const CZTTransException& e) {
      Events.push_back("error:" + std::string(e.Code.begin(), e.Code.end()));
      Errors.push_back(e);
    };
    manager.OnComplete = [this](CZTTransMgr&) { Events.push_back("complete"); };
  }
};

}  // namespace zt::test
