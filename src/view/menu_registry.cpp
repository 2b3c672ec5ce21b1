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

template <typename Map, typename Key>
void SetImage(Map& map, Key key, HIMAGELIST images, int index) {
  win::UniqueHicon icon(images && index >= 0 ? ImageList_GetIcon(images, index, ILD_NORMAL) : nullptr);
  if (icon)
    map[key] = std::move(icon);
  else
    map.erase(key);
}

template <typename Map, typename Key>
HICON Find(const Map& map, Key key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : it->second.Get();
}

}  // namespace

MenuRegistry& MenuRegistry::Instance() {
  static MenuRegistry registry;
  return registry;
}

void MenuRegistry::SetCommandImage(UINT command, HIMAGELIST images, int index) {
  SetImage(command_images_, command, images, index);
}

void MenuRegistry::SetSubmenuImage(HMENU submenu, HIMAGELIST images, int index) {
  SetImage(submenu_images_, submenu, images, index);
}

HICON MenuRegistry::ImageOf(UINT command, HMENU submenu) const {
  return submenu ? Find(submenu_images_, submenu) : Find(command_images_, command);
}

std::u16string MenuRegistry::TextOf(UINT command, HMENU submenu) const {
  if (submenu) {
    auto it = submenu_texts_.find(submenu);
    return it == submenu_texts_.end() ? std::u16string{} : it->second;
  }
  auto it = command_texts_.find(command);
  return it == command_texts_.end() ? std::u16string{} : it->second;
}

std::vector<ULONG_PTR> MenuRegistry::SetItemData(HMENU popup,
                                                 std::vector<std::pair<std::uint32_t, std::u16string>> items) {
  std::vector<std::unique_ptr<ItemData>> records;
  std::vector<ULONG_PTR> addresses;
  for (auto& [packed, text] : items) {
    auto record = std::make_unique<ItemData>();
    record->packed = packed;
    record->text.assign(text.begin(), text.end());
    record->accessible.dwMSAASignature = MSAA_MENU_SIG;
    record->accessible.cchWText = static_cast<DWORD>(record->text.size());
    record->accessible.pszWText = record->text.data();
    addresses.push_back(reinterpret_cast<ULONG_PTR>(record.get()));
    records.push_back(std::move(record));
  }
  // The caller puts the new addresses into the items at once; nothing reads
  // the old ones in between (one thread).
  item_data_[popup] = std::move(records);
  return addresses;
}

std::optional<std::uint32_t> MenuRegistry::PackedOf(ULONG_PTR data) const {
  for (const auto& [menu, records] : item_data_)
    for (const auto& record : records)
      if (reinterpret_cast<ULONG_PTR>(record.get()) == data) return record->packed;
  return std::nullopt;
}

void MenuRegistry::RemoveDeadSubmenus() {
  EraseDead(submenu_images_);
  EraseDead(submenu_texts_);
  EraseDead(item_data_);
}

}  // namespace zt::view::menu_xp
