#pragma once
// The download of one server file into a new temporary file, written against
// a small fetch interface (WinINet on Windows, a scripted fake in tests) and
// the file it fills. A download either brings the whole file or fails and
// leaves no file behind.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "transfer/http_exchange.h"
#include "transfer/url.h"

namespace zt {

namespace download_error {
// LastError values that are not Win32 error numbers.
constexpr std::int32_t BadUrl = -1;      // the URL cannot be cut into host and path
constexpr std::int32_t HttpStatus = -2;  // the server answered, but not with the file (see HttpStatus)
constexpr std::int32_t Cancelled = -3;   // the user stopped the fetch
// The reply ended before the length it declared: WinINet's "connection aborted".
constexpr std::uint32_t ConnectionAborted = 12030;
// The reply would leave the copy's folder under its spare space.
constexpr std::uint32_t DiskFull = 112;  // ERROR_DISK_FULL
}  // namespace download_error

namespace download_request {
constexpr std::uint32_t ConnectTimeoutMs = 30000;
constexpr std::size_t ReadSize = 64 * 1024;  // bytes asked of each read
// Free space a download always leaves in the folder of its copy: a server's
// endless reply ends there, not when the disk is full.
constexpr std::uint64_t SpareSpace = 64ull * 1024 * 1024;
}  // namespace download_request

// One fetch over the platform's internet session. Calls come in this order:
// Open, OpenUrl, QueryStatusCode, ContentLength, Read until it reads 0 bytes
// or fails; Close may come after any step.
class DownloadExchange {
public:
  virtual ~DownloadExchange() = default;
  // InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, no proxy, 0), then its
  // connect timeout.
  virtual CallResult Open(std::u16string_view agent, std::uint32_t connectTimeoutMs) = 0;
  // A GET of address's path from its host and port, no headers of ours, a
  // fresh copy from the server that is not kept in the cache, over TLS for
  // a secure address; silence is limited as for a post's reply.
  virtual CallResult OpenUrl(const ServerAddress& address) = 0;
  virtual CallResult QueryStatusCode(std::int32_t* status) = 0;
  // The length the reply declares, if it declares one.
  virtual std::optional<std::uint64_t> ContentLength() = 0;
  // One InternetReadFile of at most size bytes; *read is 0 at the end.
  virtual CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) = 0;
  // Closes the URL and internet handles that are open.
  virtual void Close() = 0;
};

// The temporary file a download fills.
class DownloadTarget {
public:
  virtual ~DownloadTarget() = default;
  // The free space of the folder the file goes in, when it can be told.
  virtual std::optional<std::uint64_t> FreeSpace() { return std::nullopt; }
  // Makes a new, empty temporary file.
  virtual CallResult Create() = 0;
  virtual CallResult Write(const std::uint8_t* data, std::size_t size) = 0;
  // Closes the complete file.
  virtual CallResult Finish() = 0;
  // Closes and deletes the file, if one was made.
  virtual void Discard() = 0;
};

// What a running download has brought so far, and the user's wish to stop
// it: written by the thread that fetches, read and set by the one that
// shows it, neither waiting for the other.
struct DownloadProgress {
  std::atomic<std::uint64_t> Received{0};
  std::atomic<std::uint64_t> Total{0};  // the declared length; 0 when none was declared
  std::atomic<bool> Cancelled{false};
};

struct DownloadOutcome {
  // 0 on success; otherwise the Win32 error of the failing step, or one of
  // download_error's own values.
  std::int32_t LastError = 0;
  std::int32_t HttpStatus = 0;  // the reply's status, once known
  // The address the request went to (AddressText), once the URL was cut: what
  // a copy's download mark names, never the page's text, which may read as
  // another host.
  std::u16string Address;
  bool Ok() const { return LastError == 0; }
};

// Fetches url (a server entry's path; controlPort as CutServerUrl takes it)
// into the target. The file is made only once the server has answered 2xx,
// every byte is read until the server has sent all (a short read is not the
// end), and a reply shorter than its declared length fails. A reply may
// fill the folder's free space only down to download_request::SpareSpace: a
// declared length beyond that fails before the file is made, an undeclared
// one when it reaches it (ERROR_DISK_FULL). On any failure the target is
// discarded. With progress, the bytes received and the declared length are
// told as they come, and a cancel seen before the file is made or between
// two reads (or a step that fails once it was asked) ends the download with
// download_error::Cancelled.
DownloadOutcome RunDownload(DownloadExchange& exchange, DownloadTarget& target, std::u16string_view url,
                            std::int32_t controlPort, DownloadProgress* progress = nullptr);

// The path a downloaded copy of an entry takes: copyPath followed by "." and
// the entry's extension, so the shell opens it with the right program.
// copyPath alone when the extension is empty or could not end a file name
// where the copy lies (a separator, a colon, a wildcard, a control character,
// a trailing space): a name given by the server never moves the copy
// elsewhere.
std::u16string CopyPathWithExtension(std::u16string_view copyPath, std::u16string_view extension);

// The name of a downloaded copy in the temporary folder: "ZTF", unique as
// eight hexadecimal digits, ".tmp", then the entry's extension as
// CopyPathWithExtension adds it ("ZTF00C0FFEE.tmp.pdf").
std::u16string TempCopyName(std::uint32_t unique, std::u16string_view extension);

}  // namespace zt
