#include "text/string_table.h"

#include <gtest/gtest.h>

#include <string>

#include "text/utf8.h"

namespace zt {
namespace {

// Every text byte for byte, as UTF-8, typed here independently of the table.
TEST(StringTable, HoldsEveryTextExactly) {
  struct Expected {
    unsigned id;
    const char* utf8;
  };
  const Expected expected[] = {
      {1, u8"ZTFILEUPLOAD Control"},
      {2, u8"ZTFILEUPLOAD Property Page"},
      {200, u8"일반"},
      {500, u8"서버 URL : %s"},
      {501, u8"포트 번호 : %s"},
      {502, u8"파일수 :  %s / %s 개"},
      {503, u8"%s KB / %s KB"},
      {504, u8"파일 업로드 상태 윈도우"},
      {505, u8"전송속도 : %d KB/s"},
      {506, u8"예상시간 : %.2u:%.2u:%.2u"},
      {507, u8"경과시간 : %.2u:%.2u:%.2u"},
      {1001, u8"전송 대상 호스트명과 위치를 설정하지 않았습니다."},
      {1002, u8"\"%s\" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다."},
      {1003, u8"파일 인덱스를 초과했습니다. 처리가 중지됩니다."},
      {1004, u8"총 파일들 크기를 초과했습니다. 처리가 중지됩니다."},
      {1005, u8"읽기 전용 입니다."},
      {1006, u8"해당 파일이 존재하지 않습니다."},
      {1007, u8"\"_\"로 시작하는 속성을 입력할 수 없습니다."},
      {1008, u8"파일을 전송중입니다. 처리가 중지됩니다."},
      {1009, u8"전송할 데이터가 없습니다. 처리가 중지됩니다."},
      {1010, u8"전송 데이터 생성에 실패했습니다. 처리가 중지됩니다."},
      {4001, u8"전송 대상 파일을 잠글 수 없습니다. 다른 프로그램이 열고 있습니다."},
      {4002, u8"인터넷을 열 수 없습니다."},
      {4003, u8"연결에 실패했습니다."},
      {4004, u8"Request를 열 수 없습니다."},
      {4005, u8"Request 헤더를 추가할 수 없습니다."},
      {4006, u8"Request 전송 중 오류가 발생했습니다."},
      {4007, u8"메시지 전송 중 오류가 발생했습니다."},
      {4008, u8"파일 전송 중 오류가 발생했습니다."},
      {4009, u8"Request 종료 중 오류가 발생했습니다."},
      {4010, u8"응답 상태 코드를 가져올 수 없습니다."},
      {4101, u8"전송할 파일을 읽을 수 없습니다."},
      {4102, u8"메모리가 부족하여 요청을 보낼 수 없습니다."},
      {4103, u8"업로드 스레드를 시작할 수 없습니다."},
      {4104, u8"요청을 보낼 HTTP 에이전트가 없습니다."},
      {4105, u8"전송 중 예기치 않은 오류가 발생했습니다."},
      {14001, u8"전송이 취소되었습니다."},
      {21001, u8"파일명"},
      {21002, u8"파일경로"},
      {21003, u8"파일크기"},
      {21004, u8"전송상태"},
      {21005, u8"대기"},
      {21006, u8"전송중"},
      {21007, u8"완료"},
      {21008, u8"실패"},
      {21009, u8"파일 전송 상태 : %s KB / %s KB"},
      {21010, u8"총 전송 상태 : %s KB / %s KB"},
      {21011, u8"총파일 %s 개 중 %s 개 전송 중"},
      {21012, u8"재시도"},
      {21013, u8"재전송"},
      {32787, u8"사용하기 전에 안전한 첨부파일만 열어야 합니다.\n\n"
              u8"파일을 여시겠습니까, 아니면 컴퓨터에 저장하시겠습니까?"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    EXPECT_EQ(ToUtf8(LoadText(e.id)), std::string(e.utf8));
  }
}

TEST(StringTable, UnknownIdsAreEmpty) {
  for (unsigned id : {0u, 3u, 199u, 201u, 499u, 508u, 1000u, 1011u, 4000u, 4011u, 4100u, 4106u, 14000u, 14002u, 21000u,
                      21014u, 32786u, 32788u, 4294967295u}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(LoadText(id).empty());
  }
}

}  // namespace
}  // namespace zt
