#include "transfer/win/uuid_text.h"

#include <windows.h>
#include <rpc.h>

#include "platform/wide_text.h"
#include "transfer/request_format.h"

namespace zt::win {

namespace {

std::u16string RuntimeUuid() {
  UUID uuid;
  // RPC_S_UUID_LOCAL_ONLY is still unique on this machine, which is all a boundary needs.
  RPC_STATUS made = UuidCreate(&uuid);
  if (made != RPC_S_OK && made != RPC_S_UUID_LOCAL_ONLY) return {};
  RPC_WSTR text = nullptr;
  if (UuidToStringW(&uuid, &text) != RPC_S_OK || !text) return {};
  std::u16string result = FromWide(reinterpret_cast<const wchar_t*>(text));
  RpcStringFreeW(&text);
  for (char16_t& c : result)
    if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
  return result;
}

}  // namespace

std::u16string NewUuidText() {
  std::u16string text = RuntimeUuid();
  // An empty boundary would make an unparseable body; any unique text will do.
  return text.size() == 36 ? text : RandomUuid();
}

}  // namespace zt::win
