#include "dialogs/progress_texts.h"

#include "text/format.h"

namespace zt::progress_text {

namespace {

constexpr unsigned kFileCount = 502;
constexpr unsigned kKilobytes = 503;
constexpr unsigned kTitle = 504;
constexpr unsigned kRate = 505;
constexpr unsigned kEstimate = 506;
constexpr unsigned kElapsed = 507;
constexpr unsigned kServer = 500;
constexpr unsigned kPort = 501;
constexpr unsigned kFirstColumn = 21001;
constexpr unsigned kFirstState = 21005;
constexpr unsigned kFileKilobytes = 21009;
constexpr unsigned kOverallKilobytes = 21010;
constexpr unsigned kFileOf = 21011;
constexpr unsigned kRetry = 21012;
constexpr unsigned kResending = 21013;
constexpr unsigned kFetchTitle = 32789;
constexpr unsigned kFetchName = 32790;
constexpr unsigned kFetchReceived = 32791;
constexpr unsigned kFetchRate = 32792;
constexpr unsigned kFetchCancel = 32793;
constexpr unsigned kQuestionEntry = 32800;
constexpr unsigned kBytes = 32801;

std::u16string Decimal(std::int32_t n) { return Format(u"%d", {n}); }
std::u16string Kb(std::uint64_t bytes) { return Format(u"%I64u", {static_cast<unsigned long long>(bytes >> 10)}); }

std::u16string Clock(unsigned id, std::uint64_t seconds) {
  return FormatText(id, {static_cast<unsigned long long>(seconds / 3600),
                         static_cast<unsigned long long>(seconds / 60 % 60),
                         static_cast<unsigned long long>(seconds % 60)});
}

}  // namespace

std::u16string FileCount(std::int32_t done, std::int32_t count) {
  return FormatText(kFileCount, {Decimal(done), Decimal(count)});
}
std::u16string Kilobytes(std::uint64_t sent, std::uint64_t total) { return FormatText(kKilobytes, {Kb(sent), Kb(total)}); }
std::u16string Rate(std::uint32_t bytesPerMs) { return FormatText(kRate, {bytesPerMs}); }
std::u16string Estimate(std::uint64_t seconds) { return Clock(kEstimate, seconds); }
std::u16string Elapsed(std::uint64_t seconds) { return Clock(kElapsed, seconds); }
std::u16string PanelTotal(std::uint64_t totalBytes) {
  return Format(u"\uCD1D\uC6A9\uB7C9 : %I64u KB", {static_cast<unsigned long long>(totalBytes >> 10)});
}
std::u16string Title() { return FormatText(kTitle); }

std::u16string Server(const std::u16string& host, const std::u16string& path) {
  return FormatText(kServer, {host + path});
}
std::u16string Port(std::int32_t port) { return FormatText(kPort, {Decimal(port)}); }
std::u16string SizeColumn(std::int64_t bytes) {
  return Format(u"%d Kb", {static_cast<std::int32_t>(static_cast<std::uint64_t>(bytes) >> 10)});
}
std::u16string FileKilobytes(std::uint64_t sent, std::uint64_t size) {
  return FormatText(kFileKilobytes, {Kb(sent), Kb(size)});
}
std::u16string OverallKilobytes(std::uint64_t sent, std::uint64_t total) {
  return FormatText(kOverallKilobytes, {Kb(sent), Kb(total)});
}
std::u16string FileOf(std::int32_t count, std::int32_t current) {
  return FormatText(kFileOf, {Decimal(count), Decimal(current)});
}
std::u16string ColumnTitle(int column) { return FormatText(kFirstColumn + static_cast<unsigned>(column)); }
std::u16string RowState(int state) { return FormatText(kFirstState + static_cast<unsigned>(state)); }
std::u16string RetryCaption() { return FormatText(kRetry); }
std::u16string Resending() { return FormatText(kResending); }

std::u16string FetchTitle() { return FormatText(kFetchTitle); }
std::u16string FetchName(const std::u16string& name) { return FormatText(kFetchName, {name}); }
std::u16string FetchKilobytes(std::uint64_t received, std::uint64_t total) {
  return total ? Kilobytes(received, total) : FormatText(kFetchReceived, {Kb(received)});
}
std::u16string FetchRate(std::uint32_t bytesPerMs) { return FormatText(kFetchRate, {bytesPerMs}); }
std::u16string FetchCancel() { return FormatText(kFetchCancel); }

std::u16string QuestionEntry(const std::u16string& name, std::uint64_t bytes, const std::u16string& server) {
  // A small file would read "0 KB", as if nothing had arrived.
  const std::u16string size = bytes < 1024
      ? FormatText(kBytes, {Format(u"%I64u", {static_cast<unsigned long long>(bytes)})})
      : FormatText(kFetchReceived, {Kb(bytes)});
  return FormatText(kQuestionEntry, {name, size, server});
}

}  // namespace zt::progress_text
