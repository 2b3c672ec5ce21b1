// The text conversions and the formatter take whatever scripts and servers
// send: they must never crash, and conversions must keep their invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/format.h"
#include "text/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Bytes -> text -> bytes -> text is stable after the first decoding: the
  // first pass replaces what is invalid, the second has nothing left to mend.
  const std::u16string once = zt::FromUtf8(bytes);
  const std::u16string twice = zt::FromUtf8(zt::ToUtf8(once));
  if (once != twice) std::abort();
  for (char16_t c : once)
    if (c == 0) std::abort();

  // Any code units, paired or not, encode to UTF-8 and decode again.
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
  (void)zt::FromUtf8(zt::ToUtf8(units));

  // Script and server text used as a format must not crash the formatter.
  (void)zt::Format(units, {u"x", 42, -7, 3000000000ull});
  return 0;
}
