#include "transfer/download.h"

#include <vector>

namespace zt {

namespace {

DownloadOutcome Failed(std::int32_t error, std::int32_t status = 0) {
  DownloadOutcome outcome;
  outcome.LastError = error;
  outcome.HttpStatus = status;
  return outcome;
}

DownloadOutcome FailedCall(const CallResult& call) { return Failed(static_cast<std::int32_t>(call.Error)); }

bool CancelAsked(const DownloadProgress* progress) { return progress && progress->Cancelled.load(); }

DownloadOutcome Fetch(DownloadExchange& exchange, DownloadTarget& target, const ServerAddress& address,
                      DownloadProgress* progress) {
  if (CallResult opened = exchange.Open(http_request::UserAgent, download_request::ConnectTimeoutMs); !opened)
    return FailedCall(opened);
  if (CallResult reached = exchange.OpenUrl(address); !reached) return FailedCall(reached);

  // An error page is not the file: nothing is saved for it.
  std::int32_t status = 0;
  if (CallResult queried = exchange.QueryStatusCode(&status); !queried) return FailedCall(queried);
  if (status < 200 || status > 299) return Failed(download_error::HttpStatus, status);
  const std::optional<std::uint64_t> declared = exchange.ContentLength();
  const std::optional<std::uint64_t> free = target.FreeSpace();
  const std::uint64_t room =
      !free ? UINT64_MAX : (*free > download_request::SpareSpace ? *free - download_request::SpareSpace : 0);
  if (declared && *declared > room) return Failed(download_error::DiskFull, status);
  if (progress && declared) progress->Total = *declared;

  if (CancelAsked(progress)) return Failed(download_error::Cancelled, status);

  if (CallResult created = target.Create(); !created) return Failed(static_cast<std::int32_t>(created.Error), status);
  std::vector<std::uint8_t> buffer(download_request::ReadSize);
  std::uint64_t received = 0;
  for (;;) {
    std::size_t read = 0;
    if (CancelAsked(progress)) return Failed(download_error::Cancelled, status);
    if (CallResult got = exchange.Read(buffer.data(), buffer.size(), &read); !got)
      return Failed(static_cast<std::int32_t>(got.Error), status);
    if (read == 0) break;
    if (read > room - received) return Failed(download_error::DiskFull, status);
    if (CallResult wrote = target.Write(buffer.data(), read); !wrote)
      return Failed(static_cast<std::int32_t>(wrote.Error), status);
    received += read;
    if (progress) progress->Received = received;
  }
  if (declared && received < *declared) return Failed(download_error::ConnectionAborted, status);
  if (CallResult finished = target.Finish(); !finished) return Failed(static_cast<std::int32_t>(finished.Error), status);
  return Failed(0, status);
}

}  // namespace

DownloadOutcome RunDownload(DownloadExchange& exchange, DownloadTarget& target, std::u16string_view url,
                            std::int32_t controlPort, DownloadProgress* progress) {
  const std::optional<ServerAddress> address = CutServerUrl(url, controlPort);
  if (!address) return Failed(download_error::BadUrl);
  DownloadOutcome outcome = Fetch(exchange, target, *address, progress);
  outcome.Address = AddressText(*address);
  // A cancel closes the request under a blocked call, which then fails.
  if (!outcome.Ok() && CancelAsked(progress)) outcome.LastError = download_error::Cancelled;
  exchange.Close();
  if (!outcome.Ok()) target.Discard();
  return outcome;
}

std::u16string CopyPathWithExtension(std::u16string_view copyPath, std::u16string_view extension) {
  bool usable = !extension.empty() && extension.back() != u' ';
  for (char16_t c : extension) {
    if (c < 0x20 || c == 0x7F || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
      usable = false;
      break;
    }
  }
  std::u16string path(copyPath);
  if (usable) {
    path += u'.';
    path += extension;
  }
  return path;
}

std::u16string TempCopyName(std::uint32_t unique, std::u16string_view extension) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string name = u"ZTF";
  for (int shift = 28; shift >= 0; shift -= 4) name += kDigits[(unique >> shift) & 0xF];
  name += u".tmp";
  return CopyPathWithExtension(name, extension);
}

}  // namespace zt
