#include "platform/high_contrast.h"

#include <windows.h>

namespace zt::win {
namespace {

// Touched from the user-interface thread only, as all drawing is.
std::optional<bool> g_answer;

}  // namespace

bool HighContrast() {
  if (g_answer) return *g_answer;
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void SetHighContrastAnswer(std::optional<bool> on) { g_answer = on; }

}  // namespace zt::win
