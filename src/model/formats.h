#pragma once
// The texts the model gives an entry: its size column, its date attributes,
// its list-view row; and the size text of a server entry.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_system.h"
#include "model/records.h"

namespace zt {

// A server entry's size text: digits, optionally followed by K/k (KiB) or
// M/m (MiB), with spaces ignored. Anything else gives 0, and so does a size
// that would not fit in 31 bits (2,147,483,648 bytes or more) once scaled:
// such a text is as unusable as a malformed one.
std::int64_t ParseSizeText(std::u16string_view text);

// "%Y-%m-%d %H:%M:%S". Empty when the time is not a real calendar time or
// its year does not fit the four-digit form within the platform's file-time
// range (1601 .. 9999).
std::u16string DateText(const CivilTime& time);

// Column 2 of a row: "%d Kb" with Size >> 10 taken as a signed 32-bit number
// for a local entry, "? Kb" for a server entry.
std::u16string SizeColumnText(const CZTFileItem& entry);

// The texts of an entry's row: column 0 the Name, column 1 the local or the
// server path, column 2 the size text, then one column per visible
// attribute name, in registration order, holding the entry's value or "".
std::vector<std::u16string> RowTexts(const CZTFileItem& entry, const std::vector<CZTFileAttrInfo>& attributeNames);

}  // namespace zt
