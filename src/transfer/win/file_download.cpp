#include "transfer/win/file_download.h"

#include <algorithm>

#include "platform/wide_text.h"
#include "text/unicode.h"
#include "transfer/download.h"
#include "transfer/win/send_files.h"
#include "transfer/win/wininet_download.h"
#include "transfer/win/wininet_exchange.h"

namespace zt {

namespace {

// The download's file: made on demand, deleted again unless it was completed.
class TempFileTarget final : public DownloadTarget {
public:
  explicit TempFileTarget(CZTFileDownload& download) : download_(download) {}

  CallResult Create() override {
    file_ = download_.CreateTempFile();
    return file_ ? CallResult::Success() : CallResult::Failure(GetLastError());
  }
  CallResult Write(const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      DWORD written = 0;
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 0x40000000));
      if (!WriteFile(file_.Get(), data, piece, &written, nullptr)) return CallResult::Failure(GetLastError());
      if (written == 0) return CallResult::Failure(ERROR_WRITE_FAULT);
      data += written;
      size -= written;
    }
    return CallResult::Success();
  }
  CallResult Finish() override {
    const HANDLE file = file_.Release();
    return CloseHandle(file) ? CallResult::Success() : CallResult::Failure(GetLastError());
  }
  void Discard() override {
    file_.Reset();
    if (!download_.TempFile.empty()) DeleteFileW(AsWide(download_.TempFile));
    download_.TempFile.clear();
  }

private:
  CZTFileDownload& download_;
  win::UniqueFile file_;
};

}  // namespace

CZTFileDownload::CZTFileDownload() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length > 0 && length <= MAX_PATH) TempDir = FromWide(folder, length);
}

std::u16string CZTFileDownload::Download() {
  TempFile.clear();
  win::WinInetDownload exchange;
  TempFileTarget target(*this);
  const DownloadOutcome outcome = RunDownload(exchange, target, Url, Port);
  LastError = outcome.LastError;
  HttpStatus = outcome.HttpStatus;
  return outcome.Ok() ? TempFile : std::u16string();
}

win::UniqueFile CZTFileDownload::CreateTempFile() {
  TempFile.clear();
  if (TempDir.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  wchar_t path[MAX_PATH] = {};
  if (!GetTempFileNameW(AsWide(TempDir), L"ZTFILE", 0, path)) return {};
  win::UniqueFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    DeleteFileW(path);  // GetTempFileNameW made it
    SetLastError(error);
    return {};
  }
  TempFile = FromWide(path);
  return file;
}

std::u16string CZTFileDownload::FailureText() const {
  if (LastError == download_error::HttpStatus) return u"HTTP " + Widen(std::to_string(HttpStatus));
  if (LastError == download_error::BadUrl) return win::WinInetErrorText(ERROR_INTERNET_INVALID_URL);
  const auto error = static_cast<std::uint32_t>(LastError);
  if (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST) {
    std::u16string text = win::WinInetErrorText(error);
    if (!text.empty()) return text;
  }
  return win::SystemErrorText(error);
}

}  // namespace zt
