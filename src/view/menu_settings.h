#pragma once
// Where the flat menus' five settings come from: the module's profile file.
#include <string>

#include "view/menu_look.h"

namespace zt::view {

// Reads the settings from an INI file; absent keys keep their defaults. A
// name without a directory is looked up in the Windows directory, as the
// application profile is.
MenuSettings ReadMenuSettings(const std::wstring& profile);

// The module's profile "<module name>.INI", read on first use and kept for
// the life of the process.
const MenuSettings& ModuleMenuSettings();

}  // namespace zt::view
