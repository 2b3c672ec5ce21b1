#include "model/records.h"

#include "text/unicode.h"

namespace zt {

std::u16string CZTFileItem::Extension() const {
  const auto dot = Name.rfind(u'.');
  return dot == std::u16string::npos ? std::u16string() : Name.substr(dot + 1);
}

void CZTFileItem::SetAttribute(std::u16string_view name, std::u16string_view value) {
  for (auto& pair : Attributes) {
    if (EqualsNoCase(pair.Name, name)) {
      pair.Value.assign(value);
      return;
    }
  }
  Attributes.push_back({std::u16string(name), std::u16string(value)});
}

std::u16string CZTFileItem::GetAttribute(std::u16string_view name) const {
  for (const auto& pair : Attributes)
    if (EqualsNoCase(pair.Name, name)) return pair.Value;
  return {};
}

}  // namespace zt
