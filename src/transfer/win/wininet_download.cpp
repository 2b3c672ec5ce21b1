#include "transfer/win/wininet_download.h"

#include <algorithm>

#include "platform/wide_text.h"

namespace zt::win {

namespace {

CallResult Outcome(BOOL ok) { return ok ? CallResult::Success() : CallResult::Failure(GetLastError()); }

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
  const std::u16string text = AddressText(address);
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
  if (address.Secure) flags |= INTERNET_FLAG_SECURE;
  url_ = InternetHandle(InternetOpenUrlW(internet_.Get(), AsWide(text), nullptr, 0, flags, 0));
  return Outcome(url_ ? TRUE : FALSE);
}

CallResult WinInetDownload::QueryStatusCode(std::int32_t* status) {
  DWORD number = 0, size = sizeof(number);
  CallResult queried =
      Outcome(HttpQueryInfoW(url_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
  if (queried) *status = static_cast<std::int32_t>(number);
  return queried;
}

std::optional<std::uint64_t> WinInetDownload::ContentLength() {
  // As text: the number form is 32 bits and a file may be larger.
  wchar_t text[32] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  if (!HttpQueryInfoW(url_.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
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
  DWORD got = 0;
  CallResult result =
      Outcome(InternetReadFile(url_.Get(), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000)), &got));
  *read = result ? got : 0;
  return result;
}

void WinInetDownload::Close() {
  url_.Close();
  internet_.Close();
}

}  // namespace zt::win
