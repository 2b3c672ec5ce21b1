#pragma once
// The menu layer's process-wide registries: images by command and by
// sub-menu, and the texts the popup preparation took from items it made
// owner-drawn (the system no longer reports an owner-drawn item's text).
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/unique_handle.h"

namespace zt::view::menu_xp {

// What an owner-drawn item's data points to. Screen readers cannot see the
// text of an owner-drawn item; they read it from the item data when that
// starts with the accessibility convention's record. The layer's packed
// measurements follow it.
struct ItemData {
  MSAAMENUINFO accessible{};
  std::uint32_t packed = 0;
  std::wstring text;
};

class MenuRegistry {
public:
  static MenuRegistry& Instance();

  // The image is copied out of the list: the caller's image list may be
  // destroyed while the registration lasts (a second control on the page
  // registers the same commands from a list of its own, then goes away).
  // No list or index -1 removes the registration.
  void SetCommandImage(UINT command, HIMAGELIST images, int index);
  void SetSubmenuImage(HMENU submenu, HIMAGELIST images, int index);
  void SetCommandText(UINT command, std::u16string text) { command_texts_[command] = std::move(text); }
  void SetSubmenuText(HMENU submenu, std::u16string text) { submenu_texts_[submenu] = std::move(text); }

  // The image and saved text of an item: by its sub-menu when it opens one,
  // else by its command id.
  // The registry keeps the icon; null when there is none.
  HICON ImageOf(UINT command, HMENU submenu) const;
  std::u16string TextOf(UINT command, HMENU submenu) const;

  // Makes the data of popup's items, one record per item in position order
  // (the text is the item's own, "" for a separator), and returns each
  // record's address for its item. The records of an earlier call for the
  // same popup go once the new ones are given out.
  std::vector<ULONG_PTR> SetItemData(HMENU popup, std::vector<std::pair<std::uint32_t, std::u16string>> items);
  // The packed measurements behind data that SetItemData gave out; nothing
  // for any other value.
  std::optional<std::uint32_t> PackedOf(ULONG_PTR data) const;

  // Forgets sub-menus and item data of menus that no longer exist.
  void RemoveDeadSubmenus();

private:
  std::unordered_map<UINT, win::UniqueHicon> command_images_;
  std::unordered_map<HMENU, win::UniqueHicon> submenu_images_;
  std::unordered_map<UINT, std::u16string> command_texts_;
  std::unordered_map<HMENU, std::u16string> submenu_texts_;
  std::unordered_map<HMENU, std::vector<std::unique_ptr<ItemData>>> item_data_;
};

}  // namespace zt::view::menu_xp
