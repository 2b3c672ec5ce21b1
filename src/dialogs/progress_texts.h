#pragma once
// The texts the two progress dialogs show, from the string table. Byte
// counts are shown in kilobytes (shifted right by 10); times as hours,
// minutes and seconds, the hours not wrapped at a day.
#include <cstdint>
#include <string>

namespace zt::progress_text {

std::u16string FileCount(std::int32_t done, std::int32_t count);            // "파일수 :  a / b 개"
std::u16string Kilobytes(std::uint64_t sent, std::uint64_t total);          // "a KB / b KB"
std::u16string Rate(std::uint32_t bytesPerMs);                              // "전송속도 : r KB/s"
std::u16string Estimate(std::uint64_t seconds);                             // "예상시간 : hh:mm:ss"
std::u16string Elapsed(std::uint64_t seconds);                              // "경과시간 : hh:mm:ss"
std::u16string PanelTotal(std::uint64_t totalBytes);                        // "총용량 : n KB"
std::u16string Title();                                                     // the window title

// The multi-file dialog's own texts.
std::u16string Server(const std::u16string& host, const std::u16string& path);
std::u16string Port(std::int32_t port);
std::u16string SizeColumn(std::int64_t bytes);                              // "n Kb"
std::u16string FileKilobytes(std::uint64_t sent, std::uint64_t size);       // this file
std::u16string OverallKilobytes(std::uint64_t sent, std::uint64_t total);   // the whole run
std::u16string FileOf(std::int32_t count, std::int32_t current);            // "총파일 n 개 중 m 개 전송 중"
std::u16string ColumnTitle(int column);                                     // 0..3
std::u16string RowState(int state);                                         // 0 waiting .. 3 failed
std::u16string RetryCaption();                                              // "재시도"
std::u16string Resending();                                                 // "재전송"

// The window of a long OpenFile fetch.
std::u16string FetchTitle();                                                // "파일 받는 중"
std::u16string FetchName(const std::u16string& name);                       // "받는 파일 : name"
// "a KB / b KB" when the server declared its length, "a KB" otherwise.
std::u16string FetchKilobytes(std::uint64_t received, std::uint64_t total);
std::u16string FetchRate(std::uint32_t bytesPerMs);                         // "받는 속도 : r KB/s"
std::u16string FetchCancel();                                               // "취소"

// The open/save question's account of the fetched file: its name, its size
// (bytes below a kilobyte, else kilobytes) and the server it came from.
std::u16string QuestionEntry(const std::u16string& name, std::uint64_t bytes, const std::u16string& server);

}  // namespace zt::progress_text
