#include "transfer/win/send_files.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/unique_handle.h"
#include "platform/wide_text.h"

namespace zt::win {

namespace {

class Win32SendFile final : public SendFileReader {
public:
  explicit Win32SendFile(UniqueFile file) : file_(std::move(file)) {}
  Win32SendFile(const Win32SendFile&) = delete;
  Win32SendFile& operator=(const Win32SendFile&) = delete;

  CallResult SeekToStart() override {
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file_.Get(), zero, nullptr, FILE_BEGIN)) return CallResult::Failure(GetLastError());
    return CallResult::Success();
  }

  CallResult SeekTo(std::uint64_t offset) override {
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.Get(), at, nullptr, FILE_BEGIN)) return CallResult::Failure(GetLastError());
    return CallResult::Success();
  }

  std::uint64_t Modified() override {
    FILETIME written = {};
    if (!GetFileTime(file_.Get(), nullptr, nullptr, &written)) return 0;
    return (std::uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  }

  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override {
    DWORD got = 0;
    if (!ReadFile(file_.Get(), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000)), &got, nullptr)) {
      *read = 0;
      return CallResult::Failure(GetLastError());
    }
    *read = got;
    return CallResult::Success();
  }

private:
  UniqueFile file_;
};

}  // namespace

std::unique_ptr<SendFileReader> Win32FileOpener::OpenForReading(std::u16string_view path) {
  std::u16string name(path.substr(0, path.find(u'\0')));
  if (name.empty()) return nullptr;
  UniqueFile file(CreateFileW(AsWide(name), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32SendFile>(std::move(file));
}

std::u16string Win32FileOpener::ErrorText(std::uint32_t error) { return SystemErrorText(error); }

std::u16string SystemErrorText(std::uint32_t error) {
  wchar_t text[1024] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                static_cast<DWORD>(std::size(text)) - 1, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) --length;
  return FromWide(text, length);
}

}  // namespace zt::win
