#include "platform/bstr.h"

#include "platform/wide_text.h"

namespace zt::com {

Bstr::Bstr(std::u16string_view text) : b_(AllocBstr(text)) {}

BSTR AllocBstr(std::u16string_view text) {
  return SysAllocStringLen(AsWideData(text), static_cast<UINT>(text.size()));
}

std::u16string FromBstr(BSTR b) {
  return FromWide(b, SysStringLen(b));
}

}  // namespace zt::com
