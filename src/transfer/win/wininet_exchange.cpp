#include "transfer/win/wininet_exchange.h"

#include <algorithm>
#include <climits>
#include <string>

#include "platform/wide_text.h"
#include "transfer/win/reply_limit.h"
#include "text/ansi.h"

namespace zt::win {

namespace {

constexpr DWORD CancelledError = ERROR_INTERNET_OPERATION_CANCELLED;

// WinINet takes zero-terminated texts; the interface hands out views.
std::u16string Terminated(std::u16string_view text) { return std::u16string(text.substr(0, text.find(u'\0'))); }

// The outcome of a WinINet call, read right after it (before any lock can
// change the thread's last error).
CallResult Outcome(BOOL ok) { return ok ? CallResult::Success() : CallResult::Failure(GetLastError()); }

CallResult Refused(std::uint32_t error) { return CallResult::Failure(error); }

}  // namespace

WinInetExchange::WinInetExchange()
    : running_(CreateEventW(nullptr, TRUE, TRUE, nullptr)), cancelEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WinInetExchange::~WinInetExchange() {
  CloseHandles();
}

template <typename Call>
CallResult WinInetExchange::WithHandle(InternetHandle WinInetExchange::*from, InternetHandle WinInetExchange::*into,
                                       Call&& call) {
  HINTERNET handle = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (cancelled_) return Refused(CancelledError);
    if (from) {
      handle = (this->*from).Get();
      if (!handle) return Refused(ERROR_INVALID_HANDLE);
    }
    inCall_ = true;
  }
  HINTERNET made = nullptr;
  CallResult result = call(handle, &made);
  std::lock_guard<std::mutex> guard(lock_);
  inCall_ = false;
  if (made) (this->*into) = InternetHandle(made);
  if (cancelled_ || closeWhenIdle_) CloseAllLocked();
  if (made && cancelled_) return Refused(CancelledError);
  return result;
}

// Past 32 bits the post declares the length itself (see SendRequest).
std::uint64_t WinInetExchange::MaxDeclaredLength() const { return UINT64_MAX; }

CallResult WinInetExchange::Open(std::u16string_view agent) {
  // A post paused before it began (one queued behind another) waits here,
  // before it opens anything.
  if (!WaitWhilePaused()) return Refused(CancelledError);
  std::u16string name = Terminated(agent);
  return WithHandle(nullptr, &WinInetExchange::internet_, [&](HINTERNET, HINTERNET* made) {
    *made = InternetOpenW(AsWide(name), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return Outcome(*made != nullptr);
  });
}

CallResult WinInetExchange::Connect(std::u16string_view host, std::int32_t port, std::u16string_view user,
                                    std::u16string_view password) {
  // INTERNET_PORT is 16 bits: a larger number would silently reach another port.
  if (cancelled_) return Refused(CancelledError);
  if (port < 0 || port > 0xFFFF) return Refused(ERROR_INTERNET_INVALID_URL);
  std::u16string h = Terminated(host), u = Terminated(user), p = Terminated(password);
  return WithHandle(&WinInetExchange::internet_, &WinInetExchange::connection_,
                    [&](HINTERNET internet, HINTERNET* made) {
                      *made = InternetConnectW(internet, AsWide(h), static_cast<INTERNET_PORT>(port), AsWide(u),
                                               AsWide(p), INTERNET_SERVICE_HTTP, 0, 0);
                      return Outcome(*made != nullptr);
                    });
}

CallResult WinInetExchange::OpenRequest(std::u16string_view verb, std::u16string_view path,
                                        std::u16string_view version, std::u16string_view acceptTypes, bool secure) {
  std::u16string v = Terminated(verb), o = Terminated(path), ver = Terminated(version), a = Terminated(acceptTypes);
  // The whole list is one entry: WinINet sends it as one Accept header.
  LPCWSTR accept[] = {AsWide(a), nullptr};
  // A redirect is the server's reply to the post, for the page to read: the
  // body is not sent on to another address (WinINet would repeat it as a
  // GET, under Wine without end when the target redirects again).
  const DWORD flags =
      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT | (secure ? INTERNET_FLAG_SECURE : 0);
  return WithHandle(&WinInetExchange::connection_, &WinInetExchange::request_,
                    [&](HINTERNET connection, HINTERNET* made) {
                      *made = HttpOpenRequestW(connection, AsWide(v), AsWide(o), AsWide(ver), L"", accept,
                                               flags, 0);
                      if (!*made) return Outcome(FALSE);
                      // A server that takes the body and never answers ends the
                      // post after the reply limit, also on the caller's thread
                      // where no dialog watches (Wine reads it from the request).
                      DWORD limit = ReplyWaitLimitMs();
                      InternetSetOptionW(*made, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof(limit));
                      return CallResult::Success();
                    });
}

CallResult WinInetExchange::AddHeaders(std::string_view bytes) {
  if (bytes.size() > INT_MAX) return Refused(ERROR_INVALID_PARAMETER);
  return WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(
        HttpAddRequestHeadersA(request, bytes.data(), static_cast<DWORD>(bytes.size()), HTTP_ADDREQ_FLAG_ADD));
  });
}

CallResult WinInetExchange::AddHeaders(std::u16string_view text) {
  if (text.size() > INT_MAX) return Refused(ERROR_INVALID_PARAMETER);
  return WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(
        HttpAddRequestHeadersW(request, AsWideData(text), static_cast<DWORD>(text.size()), HTTP_ADDREQ_FLAG_ADD));
  });
}

