#include "transfer/post_worker.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <system_error>

#include "text/ansi.h"
#include "text/unicode.h"
#include "text/utf8.h"
#include "transfer/request_format.h"
#include "transfer/tus_upload.h"
#include "transfer/url.h"

namespace zt {

namespace {

constexpr std::uint32_t ExitAfterFileLocked = 33;
constexpr std::uint32_t CancelledError = 12017;  // ERROR_INTERNET_OPERATION_CANCELLED
constexpr std::size_t MaxDescription = 255;

constexpr char16_t ResumableField[] = u"_ZTUResumable";
constexpr char16_t ManifestField[] = u"_ZTUInfo";

class PostRun {
public:
  PostRun(CZTTransMgr& manager, HttpExchange& exchange, FileOpener& files)
      : manager_(manager), exchange_(exchange), files_(files) {}

  std::uint32_t Run() {
    std::uint32_t exitCode = RunPost();
    // The person gave the post up: what this post began on the server goes too.
    if (uploads_ && exchange_.Cancelled() && exchange_.Withdrawn()) uploads_->Withdraw();
    return exitCode;
  }

  std::uint32_t RunPost() {
    if (!OpenFiles()) {
      CloseOpenFiles(&manager_.OpenFiles);
      Report(trans_code::FileLocked, win32_error::FileNotOpened, {});
      return ExitAfterFileLocked;
    }
    bodyFiles_ = manager_.SendFiles;
    if (!manager_.Resumable.Url.empty() && !manager_.SendFiles.empty()) {
      if (!SendResumable()) return failedError_;
      if (answered_) return 0;
    }
    texts_ = BuildRequestTexts(manager_.Messages, bodyFiles_, MakeBoundary(manager_.Uuids), manager_.Utf8);
    if (texts_.DeclaredLength > exchange_.MaxDeclaredLength()) {
      // Declaring a cut-down length would make the server read a corrupt
      // body; refuse before any connection instead.
      Report(trans_code::SendRequest, win32_error::FileTooLarge,
             u"The request body of " + Widen(std::to_string(texts_.DeclaredLength)) +
                 u" bytes is larger than the largest length this connection can declare (" +
                 Widen(std::to_string(exchange_.MaxDeclaredLength())) + u" bytes).");
      return win32_error::FileTooLarge;
    }
    if (!Step(exchange_.Open(http_request::UserAgent), trans_code::InternetOpen)) return failedError_;
    if (!UsableHost(manager_.Host)) {
      Report(trans_code::Connect, win32_error::InternetInvalidUrl, exchange_.SystemText(win32_error::InternetInvalidUrl));
      return failedError_;
    }
    if (!Step(exchange_.Connect(manager_.Host, manager_.Port, manager_.UserName, manager_.Password),
              trans_code::Connect))
      return failedError_;
    if (!Step(exchange_.OpenRequest(http_request::Verb, RequestPath(manager_.ObjectPath), http_request::Version,
                                    http_request::AcceptTypes, manager_.Secure),
              trans_code::OpenRequest))
      return failedError_;
    CallResult added = manager_.Utf8 == 1 ? exchange_.AddHeaders(std::string_view(EncodeText(texts_.HeaderBlock, 1)))
                                          : exchange_.AddHeaders(std::u16string_view(texts_.HeaderBlock));
    if (!Step(added, trans_code::AddHeaders)) return failedError_;

    for (int round = 1;; ++round) {
      if (!SendBody()) return failedError_;
      CallResult ended = exchange_.EndRequest();
      if (ended) break;
      if (ended.Error != win32_error::InternetForceRetry || round >= MaxSendRounds) {
        Step(ended, trans_code::EndRequest);
        return failedError_;
      }
    }

    std::int32_t status = 0;
    if (!Step(exchange_.QueryStatusCode(&status), trans_code::QueryStatus)) return failedError_;
    if (status < 100 || status > 999) {
      // A server that closed without a status line leaves WinINet answering
      // 0: no reply was given, so the post failed and did not succeed.
      Report(trans_code::QueryStatus, win32_error::InvalidServerResponse,
             exchange_.SystemText(win32_error::InvalidServerResponse));
      return failedError_;
    }
    manager_.StatusCode = status;
    // Taken by the server: nothing is left to resume.
    if (uploads_ && status >= 200 && status < 300) uploads_->ForgetAll();
    if (!exchange_.QueryDataAvailable()) return 0;
    manager_.ResponseText = ReadReply();
    return 0;
  }

