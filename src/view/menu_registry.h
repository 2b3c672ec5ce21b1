#pragma once
// The menu layer's process-wide registries: images by command and by
// sub-menu, and the texts the popup preparation took from items it made
// owner-drawn (the system no longer reports an owner-drawn item's text).
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>

namespace zt::view::menu_xp {

// One menu image: an image list (not owned) and an index in it.
struct CImgDesc {
  HIMAGELIST images = nullptr;
  int index = -1;
  bool Present() const { return images && index >= 0; }
};

class MenuRegistry {
public:
  static MenuRegistry& Instance();

  void SetCommandImage(UINT command, CImgDesc image) { command_images_[command] = image; }
  void SetSubmenuImage(HMENU submenu, CImgDesc image) { submenu_images_[submenu] = image; }
  void SetCommandText(UINT command, std::u16string text) { command_texts_[command] = std::move(text); }
  void SetSubmenuText(HMENU submenu, std::u16string text) { submenu_texts_[submenu] = std::move(text); }

  // The image and saved text of an item: by its sub-menu when it opens one,
  // else by its command id.
  CImgDesc ImageOf(UINT command, HMENU submenu) const;
  std::u16string TextOf(UINT command, HMENU submenu) const;

  // Forgets sub-menus that no longer exist.
  void RemoveDeadSubmenus();

private:
  std::unordered_map<UINT, CImgDesc> command_images_;
  std::unordered_map<HMENU, CImgDesc> submenu_images_;
  std::unordered_map<UINT, std::u16string> command_texts_;
  std::unordered_map<HMENU, std::u16string> submenu_texts_;
};

}  // namespace zt::view::menu_xp
