#include "transfer/win/reply_limit.h"

#include <cwchar>

namespace zt::win {

DWORD ReplyWaitLimitMs() {
  constexpr DWORD kDefaultMs = 120 * 1000;
  wchar_t text[32];
  DWORD length = GetEnvironmentVariableW(L"ZTFILEUPLOAD_REPLY_TIMEOUT", text, 32);
  if (length == 0 || length >= 32) return kDefaultMs;
  wchar_t* end = nullptr;
  unsigned long seconds = std::wcstoul(text, &end, 10);
  if (end == text || *end != L'\0' || seconds == 0 || seconds > 24ul * 3600) return kDefaultMs;
  return static_cast<DWORD>(seconds * 1000);
}

}  // namespace zt::win
