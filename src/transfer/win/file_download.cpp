#include "transfer/win/file_download.h"

#include <algorithm>

#include "platform/message_wait.h"
#include "platform/module_thread.h"
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

  std::optional<std::uint64_t> FreeSpace() override {
    ULARGE_INTEGER available;
    if (download_.TempDir.empty() || !GetDiskFreeSpaceExW(AsWide(download_.TempDir), &available, nullptr, nullptr))
      return std::nullopt;
    return available.QuadPart;
  }
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

std::u16string CZTFileDownload::Download(const std::function<void()>& whileSlow) {
  TempFile.clear();
  Progress.Received = 0;
  Progress.Total = 0;
  Progress.Cancelled = false;
  finished_ = false;
  DownloadOutcome outcome;
  auto fetch = [this, &outcome] {
    win::WinInetDownload exchange;
    {
      std::lock_guard<std::mutex> hold(exchangeLock_);
      exchange_ = &exchange;
    }
    TempFileTarget target(*this);
    outcome = RunDownload(exchange, target, Url, Port, &Progress);
    {
      std::lock_guard<std::mutex> hold(exchangeLock_);
      exchange_ = nullptr;
    }
    finished_ = true;
  };
  std::optional<win::ModuleThread> worker = win::CreateModuleThread(fetch);
  if (!worker) {
    outcome.LastError = static_cast<std::int32_t>(GetLastError());
  } else {
    ResumeThread(worker->Handle.Get());
    // The thread ends by itself: every wait of the fetch is limited.
    const HANDLE thread = worker->Handle.Get();
    if (whileSlow && win::WaitAnswering(&thread, 1, kQuietMs) != 0) whileSlow();
    while (win::WaitAnswering(&thread, 1, INFINITE) != 0) {
    }
  }
  // A cancel that came as the last byte arrived still keeps nothing.
  if (outcome.Ok() && Progress.Cancelled) {
    DeleteFileW(AsWide(TempFile));
    TempFile.clear();
    outcome.LastError = download_error::Cancelled;
  }
  LastError = outcome.LastError;
  HttpStatus = outcome.HttpStatus;
  FetchedFrom = outcome.Address;
  return outcome.Ok() ? TempFile : std::u16string();
}

void CZTFileDownload::Cancel() {
  Progress.Cancelled = true;
  std::lock_guard<std::mutex> hold(exchangeLock_);
  if (exchange_) exchange_->Abort();
}

win::UniqueFile CZTFileDownload::CreateTempFile() {
  TempFile.clear();
  if (TempDir.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  // Names start from a point of their own per fetch; a taken one moves on.
  static LONG calls = 0;
  const std::uint32_t start = GetTickCount() ^ (GetCurrentProcessId() << 20) ^
                              (static_cast<std::uint32_t>(InterlockedIncrement(&calls)) * 2654435761u);
  constexpr int kAttempts = 1000;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const std::u16string path = TempDir + TempCopyName(start + static_cast<std::uint32_t>(attempt), Extension);
    win::UniqueFile file(CreateFileW(AsWide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      TempFile = path;
      return file;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  SetLastError(ERROR_FILE_EXISTS);
  return {};
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
