#pragma once
// When the multi-file run sends a failed file again by itself, and after how
// long. Only failures another try can cure are retried: the connection
// refused, reset or timed out, a reply cut off before its status line, or a
// server error (5xx). A 4xx reply is the server's answer to this request and
// a local failure (the file gone or unreadable) would fail the same way.
#include <cstdint>

#include "transfer/trans_error.h"

namespace zt {

// Retries a page may ask for: beyond this a dead server only keeps the
// person waiting.
inline constexpr int kMaxRetries = 10;

bool RetryableFailure(const CZTTransException& failure);
bool RetryableStatus(std::int32_t status);
// RetryCount as a page set it, within 0..kMaxRetries.
int RetryLimit(std::int32_t retryCount);
// The pause before retry number attempt (1 for the first): half a second,
// doubled each time, at most 8 seconds.
std::uint32_t RetryDelayMs(int attempt);

}  // namespace zt