  // A failure without a code, described in the user's language.
  void ReportUncoded(std::uint32_t error, unsigned ownTextId) {
    if (!manager_.OnError) return;
    CZTTransException failure;
    failure.Description = UncodedFailureText(error != 0 ? files_.ErrorText(error) : std::u16string(), ownTextId);
    if (failure.Description.size() > MaxDescription) failure.Description.resize(MaxDescription);
    failure.ErrorNumber = error;
    manager_.OnError(manager_, failure);
  }

private:
  // Every file's bytes by tus, then the request names the uploads: its file
  // parts stay (empty) and a field after the manifest pairs rows with uploads.
  bool SendResumable() {
    std::optional<tus::Endpoint> endpoint = tus::ParseEndpoint(manager_.Resumable.Url);
    if (!endpoint || !UsableHost(endpoint->Host)) {
      Report(trans_code::Connect, win32_error::InternetInvalidUrl,
             exchange_.SystemText(win32_error::InternetInvalidUrl));
      return false;
    }
    std::uint64_t total = 0, done = 0, shown = 0;
    for (const CZTFileItem& file : manager_.SendFiles) total += ListedSize(file);
    const auto count = static_cast<std::int32_t>(manager_.SendFiles.size());
    std::int32_t index = 0;
    // The page's credentials are for its server: they go to the endpoint only
    // when it is that server (same scheme, host and port).
    const bool sameServer = endpoint->Secure == manager_.Secure && endpoint->Port == manager_.Port &&
                            EqualsNoCase(endpoint->Host, manager_.Host);
    uploads_.emplace(manager_.Resumable, *endpoint, sameServer ? manager_.UserName : std::u16string(),
                     sameServer ? manager_.Password : std::u16string(), exchange_,
                     [&](std::uint64_t at) {
                       // The bar never goes back when a cut sends a chunk again.
                       shown = std::max(shown, done + at);
                       if (manager_.OnProgress) manager_.OnProgress(manager_, index, count, shown, total);
                     });
    if (!GoesOn(uploads_->Discover())) return false;
    std::u16string rows;
    for (CZTFileItem& file : bodyFiles_) {
      SendFileReader* reader = OpenFileFor(file);
      if (!reader) throw FileReadFailure{win32_error::FileNotOpened};
      std::u16string path;
      if (!GoesOn(uploads_->Upload(file, *reader, &path))) return false;
      if (answered_) return true;
      rows += EscapedName(file.Name) + u"|" + tus::UploadId(path) + u"|\r\n";
      done += ListedSize(file);
      file.Size = 0;  // its part in the request is empty
      ++index;
    }
    return AddResumableField(rows);
  }

  // The outcome of a step of the uploads: false when it ended the post
  // (reported); true when it goes on, or with answered_ set when the
  // server's own reply ended it (the post's reply, as a request's would be).
  bool GoesOn(const TusOutcome& outcome) {
    switch (outcome.Result) {
      case TusOutcome::Done:
        return true;
      case TusOutcome::Answered:
        manager_.StatusCode = outcome.Status;
        manager_.ResponseText = Decode(outcome.Reply);
        answered_ = true;
        return true;
      case TusOutcome::Cancelled:
        Report(trans_code::WriteFile, CancelledError, exchange_.SystemText(CancelledError));
        return false;
      case TusOutcome::Failed:
        Report(outcome.Code, outcome.Error, outcome.Text);
        return false;
    }
    return false;
  }

