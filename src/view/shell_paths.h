#pragma once
// The paths the shell's dialogs hand over, as the control adds them.
#include <string>
#include <string_view>
#include <vector>

namespace zt::view {

// The full paths an open-file dialog's result names. The result is the
// dialog's buffer up to its closing empty string: one full path alone, or a
// folder followed by names in that folder, each ending in NUL. A name that is
// itself a full path stays as it is.
std::vector<std::u16string> SelectionPaths(std::u16string_view result);

}  // namespace zt::view
