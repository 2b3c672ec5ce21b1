#include "control/control_errors.h"

#include <gtest/gtest.h>

namespace zt {
namespace {

// A post's failure replaces whatever the pair held; the description never
// keeps describing the earlier error.
TEST(RecordTransferFailure, DescriptionFollowsTheNewCode) {
  struct Case {
    const char16_t* code;
    const char16_t* message;
    const char16_t* expectedDescription;
  } const cases[] = {
      {u"E04006", u"", u"Request 전송 중 오류가 발생했습니다."},
      {u"E04001", u"", u"전송 대상 파일을 잠글 수 없습니다. 다른 프로그램이 열고 있습니다."},
      // The shared mapping gives these two no text of their own.
      {u"E04010", u"", u"응답 상태 코드를 가져올 수 없습니다."},
      {u"", u"read failure", u"read failure"},
  };
  for (const Case& c : cases) {
    std::u16string code = u"E01006", description = u"해당 파일이 존재하지 않습니다.";
    CZTTransException failure;
    failure.Code = c.code;
    failure.Description = c.message;
    RecordTransferFailure(failure, code, description);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(description, c.expectedDescription);
  }
}

// The letter counts: a cancel (I04001) is never told with the text of the
// locked-file error that shares its digits.
TEST(ErrorText, TheCodesLetterChoosesTheText) {
  EXPECT_EQ(ErrorText(u"I04001"), u"전송이 취소되었습니다.");
  EXPECT_EQ(ErrorText(u"E04001"), u"전송 대상 파일을 잠글 수 없습니다. 다른 프로그램이 열고 있습니다.");
  EXPECT_EQ(ErrorNumber(u"X04001"), 0);
}

}  // namespace
}  // namespace zt