  // Right after the manifest, before any file part, as servers read it.
  bool AddResumableField(const std::u16string& rows) {
    auto& fields = manager_.Messages;
    // A page's own field of that name would make the request name uploads twice.
    fields.erase(std::remove_if(fields.begin(), fields.end(),
                                [](const CZTTransData& field) { return EqualsNoCase(field.Name, ResumableField); }),
                 fields.end());
    auto manifest = std::find_if(fields.begin(), fields.end(),
                                 [](const CZTTransData& field) { return EqualsNoCase(field.Name, ManifestField); });
    fields.insert(manifest == fields.end() ? manifest : manifest + 1, CZTTransData{ResumableField, rows});
    return true;
  }

  bool OpenFiles() {
    for (const CZTFileItem& file : manager_.SendFiles) {
      if (file.LocalPath.empty()) continue;
      std::unique_ptr<SendFileReader> reader = files_.OpenForReading(file.LocalPath);
      if (reader) manager_.OpenFiles.push_back({file.LocalPath, std::move(reader)});
    }
    return manager_.OpenFiles.size() == manager_.SendFiles.size();
  }

  SendFileReader* OpenFileFor(const CZTFileItem& file) {
    for (OpenSendFile& open : manager_.OpenFiles) {
      if (EqualsNoCase(open.Path, file.LocalPath)) return open.Reader.get();
    }
    return nullptr;
  }

  bool Step(CallResult result, const char16_t* code) {
    if (result) return true;
    failedError_ = result.Error;
    Report(code, result.Error, exchange_.SystemText(result.Error));
    return false;
  }

  void Report(const char16_t* code, std::uint32_t error, std::u16string systemText) {
    failedError_ = error;
    CloseOpenFiles(&manager_.OpenFiles);
    if (!manager_.OnError) return;
    CZTTransException failure;
    failure.Code = code;
    failure.ErrorNumber = error;
    failure.SystemText = std::move(systemText);
    manager_.OnError(manager_, failure);
  }

  bool Write(const std::string& bytes, const char16_t* code, std::size_t* written = nullptr) {
    std::size_t count = 0;
    if (!Step(exchange_.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &count), code))
      return false;
    if (written) *written = count;
    return true;
  }

  // One round of the body: the request with its declared length, the
  // message section, every file part and the closing delimiter.
  bool SendBody() {
    if (!Step(exchange_.SendRequest(texts_.DeclaredLength), trans_code::SendRequest)) return false;
    if (!texts_.MessageSection.empty() && !Write(texts_.MessageSection, trans_code::WriteMessage)) return false;
    std::uint64_t bytesTotal = 0;
    for (const CZTFileItem& file : bodyFiles_) bytesTotal += ListedSize(file);
    const auto fileCount = static_cast<std::int32_t>(bodyFiles_.size());
    for (std::size_t i = 0; i < bodyFiles_.size(); ++i) {
      const CZTFileItem& file = bodyFiles_[i];
      if (!Write(texts_.FileHeaders[i], trans_code::WriteFile)) return false;
      if (!SendFileData(file, static_cast<std::int32_t>(i), fileCount, bytesTotal)) return false;
    }
    return Write(texts_.ClosingDelimiter, trans_code::WriteMessage);
  }

  static std::uint64_t ListedSize(const CZTFileItem& file) {
    return file.Size < 0 ? 0 : static_cast<std::uint64_t>(file.Size);
  }

