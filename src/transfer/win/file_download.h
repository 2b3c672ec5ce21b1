#pragma once
// CZTFileDownload: fetches one server file over HTTP into a new temporary
// file named "ZTF........tmp.<extension>" in the platform's temporary folder.
// The fetch runs on a thread of its own while the calling thread waits
// answering sent messages and its apartment's calls, so the host's windows
// keep answering however slow the server. A failed download leaves no file
// behind.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/unique_handle.h"
#include "transfer/download.h"

namespace zt {

namespace win {
class WinInetDownload;
}

class CZTFileDownload {
public:
  // Reads the temporary folder once.
  CZTFileDownload();

  // The control's Port: used when the URL names none (see CutServerUrl).
  std::int32_t Port = 0;
  // The entry's server path: a whole URL.
  std::u16string Url;
  // The entry's extension, which the copy's name ends in when it can end a
  // file name (CopyPathWithExtension).
  std::u16string Extension;
  // 0 after a successful download; otherwise the Win32 error of the failing
  // step or one of download_error's values (the URL cannot be cut, the
  // server did not answer with the file).
  std::int32_t LastError = 0;
  // The reply's status code, once the server answered.
  std::int32_t HttpStatus = 0;
  // Where the last download's request went ("http://host:port/path"), the
  // address its copy is marked with; empty when the URL could not be cut.
  std::u16string FetchedFrom;
  // The temporary file of the last download; empty before and after a failure.
  std::u16string TempFile;
  std::u16string TempDir;

  // The running fetch's amount and the user's cancel (see Cancel).
  DownloadProgress Progress;

  // The path of the downloaded file, or empty on failure. A fetch still
  // running after kQuietMs calls whileSlow (when given) on the calling
  // thread, which may show it until Finished and Cancel it; the call then
  // waits for the fetch's end as before.
  std::u16string Download(const std::function<void()>& whileSlow = {});
  static constexpr DWORD kQuietMs = 1000;
  // Any thread: whether the fetch has ended.
  bool Finished() const { return finished_; }
  // Any thread: ends the fetch; a blocked read returns at once. The download
  // fails with download_error::Cancelled and keeps no file.
  void Cancel();
  // Makes a new, empty temporary file in TempDir under its final name in one
  // step (a name taken by any file is never reused: another is tried),
  // opened for writing and not shared, and sets TempFile to its path; none
  // when it cannot be made.
  win::UniqueFile CreateTempFile();
  // What the user is told of the last failure: the system's text for its
  // error, or the server's status; empty when there is none.
  std::u16string FailureText() const;

private:
  std::atomic<bool> finished_{false};
  std::mutex exchangeLock_;
  win::WinInetDownload* exchange_ = nullptr;  // the running fetch's, guarded by exchangeLock_
};

}  // namespace zt
