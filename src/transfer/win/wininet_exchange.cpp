#include "transfer/win/wininet_exchange.h"

#include <algorithm>
#include <climits>
#include <string>

#include "platform/wide_text.h"
#include "text/ansi.h"

namespace zt::win {

namespace {

constexpr DWORD CancelledError = ERROR_INTERNET_OPERATION_CANCELLED;

// WinINet takes zero-terminated texts; the interface hands out views.
std::u16string Terminated(std::u16string_view text) { return std::u16string(text.substr(0, text.find(u'\0'))); }

CallResult LastError() { return CallResult::Failure(GetLastError()); }

}  // namespace

WinInetExchange::WinInetExchange()
    : running_(CreateEventW(nullptr, TRUE, TRUE, nullptr)), cancelEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WinInetExchange::~WinInetExchange() {
  CloseHandles();
  if (running_) CloseHandle(running_);
  if (cancelEvent_) CloseHandle(cancelEvent_);
}

std::uint64_t WinInetExchange::MaxDeclaredLength() const { return 0xFFFFFFFFu; }

CallResult WinInetExchange::Open(std::u16string_view agent) {
  if (cancelled_) return Refused(CancelledError);
  std::u16string name = Terminated(agent);
  HINTERNET handle = InternetOpenW(AsWide(name), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!handle) return LastError();
  std::lock_guard<std::mutex> guard(lock_);
  internet_ = InternetHandle(handle);
  return CallResult::Success();
}

CallResult WinInetExchange::Connect(std::u16string_view host, std::int32_t port, std::u16string_view user,
                                    std::u16string_view password) {
  if (cancelled_) return Refused(CancelledError);
  // INTERNET_PORT is 16 bits: a larger number would silently reach another port.
  if (port < 0 || port > 0xFFFF) return Refused(ERROR_INTERNET_INVALID_URL);
  std::u16string h = Terminated(host), u = Terminated(user), p = Terminated(password);
  HINTERNET handle = InternetConnectW(internet_.Get(), AsWide(h), static_cast<INTERNET_PORT>(port), AsWide(u),
                                      AsWide(p), INTERNET_SERVICE_HTTP, 0, 0);
  if (!handle) return LastError();
  std::lock_guard<std::mutex> guard(lock_);
  connection_ = InternetHandle(handle);
  return CallResult::Success();
}

CallResult WinInetExchange::OpenRequest(std::u16string_view verb, std::u16string_view path,
                                        std::u16string_view version, std::u16string_view acceptTypes) {
  if (cancelled_) return Refused(CancelledError);
  std::u16string v = Terminated(verb), o = Terminated(path), ver = Terminated(version), a = Terminated(acceptTypes);
  // The whole list is one entry: WinINet sends it as one Accept header.
  LPCWSTR accept[] = {AsWide(a), nullptr};
  HINTERNET handle = HttpOpenRequestW(connection_.Get(), AsWide(v), AsWide(o), AsWide(ver), L"", accept,
                                      INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (!handle) return LastError();
  std::lock_guard<std::mutex> guard(lock_);
  if (cancelled_) {
    InternetCloseHandle(handle);
    return Refused(CancelledError);
  }
  request_ = InternetHandle(handle);
  return CallResult::Success();
}

HINTERNET WinInetExchange::RequestHandle() {
  std::lock_guard<std::mutex> guard(lock_);
  return cancelled_ ? nullptr : request_.Get();
}

CallResult WinInetExchange::AddHeaders(std::string_view bytes) {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  if (bytes.size() > INT_MAX) return Refused(ERROR_INVALID_PARAMETER);
  if (!HttpAddRequestHeadersA(request, bytes.data(), static_cast<DWORD>(bytes.size()), HTTP_ADDREQ_FLAG_ADD))
    return LastError();
  return CallResult::Success();
}

CallResult WinInetExchange::AddHeaders(std::u16string_view text) {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  if (text.size() > INT_MAX) return Refused(ERROR_INVALID_PARAMETER);
  if (!HttpAddRequestHeadersW(request, AsWideData(text), static_cast<DWORD>(text.size()), HTTP_ADDREQ_FLAG_ADD))
    return LastError();
  return CallResult::Success();
}

CallResult WinInetExchange::SendRequest(std::uint64_t totalLength) {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  // The post refuses longer bodies; a cut-down Content-Length would corrupt the request.
  if (totalLength > MaxDeclaredLength()) return Refused(ERROR_INVALID_PARAMETER);
  INTERNET_BUFFERSW buffers = {};
  buffers.dwStructSize = sizeof(buffers);
  buffers.dwBufferTotal = static_cast<DWORD>(totalLength);
  if (!HttpSendRequestExW(request, &buffers, nullptr, HSR_INITIATE, 0)) return LastError();
  return CallResult::Success();
}

CallResult WinInetExchange::Write(const std::uint8_t* data, std::size_t size, std::size_t* written) {
  *written = 0;
  // A paused post waits here, between two writes, with the connection open.
  // Checked first: a wait is a round trip to the kernel (to the Wine server),
  // too dear to pay on every block of a running post.
  if (cancelled_) return Refused(CancelledError);
  if (paused_ && running_ && cancelEvent_) {
    HANDLE events[] = {cancelEvent_, running_};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return Refused(CancelledError);
  }
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  // Texts larger than one DWORD can count go out in several calls.
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
    DWORD done = 0;
    if (!InternetWriteFile(request, data, piece, &done)) return LastError();
    *written += done;
    if (done == 0) break;
    data += done;
    size -= std::min<std::size_t>(size, done);
  }
  return CallResult::Success();
}

CallResult WinInetExchange::EndRequest() {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  if (!HttpEndRequestW(request, nullptr, HSR_INITIATE, 0)) return LastError();
  return CallResult::Success();
}

CallResult WinInetExchange::QueryStatusCode(std::int32_t* status) {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  DWORD number = 0, size = sizeof(number);
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr))
    return LastError();
  *status = static_cast<std::int32_t>(number);
  return CallResult::Success();
}

CallResult WinInetExchange::QueryDataAvailable() {
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  DWORD available = 0;
  if (!InternetQueryDataAvailable(request, &available, 0, 0)) return LastError();
  return CallResult::Success();
}

CallResult WinInetExchange::Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) {
  *read = 0;
  HINTERNET request = RequestHandle();
  if (!request) return Refused(CancelledError);
  DWORD got = 0;
  if (!InternetReadFile(request, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000)), &got))
    return LastError();
  *read = got;
  return CallResult::Success();
}

void WinInetExchange::CloseHandles() {
  std::lock_guard<std::mutex> guard(lock_);
  request_.Close();
  connection_.Close();
  internet_.Close();
}

std::u16string WinInetExchange::SystemText(std::uint32_t error) {
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  if (!wininet) return {};
  char text[4096] = {};
  // No inserts are supplied, so none may be expanded from a stray argument list.
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet, error, 0, text,
                                sizeof(text) - 1, nullptr);
  if (length == 0) return {};
  return FromAnsi(std::string_view(text, std::min<DWORD>(length, sizeof(text) - 1)));
}

void WinInetExchange::Pause() {
  if (running_) ResetEvent(running_);
  paused_ = true;
}

void WinInetExchange::Resume() {
  paused_ = false;
  if (running_) SetEvent(running_);
}

void WinInetExchange::Cancel() {
  cancelled_ = true;
  if (cancelEvent_) SetEvent(cancelEvent_);
  // Closing the request makes a call blocked inside WinINet return at once.
  std::lock_guard<std::mutex> guard(lock_);
  request_.Close();
}

}  // namespace zt::win
