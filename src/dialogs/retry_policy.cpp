#include "dialogs/retry_policy.h"

namespace zt {

namespace {

// WinINet's numbers for a connection that could not carry the request.
constexpr std::uint32_t kTimeout = 12002;             // ERROR_INTERNET_TIMEOUT
constexpr std::uint32_t kCannotConnect = 12029;       // refused
constexpr std::uint32_t kConnectionAborted = 12030;
constexpr std::uint32_t kConnectionReset = 12031;
constexpr std::uint32_t kNoStatusLine = 12152;        // closed before the status line

constexpr std::uint32_t kFirstDelayMs = 500;
constexpr std::uint32_t kLongestDelayMs = 8000;

}  // namespace

bool RetryableFailure(const CZTTransException& failure) {
  // Failures without a step's code are local (a file unreadable, no memory),
  // and E04001 is a file that cannot be opened.
  if (failure.Code.empty() || failure.Code == trans_code::FileLocked) return false;
  switch (failure.ErrorNumber) {
    case kTimeout:
    case kCannotConnect:
    case kConnectionAborted:
    case kConnectionReset:
    case kNoStatusLine:
      return true;
    default:
      return false;
  }
}

bool RetryableStatus(std::int32_t status) { return status >= 500 && status <= 599; }

int RetryLimit(std::int32_t retryCount) {
  if (retryCount < 0) return 0;
  return retryCount > kMaxRetries ? kMaxRetries : static_cast<int>(retryCount);
}

std::uint32_t RetryDelayMs(int attempt) {
  std::uint32_t delay = kFirstDelayMs;
  for (int i = 1; i < attempt && delay < kLongestDelayMs; ++i) delay *= 2;
  return delay < kLongestDelayMs ? delay : kLongestDelayMs;
}

}  // namespace zt
