#include "transfer/tus_upload.h"

#include <algorithm>

#include "text/utf8.h"
#include "transfer/post_worker.h"
#include "transfer/trans_error.h"

namespace zt {

namespace {

constexpr std::size_t WriteBlock = 64 * 1024;  // Wine: 64 KiB writes cost a tenth of 4 KiB ones per byte
constexpr std::uint32_t Cancelled = 12017;     // ERROR_INTERNET_OPERATION_CANCELLED

std::u16string Wide(const std::string& text) { return FromUtf8(text); }

TusOutcome CancelledOutcome() {
  TusOutcome out;
  out.Result = TusOutcome::Cancelled;
  return out;
}

bool Success(std::int32_t status) { return status >= 200 && status < 300; }
// Answers after which the upload is still there and another try may go on:
// a server error, a lock held by the request a cut left behind, an offset
// that no longer matches.
bool Transient(std::int32_t status) { return status >= 500 || status == 423 || status == 409; }
// The upload is gone (removed or expired): it starts again.
bool Gone(std::int32_t status) { return status == 404 || status == 410; }

}  // namespace

struct TusUploads::Reply {
  CallResult Call;  // the failing platform call, if any
  const char16_t* Code = nullptr;
  std::int32_t Status = 0;
  std::string Location, Offset, Length, Version, Extension;
  std::string Body;
};

TusUploads::TusUploads(const ResumableSettings& settings, const tus::Endpoint& endpoint, std::u16string user,
                       std::u16string password, HttpExchange& exchange, std::function<void(std::uint64_t)> progress)
    : settings_(settings),
      endpoint_(endpoint),
      user_(std::move(user)),
      password_(std::move(password)),
      exchange_(exchange),
      progress_(std::move(progress)) {}

TusUploads::Reply TusUploads::Send(std::u16string_view verb, const std::u16string& path, const std::string& headers,
                                   SendFileReader* reader, std::uint64_t offset, std::uint64_t length,
                                   HttpExchange* over) {
  HttpExchange& x = over ? *over : exchange_;
  Reply reply;
  auto step = [&](CallResult result, const char16_t* code) {
    if (!result) reply.Call = result, reply.Code = code;
    return bool(result);
  };
  // Each request its own connection: a PATCH cut half way must leave nothing
  // for the next request to be written into.
  const std::string all = "Tus-Resumable: " + std::string(tus::Version) + "\r\n" + headers + "Connection: close\r\n";
  bool sent = step(x.Open(http_request::UserAgent), trans_code::InternetOpen) &&
              step(x.Connect(endpoint_.Host, endpoint_.Port, user_, password_), trans_code::Connect) &&
              step(x.OpenRequest(verb, RequestPath(path), http_request::Version, http_request::AcceptTypes,
                                 endpoint_.Secure),
                   trans_code::OpenRequest) &&
              step(x.AddHeaders(std::string_view(all)), trans_code::AddHeaders) &&
              step(x.SendRequest(length), trans_code::SendRequest);
  if (sent && reader) {
    if (CallResult sought = reader->SeekTo(offset); !sought) {
      x.CloseHandles();
      throw FileReadFailure{sought.Error};
    }
    if (block_.empty()) block_.resize(WriteBlock);
    std::uint64_t done = 0;
    while (sent && done < length) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, block_.size()));
      std::size_t got = 0;
      if (CallResult read = reader->Read(block_.data(), want, &got); !read) {
        x.CloseHandles();
        throw FileReadFailure{read.Error};
      }
      if (got == 0) {
        x.CloseHandles();
        throw FileReadFailure{win32_error::HandleEof};
      }
      got = std::min(got, want);
      std::size_t wrote = 0;
      sent = step(x.Write(block_.data(), got, &wrote), trans_code::WriteFile);
      if (!sent) break;
      done += got;
      written_ += got;
      if (progress_ && !over) progress_(offset + done);
    }
  }
  sent = sent && step(x.EndRequest(), trans_code::EndRequest) &&
         step(x.QueryStatusCode(&reply.Status), trans_code::QueryStatus);
  if (sent && (reply.Status < 100 || reply.Status > 999)) {
    // No status line: the connection ended before the server answered.
    reply.Call = CallResult::Failure(win32_error::InvalidServerResponse);
    reply.Code = trans_code::QueryStatus;
    sent = false;
  }
  if (sent) {
    auto header = [&](const char* name, std::string* value) {
      if (!x.QueryHeader(name, value)) value->clear();
      if (value->size() > HttpExchange::MaxHeaderValue) value->clear();
    };
    header("Location", &reply.Location);
    header("Upload-Offset", &reply.Offset);
    header("Upload-Length", &reply.Length);
    header("Tus-Version", &reply.Version);
    header("Tus-Extension", &reply.Extension);
    if (!Success(reply.Status) && x.QueryDataAvailable()) {
      std::uint8_t buffer[http_request::BlockSize];
      while (reply.Body.size() < MaxReplyBytes) {
        std::size_t got = 0;
        if (!x.Read(buffer, http_request::ReplyChunk, &got) || got == 0) break;
        got = std::min({got, http_request::ReplyChunk, MaxReplyBytes - reply.Body.size()});
        reply.Body.append(reinterpret_cast<const char*>(buffer), got);
      }
    }
  }
  x.CloseHandles();
  return reply;
}

