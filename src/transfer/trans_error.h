#pragma once
// How a post reports a failure: one record per failure, handed to the
// manager's error callback, and the mapping by which the control turns its
// code into the ErrorCode / ErrorDescription pair.
#include <cstdint>
#include <string>
#include <string_view>

namespace zt {

struct CZTTransException {
  std::u16string Description;  // message of an unexpected failure caught during the post
  std::u16string Code;         // "E04001".."E04010", empty for an unexpected failure
  std::u16string SystemText;   // the platform's text for ErrorNumber (E04002..E04010)
  std::uint32_t ErrorNumber = 0;  // Win32 error number of the failing call
};

// The codes of the steps of a post.
namespace trans_code {
constexpr char16_t FileLocked[] = u"E04001";
constexpr char16_t InternetOpen[] = u"E04002";
constexpr char16_t Connect[] = u"E04003";
constexpr char16_t OpenRequest[] = u"E04004";
constexpr char16_t AddHeaders[] = u"E04005";
constexpr char16_t SendRequest[] = u"E04006";
constexpr char16_t WriteMessage[] = u"E04007";
constexpr char16_t WriteFile[] = u"E04008";
constexpr char16_t EndRequest[] = u"E04009";
constexpr char16_t QueryStatus[] = u"E04010";
constexpr char16_t Cancelled[] = u"I04001";
}  // namespace trans_code

// The string ids of the texts of failures without a code.
namespace uncoded_text {
constexpr unsigned FileUnreadable = 4101;    // a file to send could not be read
constexpr unsigned OutOfMemory = 4102;       // no memory to build or send the request
constexpr unsigned ThreadNotStarted = 4103;  // the upload thread could not be started
constexpr unsigned NoAgent = 4104;           // no HTTP agent to send the request
constexpr unsigned Unexpected = 4105;        // any other failure caught during the post
}  // namespace uncoded_text

// The description of a failure without a code: the system's text for its
// error number, which comes in the user's language, or our own text (id)
// when the system has none.
std::u16string UncodedFailureText(std::u16string systemText, unsigned id);

// Applies a failure's code to the control's error pair: code always becomes
// the failure's code; description becomes the text of E04001..E04009 (ids
// 4001..4009) or I04001 (14001) and is left as it was for any other code.
// Codes are compared exactly (a lower-case code is not recognised).
void ApplyTransErrorCode(std::u16string_view failureCode, std::u16string& errorCode,
                         std::u16string& errorDescription);

}  // namespace zt
