#pragma once
// The fetch of a server file over WinINet, for one download on the thread
// that runs it.
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

private:
  InternetHandle internet_;
  InternetHandle connection_;
  InternetHandle url_;
};

}  // namespace zt::win