TusOutcome TusUploads::Refused(const std::u16string& why) {
  TusOutcome out;
  out.Result = TusOutcome::Failed;
  out.Code = trans_code::QueryStatus;
  out.Error = win32_error::InvalidServerResponse;
  out.Text = why;
  return out;
}

TusOutcome TusUploads::Discover() {
  for (int attempt = 0;; ++attempt) {
    Reply reply = Send(u"OPTIONS", endpoint_.Path, {});
    if (exchange_.Cancelled()) return CancelledOutcome();
    const bool retry = !reply.Call ? reply.Call.Error != Cancelled : Transient(reply.Status);
    if (retry && attempt < settings_.Retries && exchange_.Wait(settings_.DelayMs ? settings_.DelayMs(attempt + 1) : 0))
      continue;
    if (exchange_.Cancelled()) return CancelledOutcome();
    if (!reply.Call) {
      TusOutcome out;
      out.Result = TusOutcome::Failed;
      out.Code = reply.Code;
      out.Error = reply.Call.Error;
      out.Text = exchange_.SystemText(reply.Call.Error);
      return out;
    }
    if (!Success(reply.Status) || !tus::Lists(reply.Version, tus::Version) || !tus::Lists(reply.Extension, "creation")) {
      // Not a tus server we can create uploads on: as a failed connection.
      TusOutcome out = Refused(u"The server at the resumable address does not take tus 1.0 uploads.");
      out.Code = trans_code::Connect;
      return out;
    }
    termination_ = tus::Lists(reply.Extension, "termination");
    return {};
  }
}

