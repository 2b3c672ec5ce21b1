#pragma once
// What one post asks of the platform: the HTTP exchange (WinINet on Windows,
// a scripted fake in tests) and the files it streams. The post procedure
// (post_worker.h) drives these in a fixed order; every call reports success
// or the Win32 error number of the failing call, never throws.
//
// Pause and cancel stay inside the implementation: a paused exchange waits in
// Write between blocks, a cancelled one closes its request handle so the
// pending or next call fails, which ends the post with that step's code.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zt {

// Win32 error numbers the post gives meaning to.
namespace win32_error {
constexpr std::uint32_t NotEnoughMemory = 8;
constexpr std::uint32_t InvalidData = 13;  // ERROR_INVALID_DATA
constexpr std::uint32_t OutOfMemory = 14;
constexpr std::uint32_t InternetForceRetry = 12032;  // ERROR_INTERNET_FORCE_RETRY
constexpr std::uint32_t InternetInvalidUrl = 12005;  // ERROR_INTERNET_INVALID_URL
constexpr std::uint32_t InvalidServerResponse = 12152;  // ERROR_HTTP_INVALID_SERVER_RESPONSE
// Reported with E04001: the number the upload has always used for "a file to
// send cannot be opened".
constexpr std::uint32_t FileNotOpened = 12;
}  // namespace win32_error

// The outcome of one platform call: success, or the failing call's Win32
// error number (GetLastError right after it).
struct CallResult {
  bool Ok = true;
  std::uint32_t Error = 0;

  static CallResult Success() { return {}; }
  static CallResult Failure(std::uint32_t error) { return {false, error}; }
  explicit operator bool() const { return Ok; }
};

// The fixed parameters of the exchange, shared so every implementation sends
// the same request line and headers.
namespace http_request {
constexpr char16_t UserAgent[] = u"Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0)";
constexpr char16_t Verb[] = u"POST";
constexpr char16_t Version[] = u"HTTP/1.0";
// One accept-types entry holding the whole list (not split at the commas).
constexpr char16_t AcceptTypes[] =
    u"image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
    u"application/vnd.ms-excel, application/msword, */*";
constexpr std::size_t BlockSize = 4096;  // file data is written in blocks of at most this
constexpr std::size_t ReplyChunk = 4095;  // bytes asked of each reply read
}  // namespace http_request

// One HTTP POST over the platform's internet session. Calls come in this
// order for one post: Open, Connect, OpenRequest, AddHeaders, then one or more
// rounds of SendRequest / Write... / EndRequest (a round is repeated when
// EndRequest fails with InternetForceRetry), QueryStatusCode,
// QueryDataAvailable, Read until it reads 0 bytes or fails, and finally
// CloseHandles. CloseHandles may come after any step and more than once.
class HttpExchange {
public:
  virtual ~HttpExchange() = default;

  // The largest body length the platform can declare in Content-Length.
  // The post refuses a larger body before connecting rather than declare a
  // wrong length. (WinINet's dwBufferTotal is 32 bits; past that our
  // exchange writes the header itself.)
  virtual std::uint64_t MaxDeclaredLength() const = 0;

  // InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, no proxy, 0).
  virtual CallResult Open(std::u16string_view agent) = 0;
  // InternetConnectW(host, port, user, password, INTERNET_SERVICE_HTTP, 0, 0);
  // user and password are passed as empty texts when there are none.
  virtual CallResult Connect(std::u16string_view host, std::int32_t port, std::u16string_view user,
                             std::u16string_view password) = 0;
  // HttpOpenRequestW(verb, path, version, referrer "", {acceptTypes},
  // INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT, plus
  // INTERNET_FLAG_SECURE when secure, 0). No flag that ignores a certificate
  // problem is ever passed.
  virtual CallResult OpenRequest(std::u16string_view verb, std::u16string_view path, std::u16string_view version,
                                 std::u16string_view acceptTypes, bool secure) = 0;
  // HttpAddRequestHeadersA with the block's bytes (UTF-8 posts), HTTP_ADDREQ_FLAG_ADD.
  virtual CallResult AddHeaders(std::string_view bytes) = 0;
  // HttpAddRequestHeadersW with the wide block (ANSI posts), HTTP_ADDREQ_FLAG_ADD.
  virtual CallResult AddHeaders(std::u16string_view text) = 0;
  // HttpSendRequestExW with HSR_INITIATE and one INTERNET_BUFFERSW whose
  // dwBufferTotal is totalLength (past 32 bits: 0, with a Content-Length
  // header of totalLength added first). The post never passes a length above
  // MaxDeclaredLength().
  virtual CallResult SendRequest(std::uint64_t totalLength) = 0;
  // One InternetWriteFile of exactly size bytes; *written receives the count
  // the platform reports. An accepted write is taken as complete.
  virtual CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) = 0;
  // HttpEndRequestW(HSR_INITIATE). A failure with InternetForceRetry asks for
  // the whole body again on the same request.
  virtual CallResult EndRequest() = 0;
  // HttpQueryInfoW(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER).
  virtual CallResult QueryStatusCode(std::int32_t* status) = 0;
  // InternetQueryDataAvailable.
  virtual CallResult QueryDataAvailable() = 0;
  // One InternetReadFile of at most size bytes; *read receives the count
  // (0 at the end of the reply).
  virtual CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) = 0;
  // Closes the request, connection and internet handles that are open, in
  // that order, and forgets them.
  virtual void CloseHandles() = 0;
  // The text of error number from WinINet's message table (ANSI-converted);
  // empty when the table has none.
  virtual std::u16string SystemText(std::uint32_t error) = 0;

  // What the resumable transport asks on top of the single request. Each of
  // its requests is a whole round (Open .. CloseHandles) of its own.
  //
  // The value of the reply header name (HttpQueryInfoA with
  // HTTP_QUERY_CUSTOM), at most MaxHeaderValue bytes; fails when absent.
  virtual CallResult QueryHeader(std::string_view name, std::string* value) {
    (void)name, (void)value;
    return CallResult::Failure(HeaderNotFound);
  }
  // Waits ms milliseconds between two tries; false (at once) when the
  // exchange was cancelled meanwhile.
  virtual bool Wait(std::uint32_t ms) {
    (void)ms;
    return !Cancelled();
  }
  // Cancelled from outside (the post was stopped): no call will succeed again.
  virtual bool Cancelled() const { return false; }
  // The person gave the post up (not the page going away): uploads begun on
  // the server are removed there rather than left to resume.
  virtual bool Withdrawn() const { return false; }
  // A new exchange of the same kind, for what must still go out after this
  // one was cancelled (removing withdrawn uploads); null when none can be made.
  virtual std::unique_ptr<HttpExchange> Fresh() { return nullptr; }

  static constexpr std::uint32_t HeaderNotFound = 12150;  // ERROR_HTTP_HEADER_NOT_FOUND
  static constexpr std::size_t MaxHeaderValue = 8192;
};

// A file opened for one post.
class SendFileReader {
public:
  virtual ~SendFileReader() = default;
  // Back to the first byte (each round of the exchange sends files whole).
  virtual CallResult SeekToStart() = 0;
  // To byte offset (a resumed upload goes on from the server's offset).
  // Readers that cannot seek read their way there.
  virtual CallResult SeekTo(std::uint64_t offset);
  // The file's last modification, in the platform's units (0 when unknown):
  // a resumed upload must be of the same file as it was.
  virtual std::uint64_t Modified() { return 0; }
  // Reads at most size bytes; *read receives the count, 0 at the end.
  virtual CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) = 0;
};

inline CallResult SendFileReader::SeekTo(std::uint64_t offset) {
  if (CallResult rewound = SeekToStart(); !rewound) return rewound;
  std::uint8_t skip[4096];
  while (offset > 0) {
    std::size_t got = 0;
    if (CallResult read = Read(skip, offset < sizeof(skip) ? std::size_t(offset) : sizeof(skip), &got); !read)
      return read;
    if (got == 0) return CallResult::Failure(38);  // ERROR_HANDLE_EOF
    offset -= got;
  }
  return CallResult::Success();
}

// Opens the files of a post.
class FileOpener {
public:
  virtual ~FileOpener() = default;
  // Opens path for reading with full sharing (others may read, write and
  // delete); null when it cannot be opened.
  virtual std::unique_ptr<SendFileReader> OpenForReading(std::u16string_view path) = 0;
  // The system's text for a Win32 error number, in the user's language
  // (FormatMessage of the system table on Windows); may be empty.
  virtual std::u16string ErrorText(std::uint32_t error) = 0;
};

}  // namespace zt
