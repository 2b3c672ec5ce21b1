#pragma once
// One post's resumable uploads (tus 1.0) over the post's exchange: discovery,
// then for each file creation (or the kept upload), PATCH in chunks, and
// after any failure HEAD for the server's offset and on from there. Each
// request is a round of the exchange of its own, so pause (between writes)
// and cancel (every later call fails) act as on the single request.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/records.h"
#include "transfer/http_exchange.h"
#include "transfer/resumable.h"
#include "transfer/tus_protocol.h"

namespace zt {

// A read of a file to send failed (its Win32 error number): the post reports
// it with the file system's own text.
struct FileReadFailure {
  std::uint32_t Error;
};

// How an upload (or the discovery) ended.
struct TusOutcome {
  enum Kind { Done, Failed, Answered, Cancelled } Result = Done;
  // Failed: the step's code, the error number and the platform's or our text.
  const char16_t* Code = nullptr;
  std::uint32_t Error = 0;
  std::u16string Text;
  // Answered: the server refused with a reply of its own, which ends the
  // post as the single request's reply would.
  std::int32_t Status = 0;
  std::string Reply;

  explicit operator bool() const { return Result == Done; }
};

class TusUploads {
public:
  // progress receives the bytes of the current file the server holds or is
  // being sent, after every block written.
  TusUploads(const ResumableSettings& settings, const tus::Endpoint& endpoint, std::u16string user,
             std::u16string password, HttpExchange& exchange, std::function<void(std::uint64_t)> progress);

  // OPTIONS: the server speaks tus 1.0 with creation.
  TusOutcome Discover();
  // Sends file (whose listed size is taken as its length) from reader;
  // *uploadPath receives the complete upload's path.
  TusOutcome Upload(const CZTFileItem& file, SendFileReader& reader, std::u16string* uploadPath);
  // After a successful post: the uploads are claimed, their records go.
  void ForgetAll();
  // After the person gave the post up: every upload of this post is removed
  // from the server (where it offers termination) and from the records.
  void Withdraw();

  // Bytes of file data written in all, resent ones included.
  std::uint64_t BytesWritten() const { return written_; }

private:
  struct Reply;
  Reply Send(std::u16string_view verb, const std::u16string& path, const std::string& headers,
             SendFileReader* reader = nullptr, std::uint64_t offset = 0, std::uint64_t length = 0,
             HttpExchange* over = nullptr);
  TusOutcome Refused(const std::u16string& why);

  const ResumableSettings& settings_;
  tus::Endpoint endpoint_;
  std::u16string user_, password_;
  HttpExchange& exchange_;
  std::function<void(std::uint64_t)> progress_;
  bool termination_ = false;
  std::vector<std::pair<ResumeKey, std::u16string>> begun_;  // this post's uploads
  std::uint64_t written_ = 0;
  std::vector<std::uint8_t> block_;
};

}  // namespace zt
