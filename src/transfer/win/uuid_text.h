#pragma once
// Multipart boundaries from the RPC runtime's UUIDs.
#include <string>

namespace zt::win {

// A new UUID in its 36-character text form, lowercase, no braces (a random
// one from the core when the runtime cannot make one).
std::u16string NewUuidText();

}  // namespace zt::win
