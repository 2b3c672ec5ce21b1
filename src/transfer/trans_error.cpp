#include "transfer/trans_error.h"

#include "text/string_table.h"

namespace zt {

std::u16string UncodedFailureText(std::u16string systemText, unsigned id) {
  return systemText.empty() ? std::u16string(LoadText(id)) : std::move(systemText);
}

void ApplyTransErrorCode(std::u16string_view failureCode, std::u16string& errorCode,
                         std::u16string& errorDescription) {
  errorCode = std::u16string(failureCode);
  unsigned id = 0;
  if (failureCode.size() == 6 && failureCode.substr(0, 5) == u"E0400" && failureCode[5] >= u'1' &&
      failureCode[5] <= u'9') {
    id = 4000 + (failureCode[5] - u'0');
  } else if (failureCode == trans_code::Cancelled) {
    id = 14001;
  }
  if (id != 0) errorDescription = std::u16string(LoadText(id));
}

}  // namespace zt
