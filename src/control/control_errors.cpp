#include "control/control_errors.h"

#include "text/format.h"

namespace zt {

std::uint16_t ErrorNumber(std::u16string_view code) {
  if (code.empty()) return 0;
  // The letter is part of the number: an information code ("I04001") has
  // its own text (14001), never the error's of the same digits (4001).
  std::uint32_t n = 0;
  if (code[0] != u'E' && code[0] != u'I') return 0;
  for (std::size_t i = 1; i < code.size(); ++i) {
    char16_t c = code[i];
    if (c < u'0' || c > u'9') break;
    n = n * 10 + static_cast<std::uint32_t>(c - u'0');
    if (n > 0xFFFF) return 0;  // not a code this control makes
  }
  if (code[0] == u'I') n += 10000;
  if (n > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(n);
}

std::u16string ErrorText(std::u16string_view code, std::u16string_view name) {
  return FormatText(ErrorNumber(code), {name});
}

void RecordTransferFailure(const CZTTransException& failure, std::u16string& errorCode,
                           std::u16string& errorDescription) {
  ApplyTransErrorCode(failure.Code, errorCode, errorDescription);
  // The shared mapping leaves the description alone for these two.
  if (failure.Code == trans_code::QueryStatus)
    errorDescription = ErrorText(trans_code::QueryStatus);
  else if (failure.Code.empty())
    errorDescription = failure.Description;
}

}  // namespace zt
