#include "view/menu_registry.h"

namespace zt::view::menu_xp {
namespace {

template <typename Map>
void EraseDead(Map& map) {
  for (auto it = map.begin(); it != map.end();) {
    if (IsMenu(it->first))
      ++it;
    else
      it = map.erase(it);
  }
}

}  // namespace

MenuRegistry& MenuRegistry::Instance() {
  static MenuRegistry registry;
  return registry;
}

CImgDesc MenuRegistry::ImageOf(UINT command, HMENU submenu) const {
  if (submenu) {
    auto it = submenu_images_.find(submenu);
    return it == submenu_images_.end() ? CImgDesc{} : it->second;
  }
  auto it = command_images_.find(command);
  return it == command_images_.end() ? CImgDesc{} : it->second;
}

std::u16string MenuRegistry::TextOf(UINT command, HMENU submenu) const {
  if (submenu) {
    auto it = submenu_texts_.find(submenu);
    return it == submenu_texts_.end() ? std::u16string{} : it->second;
  }
  auto it = command_texts_.find(command);
  return it == command_texts_.end() ? std::u16string{} : it->second;
}

void MenuRegistry::RemoveDeadSubmenus() {
  EraseDead(submenu_images_);
  EraseDead(submenu_texts_);
}

}  // namespace zt::view::menu_xp
