#include "transfer/win/download_mark.h"

#include <windows.h>
#include <shobjidl.h>
#include <urlmon.h>

#include "platform/com_ptr.h"
#include "platform/unique_handle.h"
#include "platform/wide_text.h"
#include "text/utf8.h"

namespace zt::win {

namespace {

// Names this program to attachment services, which keep settings per client.
constexpr GUID kClientGuid = {0x4d1a6c3f, 0x2b7e, 0x4f62, {0x9a, 0x1d, 0x5e, 0x3c, 0x70, 0x8b, 0x21, 0xe4}};
constexpr unsigned kInternetZone = 3;  // URLZONE_INTERNET

bool ByAttachmentServices(const std::u16string& path, const std::u16string& url, const std::u16string& referrer) {
  com::ComPtr<IAttachmentExecute> execute;
  if (FAILED(CoCreateInstance(CLSID_AttachmentServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAttachmentExecute,
                              execute.PutVoid())))
    return false;
  if (FAILED(execute->SetClientGuid(kClientGuid)) || FAILED(execute->SetLocalPath(AsWide(path))) ||
      FAILED(execute->SetSource(AsWide(url))))
    return false;
  if (!referrer.empty()) execute->SetReferrer(AsWide(referrer));
  return SUCCEEDED(execute->Save());
}

// The zone the platform puts url in; the Internet zone when it cannot say.
unsigned ZoneOf(const std::u16string& url) {
  com::ComPtr<IInternetSecurityManager> manager;
  if (FAILED(CoInternetCreateSecurityManager(nullptr, manager.Put(), 0))) return kInternetZone;
  DWORD zone = kInternetZone;
  if (FAILED(manager->MapUrlToZone(AsWide(url), &zone, 0)) || zone > 4) return kInternetZone;
  // A copy never counts as the local machine's own: that zone trusts everything.
  return zone == 0 ? kInternetZone : zone;
}

std::string OneLine(const std::u16string& text) {
  std::u16string line;
  for (char16_t c : text)
    if (c != u'\r' && c != u'\n' && c != u'\0') line += c;
  return ToUtf8(line);
}

// Whether a file named like the stream sits beside the copy: a file system
// without streams took ":" as part of a name.
bool LeftBeside(const std::wstring& streamPath) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(streamPath.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

}  // namespace

std::string ZoneIdentifierText(unsigned zone, const std::u16string& url, const std::u16string& referrer) {
  std::string text = "[ZoneTransfer]\r\nZoneId=" + std::to_string(zone) + "\r\n";
  if (!referrer.empty()) text += "ReferrerUrl=" + OneLine(referrer) + "\r\n";
  if (!url.empty()) text += "HostUrl=" + OneLine(url) + "\r\n";
  return text;
}

MarkResult MarkDownloaded(const std::u16string& path, const std::u16string& url, const std::u16string& referrer) {
  if (ByAttachmentServices(path, url, referrer)) return MarkResult::AttachmentServices;
  const std::wstring stream = std::wstring(AsWide(path)) + L":Zone.Identifier";
  const std::string text = ZoneIdentifierText(ZoneOf(url), url, referrer);
  UniqueFile file(CreateFileW(stream.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return MarkResult::NotHeld;
  DWORD written = 0;
  const bool wrote = WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                     written == text.size();
  file.Reset();
  if (LeftBeside(stream)) {
    DeleteFileW(stream.c_str());
    return MarkResult::NotHeld;
  }
  return wrote ? MarkResult::StreamWritten : MarkResult::NotHeld;
}

}  // namespace zt::win
