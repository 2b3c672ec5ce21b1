#include "view/menu_geometry.h"

#include <algorithm>

#include "text/unicode.h"

namespace zt::view {
namespace {

std::uint32_t Field(int value, int max) {
  return static_cast<std::uint32_t>(std::clamp(value, 0, max));
}

bool MarksMnemonic(std::u16string_view label, char16_t upper) {
  for (std::size_t i = 0; i + 1 < label.size(); ++i) {
    if (label[i] != u'&') continue;
    if (label[i + 1] == u'&') {
      ++i;  // "&&" shows one ampersand and marks nothing
      continue;
    }
    if (UpperSimple(label[i + 1]) == upper) return true;
  }
  return false;
}

}  // namespace

int AtDpi(int pixels, int dpi) {
  const long long scaled = static_cast<long long>(pixels) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

MenuItemHeights ItemHeightsFor(int text_height, int dpi) {
  return {text_height > AtDpi(14, dpi) ? text_height + AtDpi(6, dpi) : AtDpi(20, dpi), text_height / 2 + AtDpi(2, dpi)};
}

std::uint32_t PackItemData(int height, int accelerator_width, int label_width) {
  return Field(height, 0xFF) | Field(accelerator_width, 0xFF) << 8 | Field(label_width, 0xFFFF) << 16;
}

MenuItemSize MeasuredItemSize(std::uint32_t item_data, int dpi) {
  const int height = static_cast<int>(item_data & 0xFF);
  const int accelerator = static_cast<int>((item_data >> 8) & 0xFF);
  const int label = static_cast<int>(item_data >> 16);
  if (height == 0) return {label + AtDpi(MenuLayout::kSeparatorWidth, dpi), 0};
  return {label + accelerator + AtDpi(MenuLayout::kExtraWidth, dpi), height};
}

MenuItemText SplitItemText(std::u16string_view text) {
  const std::size_t tab = text.find(u'\t');
  if (tab == std::u16string_view::npos) return {text, {}};
  return {text.substr(0, tab), text.substr(tab + 1)};
}

std::u16string WithoutFirstAmpersand(std::u16string_view label) {
  std::u16string out(label);
  const std::size_t amp = out.find(u'&');
  if (amp != std::u16string::npos) out.erase(amp, 1);
  return out;
}

std::optional<std::size_t> FindMnemonic(const std::vector<std::u16string>& labels, char16_t ch) {
  const char16_t upper = UpperSimple(ch);
  for (std::size_t i = 0; i < labels.size(); ++i)
    if (MarksMnemonic(labels[i], upper)) return i;
  return std::nullopt;
}

}  // namespace zt::view
