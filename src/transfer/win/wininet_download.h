#pragma once
// The fetch of a server file over WinINet, for one download on the thread
// that runs it.
#include <mutex>

#include "transfer/download.h"
#include "transfer/win/internet_handle.h"

namespace zt::win {

class WinInetDownload final : public DownloadExchange {
public:
  CallResult Open(std::u16string_view agent, std::uint32_t connectTimeoutMs) override;
  CallResult OpenUrl(const ServerAddress& address) override;
  CallResult QueryStatusCode(std::int32_t* status) override;
  std::optional<std::uint64_t> ContentLength() override;
  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override;
  void Close() override;
  // From another thread: closes the request, so that a read blocked on it
  // returns at once (and fails).
  void Abort();

private:
  // The request handle as it is now; it may be closed by Abort meanwhile, and
  // a call on a closed handle fails.
  HINTERNET Request();

  std::mutex requestLock_;  // guards url_ between the fetch and Abort
  InternetHandle internet_;
  InternetHandle connection_;
  InternetHandle url_;
};

}  // namespace zt::win