  // Sends exactly the listed size: the declared length and the manifest were
  // made from it, so bytes a file gained since would push the closing
  // delimiter past the body's end, and a file that lost bytes cannot fill it.
  bool SendFileData(const CZTFileItem& file, std::int32_t filesDone, std::int32_t fileCount,
                    std::uint64_t bytesTotal) {
    SendFileReader* reader = OpenFileFor(file);
    CallResult rewound = reader ? reader->SeekToStart() : CallResult::Failure(win32_error::FileNotOpened);
    if (!rewound) throw FileReadFailure{rewound.Error};
    std::uint64_t remaining = ListedSize(file);
    while (remaining > 0) {
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, http_request::BlockSize));
      std::size_t got = 0;
      CallResult read = reader->Read(block_, want, &got);
      if (!read) throw FileReadFailure{read.Error};
      if (got == 0) {
        Report(trans_code::WriteFile, win32_error::HandleEof,
               u"The file " + file.LocalPath + u" ended before its listed size of " +
                   Widen(std::to_string(ListedSize(file))) + u" bytes.");
        return false;
      }
      got = std::min(got, want);
      std::size_t written = 0;
      if (!Step(exchange_.Write(block_, got, &written), trans_code::WriteFile)) return false;
      remaining -= got;
      bytesSent_ += written;
      if (manager_.OnProgress) manager_.OnProgress(manager_, filesDone, fileCount, bytesSent_, bytesTotal);
    }
    return true;
  }

  // Reads until the server has sent everything (or MaxReplyBytes), then
  // decodes the reply as a whole so no character is split between reads.
  std::u16string ReadReply() {
    std::string reply;
    while (reply.size() < MaxReplyBytes) {
      std::uint8_t buffer[http_request::BlockSize];
      std::size_t got = 0;
      if (!exchange_.Read(buffer, http_request::ReplyChunk, &got) || got == 0) break;
      got = std::min({got, http_request::ReplyChunk, MaxReplyBytes - reply.size()});
      reply.append(reinterpret_cast<const char*>(buffer), got);
    }
    return Decode(std::move(reply));
  }

  std::u16string Decode(std::string reply) const {
    auto end = reply.find('\0');
    if (end != std::string::npos) reply.resize(end);
    return manager_.Utf8 == 1 ? FromUtf8(reply) : FromAnsi(reply);
  }

  CZTTransMgr& manager_;
  HttpExchange& exchange_;
  FileOpener& files_;
  RequestTexts texts_;
  std::vector<CZTFileItem> bodyFiles_;  // the files as the request carries them
  std::optional<TusUploads> uploads_;
  bool answered_ = false;  // a resumable upload's refusal is the post's reply
  std::uint64_t bytesSent_ = 0;
  std::uint32_t failedError_ = 0;
  std::uint8_t block_[http_request::BlockSize];
};

}  // namespace

std::uint32_t PostWorker(CZTTransMgr& manager, HttpExchange& exchange, FileOpener& files,
                         const std::function<void(CZTTransMgr&)>& complete) {
  PostRun run(manager, exchange, files);
  std::uint32_t exitCode = 0;
  try {
    exitCode = run.Run();
  } catch (const FileReadFailure& failure) {
    CloseOpenFiles(&manager.OpenFiles);
    run.ReportUncoded(failure.Error, uncoded_text::FileUnreadable);
    exitCode = failure.Error;
  } catch (const std::bad_alloc&) {
    CloseOpenFiles(&manager.OpenFiles);
    run.ReportUncoded(win32_error::OutOfMemory, uncoded_text::OutOfMemory);
    exitCode = win32_error::OutOfMemory;
  } catch (const std::system_error& failure) {
    // The library's own message is English; a system error has a number.
    CloseOpenFiles(&manager.OpenFiles);
    const bool system = failure.code().category() == std::system_category();
    run.ReportUncoded(system ? static_cast<std::uint32_t>(failure.code().value()) : 0, uncoded_text::Unexpected);
  } catch (const std::exception&) {
    CloseOpenFiles(&manager.OpenFiles);
    run.ReportUncoded(0, uncoded_text::Unexpected);
  }
  CloseOpenFiles(&manager.OpenFiles);
  exchange.CloseHandles();
  if (complete) {
    complete(manager);
  } else if (manager.OnComplete) {
    manager.OnComplete(manager);
  }
  return exitCode;
}

}  // namespace zt
