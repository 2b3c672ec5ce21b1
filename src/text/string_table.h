#pragma once
// Every numbered text the control shows or reports, looked up by number.
#include <string_view>

namespace zt {

// The text of string id, or an empty view for an id the table does not hold.
std::u16string_view LoadText(unsigned id);

}  // namespace zt
