// Size texts and URLs come straight from scripts. They must never crash,
// and what they yield must stay within the bounds the rest of the control
// relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/file_system.h"
#include "model/formats.h"
#include "transfer/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));

  const std::int64_t bytes = zt::ParseSizeText(text);
  if (bytes < 0 || bytes > INT32_MAX) std::abort();

  const std::int32_t port = size >= 4 ? std::int32_t(data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24) : 80;
  const zt::ParsedUrl url = zt::ParseUrl(text, port);
  if (url.Host.size() > text.size() || url.Path.size() > text.size()) std::abort();
  if (!url.Path.empty() && url.Path[0] != u'/') std::abort();
  // What goes on the request line carries no control character.
  for (char16_t c : zt::RequestPath(text))
    if (c < 0x20 || c == 0x7F) std::abort();
  // A saved control cuts its URL back into the same host, path, port and scheme.
  if (!url.Host.empty() && url.Host.find(u':') == std::u16string::npos && url.Port >= 0 && url.Port <= 65535) {
    const zt::ParsedUrl again = zt::ParseUrl(zt::SavedUrl(url.Host, url.Path, url.Port, url.Secure), 7);
    if (again.Host != url.Host || again.Path != url.Path || again.Port != url.Port || again.Secure != url.Secure)
      std::abort();
  }

  if (size >= 6) {
    zt::CivilTime t;
    t.Year = int(std::int16_t(data[0] | data[1] << 8));
    t.Month = int(std::int8_t(data[2]));
    t.Day = int(std::int8_t(data[3]));
    t.Hour = int(std::int8_t(data[4]));
    t.Minute = int(std::int8_t(data[5]));
    t.Second = size >= 7 ? int(std::int8_t(data[6])) : 0;
    const std::u16string date = zt::DateText(t);
    if (!date.empty() && date.size() != 19) std::abort();
  }
  return 0;
}