TusOutcome TusUploads::Upload(const CZTFileItem& file, SendFileReader& reader, std::u16string* uploadPath) {
  const std::uint64_t size = file.Size < 0 ? 0 : static_cast<std::uint64_t>(file.Size);
  const std::uint64_t chunk = settings_.Chunk ? std::min(settings_.Chunk, tus::MaxChunk) : tus::MaxChunk;
  ResumeKey key{file.LocalPath, size, reader.Modified(), settings_.Url};
  ResumeRecords* records = settings_.Records.get();

  enum State { Create, Head, Transfer } state = Create;
  std::u16string path = records ? records->Find(key) : std::u16string();
  // A kept path is checked again: the records are the user's, but not ours alone.
  const bool fromRecord = !path.empty() && path[0] == u'/' && tus::ValidUploadId(tus::UploadId(path));
  if (fromRecord) {
    state = Head;
    begun_.emplace_back(key, path);
  } else {
    path.clear();
  }
  std::uint64_t offset = 0, confirmed = 0;
  int attempts = 0;
  bool firstHead = fromRecord;
  std::optional<Reply> cut;  // the PATCH that failed, until a HEAD tells what it delivered

  // After a failure: another try after its pause, or the end of the upload.
  auto retry = [&](const Reply& reply, TusOutcome* end) {
    if (exchange_.Cancelled() || (!reply.Call && reply.Call.Error == Cancelled)) {
      *end = CancelledOutcome();
      return false;
    }
    ++attempts;
    if (attempts <= settings_.Retries &&
        exchange_.Wait(settings_.DelayMs ? settings_.DelayMs(attempts) : 0))
      return true;
    if (exchange_.Cancelled()) {
      *end = CancelledOutcome();
    } else if (!reply.Call) {
      end->Result = TusOutcome::Failed;
      end->Code = reply.Code;
      end->Error = reply.Call.Error;
      end->Text = exchange_.SystemText(reply.Call.Error);
    } else if (Success(reply.Status)) {
      *end = Refused(u"The server took none of the upload's bytes.");
    } else {
      end->Result = TusOutcome::Answered;
      end->Status = reply.Status;
      end->Reply = reply.Body;
    }
    return false;
  };
  auto answered = [](const Reply& reply) {
    TusOutcome out;
    out.Result = TusOutcome::Answered;
    out.Status = reply.Status;
    out.Reply = reply.Body;
    return out;
  };

  for (;;) {
    if (exchange_.Cancelled()) return CancelledOutcome();
    TusOutcome end;
    if (state == Create) {
      std::string headers = "Upload-Length: " + std::to_string(size) + "\r\nUpload-Metadata: " +
                            tus::UploadMetadata(file.Name, size) + "\r\n";
      Reply reply = Send(u"POST", endpoint_.Path, headers);
      if (!reply.Call || Transient(reply.Status)) {
        if (!retry(reply, &end)) return end;
        continue;
      }
      if (reply.Status != 201) return answered(reply);
      std::optional<std::u16string> made = tus::UploadPath(endpoint_, reply.Location);
      if (!made)
        return Refused(u"The server named an upload address that is not on the resumable address's host, or not "
                       u"an upload: " + Wide(reply.Location.substr(0, 200)));
      path = *made;
      if (records) records->Keep(key, path);
      begun_.emplace_back(key, path);
      offset = confirmed = 0;
      state = Transfer;
    } else if (state == Head) {
      Reply reply = Send(u"HEAD", path, {});
      if (Gone(reply.Status) && reply.Call) {
        // Removed or expired: a new upload. A stale record costs no try.
        if (records) records->Forget(key);
        if (!firstHead && !retry(reply, &end)) return end;
        firstHead = false;
        state = Create;
        continue;
      }
      firstHead = false;
      if (!reply.Call || Transient(reply.Status)) {
        // The failed PATCH before it is counted in this try, not again.
        cut.reset();
        if (!retry(reply, &end)) return end;
        continue;
      }
      if (!Success(reply.Status)) return answered(reply);
      std::optional<std::uint64_t> at = tus::ParseOffset(reply.Offset);
      std::optional<std::uint64_t> length = tus::ParseOffset(reply.Length);
      if (!at || *at > size || *at < confirmed || (!reply.Length.empty() && length != size))
        return Refused(u"The server's offset of the upload (" + Wide(reply.Offset.substr(0, 40)) +
                       u") does not fit the file of " + Wide(std::to_string(size)) + u" bytes sent up to " +
                       Wide(std::to_string(confirmed)) + u".");
      // Bytes a cut request delivered are progress: the tries count anew.
      // A cut that delivered nothing costs a try, and its pause.
      if (*at > confirmed) {
        attempts = 0;
      } else if (cut && !retry(*cut, &end)) {
        return end;
      }
      cut.reset();
      offset = confirmed = *at;
      state = Transfer;
    } else {
      if (offset >= size) {
        *uploadPath = path;
        return {};
      }
      const std::uint64_t length = std::min(chunk, size - offset);
      std::string headers = "Upload-Offset: " + std::to_string(offset) +
                            "\r\nContent-Type: application/offset+octet-stream\r\n";
      Reply reply = Send(u"PATCH", path, headers, &reader, offset, length);
      if (Gone(reply.Status) && reply.Call) {
        if (records) records->Forget(key);
        if (!retry(reply, &end)) return end;
        state = Create;
        continue;
      }
      if (!reply.Call || Transient(reply.Status)) {
        // Asked at once what arrived; the try is counted once that is known.
        if (exchange_.Cancelled() || reply.Call.Error == Cancelled) return CancelledOutcome();
        cut = reply;
        state = Head;
        continue;
      }
      if (!Success(reply.Status)) return answered(reply);
      std::optional<std::uint64_t> at = tus::ParseOffset(reply.Offset);
      if (!at || *at < offset || *at > offset + length)
        return Refused(u"The server's offset after a transfer (" + Wide(reply.Offset.substr(0, 40)) +
                       u") is not within the " + Wide(std::to_string(length)) + u" bytes sent from " +
                       Wide(std::to_string(offset)) + u".");
      if (*at == offset) {
        // Nothing taken: asked again as after a failure.
        cut = reply;
        state = Head;
        continue;
      }
      offset = confirmed = *at;
      attempts = 0;  // progress: a later cut is a new failure
    }
  }
}

void TusUploads::ForgetAll() {
  if (!settings_.Records) return;
  for (const auto& upload : begun_) settings_.Records->Forget(upload.first);
}

void TusUploads::Withdraw() {
  ForgetAll();
  if (!termination_ || begun_.empty()) return;
  std::unique_ptr<HttpExchange> fresh = exchange_.Fresh();
  if (!fresh) return;
  for (const auto& upload : begun_) Send(u"DELETE", upload.second, {}, nullptr, 0, 0, fresh.get());
}

}  // namespace zt
