#include "transfer/win/wininet_download.h"

#include <algorithm>

#include "platform/wide_text.h"
#include "transfer/win/reply_limit.h"

namespace zt::win {

namespace {

CallResult Outcome(BOOL ok) { return ok ? CallResult::Success() : CallResult::Failure(GetLastError()); }

// A server that stops sending ends the fetch as it ends a post: the wait for
// the reply's head and for every read counts silence up to the reply limit.
void LimitSilence(HINTERNET handle) {
  DWORD limit = ReplyWaitLimitMs();
  InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof(limit));
}

}  // namespace

CallResult WinInetDownload::Open(std::u16string_view agent, std::uint32_t connectTimeoutMs) {
  const std::u16string name(agent);
  internet_ = InternetHandle(InternetOpenW(AsWide(name), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet_) return CallResult::Failure(GetLastError());
  DWORD timeout = connectTimeoutMs;
  // A session without its timeout still works, with WinINet's own.
  InternetSetOptionW(internet_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
  return CallResult::Success();
}

CallResult WinInetDownload::OpenUrl(const ServerAddress& address) {
  // Connection and request apart (not InternetOpenUrlW) so that the request
  // has its silence limit before it is sent: WinINet reads it from the
  // request handle, for the reply's head as for every read.
  std::u16string host = address.Host;
  if (host.size() > 2 && host.front() == u'[' && host.back() == u']') host = host.substr(1, host.size() - 2);
  connection_ = InternetHandle(InternetConnectW(internet_.Get(), AsWide(host), static_cast<INTERNET_PORT>(address.Port),
                                                nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection_) return CallResult::Failure(GetLastError());
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (address.Secure) flags |= INTERNET_FLAG_SECURE;
  const wchar_t* anyType[] = {L"*/*", nullptr};
  InternetHandle request(
      HttpOpenRequestW(connection_.Get(), L"GET", AsWide(address.Path), nullptr, nullptr, anyType, flags, 0));
  if (!request) return CallResult::Failure(GetLastError());
  LimitSilence(request.Get());
  {
    std::lock_guard<std::mutex> hold(requestLock_);
    url_ = std::move(request);
  }
  return Outcome(HttpSendRequestW(Request(), nullptr, 0, nullptr, 0));
}

CallResult WinInetDownload::QueryStatusCode(std::int32_t* status) {
  DWORD number = 0, size = sizeof(number);
  CallResult queried =
      Outcome(HttpQueryInfoW(Request(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
  if (queried) *status = static_cast<std::int32_t>(number);
  return queried;
}

std::optional<std::uint64_t> WinInetDownload::ContentLength() {
  // As text: the number form is 32 bits and a file may be larger.
  wchar_t text[32] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  if (!HttpQueryInfoW(Request(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
  std::uint64_t length = 0;
  const wchar_t* c = text;
  if (!*c) return std::nullopt;
  for (; *c; ++c) {
    if (*c < L'0' || *c > L'9' || length > (UINT64_MAX - 9) / 10) return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(*c - L'0');
  }
  return length;
}

CallResult WinInetDownload::Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) {
  *read = 0;
  // A read waits until its whole size arrived; asking only for what has come
  // lets a slow reply's progress show as it arrives. 0 available is the end.
  DWORD available = 0;
  if (!InternetQueryDataAvailable(Request(), &available, 0, 0)) return CallResult::Failure(GetLastError());
  if (available == 0) return CallResult::Success();
  DWORD got = 0;
  const std::size_t asked = std::min<std::size_t>({size, available, 0x40000000});
  CallResult result = Outcome(InternetReadFile(Request(), buffer, static_cast<DWORD>(asked), &got));
  *read = result ? got : 0;
  return result;
}

HINTERNET WinInetDownload::Request() {
  std::lock_guard<std::mutex> hold(requestLock_);
  return url_.Get();
}

void WinInetDownload::Abort() {
  std::lock_guard<std::mutex> hold(requestLock_);
  url_.Close();
}

void WinInetDownload::Close() {
  {
    std::lock_guard<std::mutex> hold(requestLock_);
    url_.Close();
  }
  connection_.Close();
  internet_.Close();
}

}  // namespace zt::win