CallResult WinInetExchange::SendRequest(std::uint64_t totalLength) {
  // dwBufferTotal counts 32 bits. A longer body gets a Content-Length header
  // of our own and a total of 0: WinINet then sends our header as written and
  // every byte the post writes, still HTTP/1.0 and not chunked (measured
  // under Wine with a 4.5 GiB body). Shorter bodies go as they always did.
  const bool ownLength = totalLength > 0xFFFFFFFFu;
  return WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    if (ownLength) {
      const std::string header = "Content-Length: " + std::to_string(totalLength) + "\r\n";
      if (!HttpAddRequestHeadersA(request, header.c_str(), static_cast<DWORD>(header.size()),
                                  HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
        return Outcome(FALSE);
    }
    INTERNET_BUFFERSW buffers = {};
    buffers.dwStructSize = sizeof(buffers);
    buffers.dwBufferTotal = ownLength ? 0 : static_cast<DWORD>(totalLength);
    return Outcome(HttpSendRequestExW(request, &buffers, nullptr, HSR_INITIATE, 0));
  });
}

bool WinInetExchange::WaitWhilePaused() {
  // Checked first: a wait is a round trip to the kernel (to the Wine server),
  // too dear to pay on every block of a running post.
  if (cancelled_) return false;
  if (paused_ && running_ && cancelEvent_) {
    HANDLE events[] = {cancelEvent_.Get(), running_.Get()};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
  }
  return true;
}

CallResult WinInetExchange::Write(const std::uint8_t* data, std::size_t size, std::size_t* written) {
  *written = 0;
  // A paused post waits here, between two writes, with the connection open.
  if (!WaitWhilePaused()) return Refused(CancelledError);
  // Texts larger than one DWORD can count go out in several calls.
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
    DWORD done = 0;
    CallResult wrote = WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
      return Outcome(InternetWriteFile(request, data, piece, &done));
    });
    if (!wrote) return wrote;
    *written += done;
    if (done == 0) break;
    data += done;
    size -= std::min<std::size_t>(size, done);
  }
  return CallResult::Success();
}

CallResult WinInetExchange::EndRequest() {
  return WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(HttpEndRequestW(request, nullptr, HSR_INITIATE, 0));
  });
}

CallResult WinInetExchange::QueryStatusCode(std::int32_t* status) {
  DWORD number = 0, size = sizeof(number);
  CallResult queried = WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
  });
  if (queried) *status = static_cast<std::int32_t>(number);
  return queried;
}

CallResult WinInetExchange::QueryDataAvailable() {
  return WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    DWORD available = 0;
    return Outcome(InternetQueryDataAvailable(request, &available, 0, 0));
  });
}

CallResult WinInetExchange::Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) {
  *read = 0;
  DWORD got = 0;
  CallResult result = WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(
        InternetReadFile(request, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000)), &got));
  });
  if (result) *read = got;
  return result;
}

void WinInetExchange::CloseAllLocked() {
  request_.Close();
  connection_.Close();
  internet_.Close();
  closeWhenIdle_ = false;
}

void WinInetExchange::CloseHandles() {
  std::lock_guard<std::mutex> guard(lock_);
  if (inCall_) {
    closeWhenIdle_ = true;
  } else {
    CloseAllLocked();
  }
}

std::u16string WinInetExchange::SystemText(std::uint32_t error) { return WinInetErrorText(error); }

CallResult WinInetExchange::QueryHeader(std::string_view name, std::string* value) {
  // HTTP_QUERY_CUSTOM takes the name in the buffer and answers in it.
  std::string buffer(MaxHeaderValue + 1, '\0');
  if (name.size() >= buffer.size()) return Refused(ERROR_INVALID_PARAMETER);
  buffer.replace(0, name.size(), name);
  DWORD size = static_cast<DWORD>(buffer.size());
  CallResult queried = WithHandle(&WinInetExchange::request_, nullptr, [&](HINTERNET request, HINTERNET*) {
    return Outcome(HttpQueryInfoA(request, HTTP_QUERY_CUSTOM, buffer.data(), &size, nullptr));
  });
  if (!queried) return queried;  // absent, or longer than any value we take
  buffer.resize(std::min<std::size_t>(size, MaxHeaderValue));
  *value = std::move(buffer);
  return queried;
}

bool WinInetExchange::Wait(std::uint32_t ms) {
  if (cancelled_) return false;
  if (cancelEvent_) return WaitForSingleObject(cancelEvent_.Get(), ms) == WAIT_TIMEOUT && !cancelled_;
  Sleep(ms);
  return !cancelled_;
}

std::unique_ptr<HttpExchange> WinInetExchange::Fresh() { return std::make_unique<WinInetExchange>(); }

void WinInetExchange::Pause() {
  if (running_) ResetEvent(running_.Get());
  paused_ = true;
}

void WinInetExchange::Resume() {
  paused_ = false;
  if (running_) SetEvent(running_.Get());
}

void WinInetExchange::Cancel() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    cancelled_ = true;
    // Between calls the worker takes no handle any more: close them now. A
    // call in progress keeps its handles until it returns.
    if (!inCall_) CloseAllLocked();
  }
  if (cancelEvent_) SetEvent(cancelEvent_.Get());
}

void WinInetExchange::Interrupt() {
  std::lock_guard<std::mutex> guard(lock_);
  // Closing makes the blocked call return; the worker starts no other.
  if (cancelled_ && inCall_) CloseAllLocked();
}

std::u16string WinInetErrorText(std::uint32_t error) {
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  if (!wininet) return {};
  char text[4096] = {};
  // No inserts are supplied, so none may be expanded from a stray argument list.
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet, error, 0, text,
                                sizeof(text) - 1, nullptr);
  length = std::min<DWORD>(length, sizeof(text) - 1);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) --length;
  return FromAnsi(std::string_view(text, length));
}

}  // namespace zt::win
