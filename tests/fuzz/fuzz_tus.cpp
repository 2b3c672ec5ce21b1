// What a resumable-upload server answers is not trusted. Its offsets and
// upload addresses must parse to values the upload can act on safely or to
// nothing, and what the control sends must stay a single header line.
// Input: a ResumableURL, a NUL, then a server's Location or Upload-Offset.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "transfer/tus_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  const std::string_view url = input.substr(0, cut), answer = cut == input.npos ? "" : input.substr(cut + 1);

  // An offset is 1 to 19 plain digits, and every such text is one.
  const auto offset = zt::tus::ParseOffset(answer);
  const bool digits = !answer.empty() && answer.size() <= 19 &&
                      answer.find_first_not_of("0123456789") == std::string_view::npos;
  if (offset.has_value() != digits) std::abort();
  if (offset && *offset != std::strtoull(std::string(answer).c_str(), nullptr, 10)) std::abort();
  zt::tus::Lists(answer, url);

  std::u16string wide;
  for (unsigned char c : url) wide += char16_t(c);
  const auto endpoint = zt::tus::ParseEndpoint(wide);
  if (!endpoint) return 0;
  if (endpoint->Host.empty() || endpoint->Path.empty() || endpoint->Path[0] != u'/') std::abort();
  if (endpoint->Port < 1 || endpoint->Port > 65535) std::abort();

  // An accepted upload stays on the endpoint's origin: a path of its own
  // ("//" would name another host), no space or control character to break
  // a request line, ending in a well-formed id.
  if (const auto path = zt::tus::UploadPath(*endpoint, answer)) {
    if (path->empty() || (*path)[0] != u'/' || path->compare(0, 2, u"//") == 0) std::abort();
    for (char16_t c : *path)
      if (c <= 0x20 || c == 0x7F) std::abort();
    if (!zt::tus::ValidUploadId(zt::tus::UploadId(*path))) std::abort();
  }

  // The metadata header carries any name as base64: one line, no comma inside a value.
  std::u16string name;
  for (unsigned char c : answer) name += char16_t(c | (c & 0x80 ? 0xAC00 : 0));
  const std::string metadata = zt::tus::UploadMetadata(name, size);
  if (metadata.find_first_of("\r\n") != std::string::npos || metadata.rfind("filename ", 0) != 0) std::abort();
  return 0;
}
