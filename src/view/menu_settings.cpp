#include "view/menu_settings.h"

#include <windows.h>

#include "platform/module_state.h"

namespace zt::view {
namespace {

int ReadInt(const wchar_t* section, const wchar_t* key, int fallback, const std::wstring& profile) {
  return static_cast<int>(GetPrivateProfileIntW(section, key, fallback, profile.c_str()));
}

std::wstring ModuleProfileName() {
  std::wstring path = com::ModulePath();
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name + L".INI";
}

}  // namespace

MenuSettings ReadMenuSettings(const std::wstring& profile) {
  const MenuSettings defaults;
  MenuSettings s;
  s.show_gradient = ReadInt(L"MenuXP", L"ShowGradient", defaults.show_gradient, profile) != 0;
  s.show_gradient_selected = ReadInt(L"MenuEx", L"ShowGradientSel", defaults.show_gradient_selected, profile) != 0;
  s.gradient_start = ReadInt(L"MenuXP", L"GradientStart", defaults.gradient_start, profile);
  s.gradient_end = ReadInt(L"MenuXP", L"GradientEnd", defaults.gradient_end, profile);
  s.gradient_width = ReadInt(L"MenuXP", L"GradientWidth", defaults.gradient_width, profile);
  return s;
}

const MenuSettings& ModuleMenuSettings() {
  static const MenuSettings settings = ReadMenuSettings(ModuleProfileName());
  return settings;
}

}  // namespace zt::view
