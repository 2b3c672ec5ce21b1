#pragma once
// The codes and texts of the errors the control reports to scripts, and the
// numbers its dispatch exceptions carry.
#include <cstdint>
#include <string>
#include <string_view>

#include "transfer/trans_error.h"

namespace zt {

namespace control_error {
inline constexpr std::u16string_view NoDestination = u"E01001";
inline constexpr std::u16string_view NameExists = u"E01002";
inline constexpr std::u16string_view IndexExceeded = u"E01003";
inline constexpr std::u16string_view ReadOnly = u"E01005";
inline constexpr std::u16string_view NoSuchFile = u"E01006";
inline constexpr std::u16string_view Underscore = u"E01007";
inline constexpr std::u16string_view Busy = u"E01008";
inline constexpr std::u16string_view NothingToSend = u"E01009";
inline constexpr std::u16string_view BuildFailed = u"E01010";
}  // namespace control_error

// The number an error code stands for: its digits after the letter, read as
// decimal, plus 10000 for an information code ("E01006" gives 1006,
// "I04001" 14001; "" and other letters give 0).
std::uint16_t ErrorNumber(std::u16string_view code);

// The text of a code: the string table entry of its number, formatted with
// name where the text takes one.
std::u16string ErrorText(std::u16string_view code, std::u16string_view name = {});

// Records a post's failure in the error pair. The code always replaces the
// old one; the description follows it, so that it never describes an earlier
// error: the code's text, or for a failure without a code its own message.
void RecordTransferFailure(const CZTTransException& failure, std::u16string& errorCode,
                           std::u16string& errorDescription);

}  // namespace zt
