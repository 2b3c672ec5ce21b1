#pragma once
// The HTTP exchange of a post over WinINet. One object serves one post on one
// worker thread; Pause, Resume and Cancel may be called from any other thread
// while it runs.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "transfer/http_exchange.h"
#include "transfer/win/internet_handle.h"

namespace zt::win {

class WinInetExchange final : public HttpExchange {
public:
  WinInetExchange();
  ~WinInetExchange() override;
  WinInetExchange(const WinInetExchange&) = delete;
  WinInetExchange& operator=(const WinInetExchange&) = delete;

  std::uint64_t MaxDeclaredLength() const override;
  CallResult Open(std::u16string_view agent) override;
  CallResult Connect(std::u16string_view host, std::int32_t port, std::u16string_view user,
                     std::u16string_view password) override;
  CallResult OpenRequest(std::u16string_view verb, std::u16string_view path, std::u16string_view version,
                         std::u16string_view acceptTypes) override;
  CallResult AddHeaders(std::string_view bytes) override;
  CallResult AddHeaders(std::u16string_view text) override;
  CallResult SendRequest(std::uint64_t totalLength) override;
  CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) override;
  CallResult EndRequest() override;
  CallResult QueryStatusCode(std::int32_t* status) override;
  CallResult QueryDataAvailable() override;
  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override;
  void CloseHandles() override;
  std::u16string SystemText(std::uint32_t error) override;

  // Holds the next Write until Resume or Cancel; the connection stays open.
  void Pause();
  void Resume();
  // Makes the pending call (by closing the request handle) and every later
  // call fail with ERROR_INTERNET_OPERATION_CANCELLED.
  void Cancel();
  bool Cancelled() const { return cancelled_; }

private:
  // The request handle as it is now, or null after a cancel.
  HINTERNET RequestHandle();
  CallResult Refused(std::uint32_t error) const { return CallResult::Failure(error); }

  std::mutex lock_;  // guards the handles against Cancel from another thread
  InternetHandle internet_;
  InternetHandle connection_;
  InternetHandle request_;
  HANDLE running_ = nullptr;    // manual-reset: set while not paused
  HANDLE cancelEvent_ = nullptr;  // manual-reset: set by Cancel
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> paused_{false};
};

}  // namespace zt::win
