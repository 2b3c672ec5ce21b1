#pragma once
// A tus 1.0 server behind the exchange interface, with the faults of a real
// network: connections cut part way through a PATCH (the bytes before the cut
// are kept, as servers do), refused while it restarts, and hostile answers.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "text/utf8.h"
#include "transfer/http_exchange.h"

namespace zt::test {

struct TusServerState {
  struct Upload {
    std::uint64_t Length = 0;
    std::string Data;
  };
  std::map<std::string, Upload> Uploads;
  std::vector<std::string> Requests;  // "VERB path"
  std::vector<std::uint64_t> Cuts;    // body bytes after which the next PATCHes are cut, in turn
  int Refusals = 0;                   // connections refused before the next one is taken
  std::string Location, Offset;       // hostile answers to creation, PATCH and HEAD
  std::string Extensions = "creation,termination";
  std::string FinalBody;         // the body of the last plain POST
  std::uint64_t PatchBytes = 0;  // file bytes that reached the server, resent ones included
  int Next = 0;
};

class TusFakeServer : public HttpExchange {
public:
  explicit TusFakeServer(std::shared_ptr<TusServerState> state) : s_(std::move(state)) {}
  bool IsCancelled = false, IsWithdrawn = false;
  std::vector<std::uint32_t> Waits;

  std::uint64_t MaxDeclaredLength() const override { return ~0ull; }
  CallResult Open(std::u16string_view) override { return Gate(); }
  CallResult Connect(std::u16string_view, std::int32_t, std::u16string_view, std::u16string_view) override {
    return s_->Refusals > 0 ? --s_->Refusals, CallResult::Failure(12029) : Gate();
  }
  CallResult OpenRequest(std::u16string_view verb, std::u16string_view path, std::u16string_view,
                         std::u16string_view, bool) override {
    verb_ = ToUtf8(verb), path_ = ToUtf8(path), headers_.clear(), body_.clear(), cut_ = false;
    s_->Requests.push_back(verb_ + " " + path_);
    return Gate();
  }
  CallResult AddHeaders(std::string_view bytes) override { return headers_ += bytes, Gate(); }
  CallResult AddHeaders(std::u16string_view text) override { return headers_ += ToUtf8(text), Gate(); }
  CallResult SendRequest(std::uint64_t) override { return Gate(); }
  CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) override {
    const bool cut = verb_ == "PATCH" && !s_->Cuts.empty() && body_.size() + size > s_->Cuts.front();
    body_.append(reinterpret_cast<const char*>(data), cut ? s_->Cuts.front() - body_.size() : size);
    *written = size;
    if (!cut) return Gate();
    s_->Cuts.erase(s_->Cuts.begin());
    cut_ = true;
    Take();
    return CallResult::Failure(12030);
  }
  CallResult EndRequest() override { return cut_ ? CallResult::Failure(12030) : (status_ = Take(), Gate()); }
  CallResult QueryStatusCode(std::int32_t* status) override { return *status = status_, Gate(); }
  CallResult QueryHeader(std::string_view name, std::string* value) override {
    auto it = answer_.find(std::string(name));
    if (it == answer_.end()) return CallResult::Failure(HeaderNotFound);
    return *value = it->second, CallResult::Success();
  }
  CallResult QueryDataAvailable() override { return Gate(); }
  CallResult Read(std::uint8_t*, std::size_t, std::size_t* read) override { return *read = 0, Gate(); }
  void CloseHandles() override {}
  std::u16string SystemText(std::uint32_t) override { return u"text"; }
  bool Wait(std::uint32_t ms) override { return Waits.push_back(ms), !IsCancelled; }
  bool Cancelled() const override { return IsCancelled; }
  bool Withdrawn() const override { return IsWithdrawn; }
  std::unique_ptr<HttpExchange> Fresh() override { return std::make_unique<TusFakeServer>(s_); }

private:
  CallResult Gate() { return IsCancelled ? CallResult::Failure(12017) : CallResult::Success(); }
  std::string Header(const std::string& name) const {
    const auto at = headers_.find(name + ": ") + name.size() + 2;
    return headers_.substr(at, headers_.find("\r\n", at) - at);
  }
  // Acts on the request (or the part of its body that arrived) and answers.
  std::int32_t Take() {
    answer_.clear();
    auto upload = s_->Uploads.find(path_.substr(path_.rfind('/') + 1));
    if (verb_ == "OPTIONS") return answer_ = {{"Tus-Version", "1.0.0"}, {"Tus-Extension", s_->Extensions}}, 204;
    if (verb_ == "POST" && path_ == "/tus/") {
      const std::string id = "u" + std::to_string(++s_->Next);
      s_->Uploads[id].Length = std::stoull(Header("Upload-Length"));
      answer_["Location"] = s_->Location.empty() ? "http://host:8080/tus/" + id : s_->Location;
      return 201;
    }
    if (verb_ == "POST") return s_->FinalBody = body_, 200;
    if (upload == s_->Uploads.end()) return 404;
    if (verb_ == "DELETE") return s_->Uploads.erase(upload), 204;
    if (verb_ == "PATCH") {
      if (Header("Upload-Offset") != std::to_string(upload->second.Data.size())) return 409;
      upload->second.Data += body_;
      s_->PatchBytes += body_.size();
    }
    answer_["Upload-Offset"] = s_->Offset.empty() ? std::to_string(upload->second.Data.size()) : s_->Offset;
    answer_["Upload-Length"] = std::to_string(upload->second.Length);
    return verb_ == "HEAD" ? 200 : 204;
  }

  std::shared_ptr<TusServerState> s_;
  std::string verb_, path_, headers_, body_;
  bool cut_ = false;
  std::int32_t status_ = 0;
  std::map<std::string, std::string> answer_;
};

}  // namespace zt::test
