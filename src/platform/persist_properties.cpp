#include "platform/persist_properties.h"

namespace zt::ole {

std::int64_t MegabytesToBytes(std::int32_t megabytes) {
  return static_cast<std::int64_t>(megabytes) * 1048576;
}

std::int32_t BytesToMegabytes(std::int64_t bytes) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(bytes) >> 20));
}

void ApplyLoadDefaults(SavedProperties& p) {
  p.url.clear();
  p.user_name.clear();
  p.password.clear();
  p.port = 80;
  p.post_mode = 0;
  p.kbyte_rate = 0;
  p.list_type = 0;
  p.retry_count = 0;
  p.parallel_count = 1;
  p.resumable_url.clear();
}

namespace {

// One saved value; `fallback` is the load default, if the property has one.
template <typename T>
HRESULT Exchange(PropertyExchange& px, HRESULT (PropertyExchange::*fn)(const wchar_t*, T&),
                 const wchar_t* name, T& value, const T* fallback) {
  HRESULT hr = (px.*fn)(name, value);
  if (hr == S_FALSE && px.Loading() && fallback) value = *fallback;
  return FAILED(hr) ? hr : S_OK;
}

// A 16-bit property kept as a 32-bit value.
HRESULT ExchangeWide(PropertyExchange& px, const wchar_t* name, std::int16_t& value, std::int16_t fallback) {
  std::int32_t wide = value;
  HRESULT hr = px.Long(name, wide);
  if (FAILED(hr)) return hr;
  if (px.Loading()) value = hr == S_FALSE ? fallback : static_cast<std::int16_t>(wide & 0xFFFF);
  return S_OK;
}

}  // namespace

HRESULT ExchangeSavedProperties(PropertyExchange& px, SavedProperties& p) {
  const std::u16string empty;
  const std::int32_t port_default = 80, zero32 = 0, one32 = 1;
  HRESULT hr;
#define ZT_STEP(expr)    \
  if (FAILED(hr = (expr))) \
    return hr;

  std::int32_t megabytes = BytesToMegabytes(p.max_upload_bytes);
  hr = px.Long(L"MaxUploadSize", megabytes);
  if (FAILED(hr)) return hr;
  if (px.Loading() && hr == S_OK) p.max_upload_bytes = MegabytesToBytes(megabytes);

  ZT_STEP(Exchange(px, &PropertyExchange::Text, L"URL", p.url, &empty));
  ZT_STEP(Exchange(px, &PropertyExchange::Text, L"UserName", p.user_name, &empty));
  ZT_STEP(Exchange(px, &PropertyExchange::Text, L"Password", p.password, &empty));
  ZT_STEP(Exchange(px, &PropertyExchange::Long, L"Port", p.port, &port_default));
  ZT_STEP(ExchangeWide(px, L"PostMode", p.post_mode, 0));
  ZT_STEP(Exchange(px, &PropertyExchange::Long, L"KByteRate", p.kbyte_rate, &zero32));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"EnableFolderMenu", p.enable_folder_menu, nullptr));
  ZT_STEP(ExchangeWide(px, L"ListType", p.list_type, 0));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"EnableDeleteMenu", p.enable_delete_menu, nullptr));
  ZT_STEP(Exchange<std::int32_t>(px, &PropertyExchange::Long, L"BgColor", p.bg_color, nullptr));
  ZT_STEP(Exchange<std::int32_t>(px, &PropertyExchange::Long, L"FgColor", p.fg_color, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"TrackSelect", p.track_select, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"RowSelect", p.row_select, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"EnableHeaderMove", p.enable_header_move, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"GridLine", p.grid_line, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"UTF8", p.utf8, nullptr));
  ZT_STEP(Exchange<std::int16_t>(px, &PropertyExchange::Short, L"ExFileAttributes", p.ex_file_attributes, nullptr));
  // Added later: a stream written by an earlier build ends before it.
  if (px.Named()) ZT_STEP(Exchange(px, &PropertyExchange::Long, L"RetryCount", p.retry_count, &zero32));
  if (px.Named()) ZT_STEP(Exchange(px, &PropertyExchange::Long, L"ParallelCount", p.parallel_count, &one32));
  if (px.Named()) ZT_STEP(Exchange(px, &PropertyExchange::Text, L"ResumableURL", p.resumable_url, &empty));
#undef ZT_STEP
  return S_OK;
}

}  // namespace zt::ole
