#include "text/string_table.h"

#include <algorithm>
#include <iterator>

namespace zt {

namespace {

struct Entry {
  unsigned id;
  std::u16string_view text;
};

// Sorted by id. The %-sequences are placeholders for Format.
constexpr Entry kTable[] = {
    {1, u"ZTFILEUPLOAD Control"},
    {2, u"ZTFILEUPLOAD Property Page"},
    {200, u"일반"},
    // Status dialogs
    {500, u"서버 URL : %s"},
    {501, u"포트 번호 : %s"},
    {502, u"파일수 :  %s / %s 개"},
    {503, u"%s KB / %s KB"},
    {504, u"파일 업로드 상태 윈도우"},
    {505, u"전송속도 : %d KB/s"},
    {506, u"예상시간 : %.2u:%.2u:%.2u"},
    {507, u"경과시간 : %.2u:%.2u:%.2u"},
    // E01001 .. E01010: refusals of script calls
    {1001, u"전송 대상 호스트명과 위치를 설정하지 않았습니다."},
    {1002, u"\"%s\" 파일명이 이미 존재합니다. 파일을 추가할 수 없습니다."},
    {1003, u"파일 인덱스를 초과했습니다. 처리가 중지됩니다."},
    {1004, u"총 파일들 크기를 초과했습니다. 처리가 중지됩니다."},
    {1005, u"읽기 전용 입니다."},
    {1006, u"해당 파일이 존재하지 않습니다."},
    {1007, u"\"_\"로 시작하는 속성을 입력할 수 없습니다."},
    {1008, u"파일을 전송중입니다. 처리가 중지됩니다."},
    {1009, u"전송할 데이터가 없습니다. 처리가 중지됩니다."},
    {1010, u"전송 데이터 생성에 실패했습니다. 처리가 중지됩니다."},
    // E04001 .. E04010: transfer failures
    {4001, u"전송 대상 파일을 잠글 수 없습니다. 다른 프로그램이 열고 있습니다."},
    {4002, u"인터넷을 열 수 없습니다."},
    {4003, u"연결에 실패했습니다."},
    {4004, u"Request를 열 수 없습니다."},
    {4005, u"Request 헤더를 추가할 수 없습니다."},
    {4006, u"Request 전송 중 오류가 발생했습니다."},
    {4007, u"메시지 전송 중 오류가 발생했습니다."},
    {4008, u"파일 전송 중 오류가 발생했습니다."},
    {4009, u"Request 종료 중 오류가 발생했습니다."},
    {4010, u"응답 상태 코드를 가져올 수 없습니다."},
    // Failures without a code, when the system has no text for their number
    {4101, u"전송할 파일을 읽을 수 없습니다."},
    {4102, u"메모리가 부족하여 요청을 보낼 수 없습니다."},
    {4103, u"업로드 스레드를 시작할 수 없습니다."},
    {4104, u"요청을 보낼 HTTP 에이전트가 없습니다."},
    {4105, u"전송 중 예기치 않은 오류가 발생했습니다."},
    // I04001: the user cancelled
    {14001, u"전송이 취소되었습니다."},
    // Multi-file dialog: column headings, row states, labels
    {21001, u"파일명"},
    {21002, u"파일경로"},
    {21003, u"파일크기"},
    {21004, u"전송상태"},
    {21005, u"대기"},
    {21006, u"전송중"},
    {21007, u"완료"},
    {21008, u"실패"},
    {21009, u"파일 전송 상태 : %s KB / %s KB"},
    {21010, u"총 전송 상태 : %s KB / %s KB"},
    {21011, u"총파일 %s 개 중 %s 개 전송 중"},
    {21012, u"재시도"},  // Start's caption once a run left failed files
    {21013, u"재전송"},  // a failed file's row while it waits to be sent again
    // Open/save question after a download
    {32787, u"사용하기 전에 안전한 첨부파일만 열어야 합니다.\n\n파일을 여시겠습니까, 아니면 컴퓨터에 저장하시겠습니까?"},
    {32788, u"\"%s\" 파일은 프로그램을 실행하는 형식이므로 열지 않았습니다. 받은 파일은 삭제했습니다.\n\n"
             u"필요하면 다시 받아 [저장]으로 컴퓨터에 저장하십시오."},
    // The window of a long download
    {32789, u"파일 받는 중"},
    {32790, u"받는 파일 : %s"},
    {32791, u"%s KB"},
    {32792, u"받는 속도 : %d KB/s"},
    {32793, u"취소"},
    // What the open/save question asks about, as a browser's download prompt names it
    {32800, u"파일 이름 : %s\n크기 : %s\n보낸 서버 : %s"},
    {32801, u"%s 바이트"},
};

}  // namespace

std::u16string_view LoadText(unsigned id) {
  const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                   [](const Entry& e, unsigned key) { return e.id < key; });
  if (it == std::end(kTable) || it->id != id) return {};
  return it->text;
}

}  // namespace zt
