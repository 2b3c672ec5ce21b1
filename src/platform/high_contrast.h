#pragma once
// Whether the person has chosen high contrast. Everything the module draws
// in its own colours (the header's skin, the flat menus, the flat buttons,
// the progress panel, the list's page-given colours) asks here and draws in
// the system's colours while the answer is yes. One place answers, so that a
// test can give the answer on a system that cannot switch the setting on
// (Wine refuses SPI_SETHIGHCONTRAST).
#include <optional>

namespace zt::win {

// The given answer while one is set, else the system's
// (SPI_GETHIGHCONTRAST with HCF_HIGHCONTRASTON).
bool HighContrast();

// For tests: std::nullopt returns to the system's answer.
void SetHighContrastAnswer(std::optional<bool> on);

}  // namespace zt::win
