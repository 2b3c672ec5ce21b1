#pragma once
// The HTTP exchange of a post over WinINet. One object serves one post on one
// worker thread; Pause, Resume, Cancel, Interrupt and CloseHandles may be
// called from any other thread while it runs.
//
// The worker takes a handle under the lock for each call and never keeps a
// copy past it, so once a cancel or a close has forgotten the handles the
// worker cannot pass their values again (WinINet hands a closed value out
// anew). A cancel closes the handles at once unless a call is in progress;
// that call keeps them until it returns, unless Interrupt ends it.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/unique_handle.h"
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
                         std::u16string_view acceptTypes, bool secure) override;
  CallResult AddHeaders(std::string_view bytes) override;
  CallResult AddHeaders(std::u16string_view text) override;
  CallResult SendRequest(std::uint64_t totalLength) override;
  CallResult Write(const std::uint8_t* data, std::size_t size, std::size_t* written) override;
  CallResult EndRequest() override;
  CallResult QueryStatusCode(std::int32_t* status) override;
  CallResult QueryDataAvailable() override;
  CallResult Read(std::uint8_t* buffer, std::size_t size, std::size_t* read) override;
  // Closes the handles now, or when the call in progress returns.
  void CloseHandles() override;
  std::u16string SystemText(std::uint32_t error) override;
  CallResult QueryHeader(std::string_view name, std::string* value) override;
  // Sleeps between tries; a cancel ends the wait at once.
  bool Wait(std::uint32_t ms) override;
  bool Withdrawn() const override { return withdrawn_; }
  std::unique_ptr<HttpExchange> Fresh() override;

  // Holds the next Write (or the Open of a post not yet begun) until Resume
  // or Cancel; the connection stays open.
  void Pause();
  void Resume();
  // Makes every later call fail with ERROR_INTERNET_OPERATION_CANCELLED and
  // closes the handles as soon as no call uses them.
  void Cancel();
  // After Cancel: closes the handles under the call still in progress, the
  // way WinINet lets one thread end another's blocking call. Meant for a
  // call that is still blocked a while after the cancel.
  void Interrupt();
  bool Cancelled() const override { return cancelled_; }
  // Before a Cancel that the person asked for: uploads begun go from the server.
  void Withdraw() { withdrawn_ = true; }

private:
  // False once cancelled; otherwise returns when not paused.
  bool WaitWhilePaused();
  // Runs call(handle, &made) with the handle in `from` (none when from is
  // null), unless the exchange was cancelled or that handle closed. A handle
  // the call makes is kept in `into`.
  template <typename Call>
  CallResult WithHandle(InternetHandle WinInetExchange::*from, InternetHandle WinInetExchange::*into, Call&& call);
  void CloseAllLocked();

  std::mutex lock_;  // guards the handles and the call state
  InternetHandle internet_;
  InternetHandle connection_;
  InternetHandle request_;
  bool inCall_ = false;       // the worker is inside a WinINet call
  bool closeWhenIdle_ = false;  // CloseHandles came during a call
  UniqueKernelHandle running_;      // manual-reset: set while not paused
  UniqueKernelHandle cancelEvent_;  // manual-reset: set by Cancel
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> withdrawn_{false};
};

// The text of a WinINet error number from WinINet's own message table
// (ANSI-converted), without its trailing line end; empty when the table has
// none.
std::u16string WinInetErrorText(std::uint32_t error);

}  // namespace zt::win
