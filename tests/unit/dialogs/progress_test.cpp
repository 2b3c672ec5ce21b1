#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "dialogs/progress_meter.h"
#include "dialogs/progress_texts.h"

namespace zt {
namespace {

TEST(ProgressMeter, PausesAreLeftOutOfTheClockAndTheRate) {
  ActiveClock clock;
  clock.Start(10'000);
  EXPECT_EQ(clock.Ms(12'000), 2000u);
  clock.Pause(12'000);
  EXPECT_EQ(clock.Ms(50'000), 2000u);  // stands still while paused
  clock.Pause(51'000);                 // a second pause changes nothing
  clock.Resume(60'000);
  clock.Resume(61'000);
  EXPECT_EQ(clock.Ms(61'000), 3000u);
  // 3 MiB in three active seconds: 1048 bytes per ms, not the 65 a clock
  // counting the pause would give.
  EXPECT_EQ(RateOf(3u << 20, clock.Ms(61'000)), 1048u);
  EXPECT_EQ(RateOf(0, 1000), 0u);
  EXPECT_EQ(RateOf(4096, 0), 0u);
}

TEST(ProgressMeter, LabelsTwiceASecondRateOnceAndTheLastByteAlways) {
  DisplayGate gate(1000);
  auto check = [&](std::uint64_t now, std::uint64_t sent) { return gate.Check(now, sent, 100); };
  DisplayGate::Decision d = check(1200, 10);  // same half-second slot
  EXPECT_FALSE(d.Labels);
  d = check(1500, 20);  // next slot, same second
  EXPECT_TRUE(d.Labels);
  EXPECT_FALSE(d.Rate);
  d = check(1999, 30);
  EXPECT_FALSE(d.Labels);
  d = check(2000, 40);  // a new second
  EXPECT_TRUE(d.Labels);
  EXPECT_TRUE(d.Rate);
  d = check(2001, 100);  // the last byte, in the same slot
  EXPECT_TRUE(d.Labels);
  EXPECT_FALSE(d.Rate);
  // Nothing sent yet: the rate and estimate stay empty even in a new second.
  DisplayGate fresh(0);
  d = fresh.Check(5000, 0, 100);
  EXPECT_TRUE(d.Labels);
  EXPECT_FALSE(d.Rate);
}

TEST(ProgressMeter, OneNoteAtATimeAndNoDuePartIsLost) {
  ProgressMailbox box;
  EXPECT_TRUE(box.Leave({false, false}));  // a bar change: the first note goes
  EXPECT_FALSE(box.Leave({true, false}));  // queued behind it, folded in
  EXPECT_FALSE(box.Leave({true, true}));
  DisplayGate::Decision d = box.Take();
  EXPECT_TRUE(d.Labels);
  EXPECT_TRUE(d.Rate);
  d = box.Take();  // taken once only
  EXPECT_FALSE(d.Labels || d.Rate);
  EXPECT_TRUE(box.Leave({true, false}));  // after a Take the next report sends again
}

TEST(ProgressMeter, BarEstimateAndThrottleArithmetic) {
  EXPECT_EQ(PercentOf(0, 0), 0);
  EXPECT_EQ(PercentOf(1, 3), 33);
  EXPECT_EQ(PercentOf(7, 7), 100);
  const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max() / 2;
  EXPECT_EQ(PercentOf(huge / 3, huge), 33);  // no overflow of sent * 100

  // 1.5 times as many bytes still to go: the total is not first cut to 1 x.
  EXPECT_EQ(EstimateSeconds(3000, 2000, 10'000), 15u);
  EXPECT_EQ(EstimateSeconds(1000, 0, 10'000), 0u);
  EXPECT_EQ(EstimateSeconds(std::uint64_t{1} << 40, 1 << 20, 60'000), 62'914'560u);

  // 500 KB/s is 512 bytes per ms: 51200 bytes are due after 100 ms.
  EXPECT_EQ(ThrottleDelayMs(51'200, 40, 500), 60u);
  EXPECT_EQ(ThrottleDelayMs(51'200, 100, 500), 0u);
  EXPECT_EQ(ThrottleDelayMs(51'200, 400, 500), 0u);
  EXPECT_EQ(ThrottleDelayMs(1 << 30, 0, 0), 0u);
  EXPECT_EQ(ThrottleDelayMs(1 << 30, 0, -5), 0u);
  // Following the delays block by block keeps the average at the limit.
  std::uint64_t now = 0, sent = 0;
  for (int block = 0; block < 5000; ++block) {
    sent += 4096;
    now += 1 + ThrottleDelayMs(sent, now, 500);
  }
  const double kbPerSecond = static_cast<double>(sent) / 1024 / (static_cast<double>(now) / 1000);
  EXPECT_NEAR(kbPerSecond, 500, 5);
}

TEST(ProgressTexts, ExactTextsOfBothDialogs) {
  EXPECT_EQ(progress_text::FileCount(2, 5), u"파일수 :  2 / 5 개");
  EXPECT_EQ(progress_text::Kilobytes(3 << 20, std::uint64_t{5} << 32), u"3072 KB / 20971520 KB");
  EXPECT_EQ(progress_text::Rate(512), u"전송속도 : 512 KB/s");
  EXPECT_EQ(progress_text::Estimate(3723), u"예상시간 : 01:02:03");
  // A day and more shows its hours rather than starting again at 00.
  EXPECT_EQ(progress_text::Elapsed(90'061), u"경과시간 : 25:01:01");
  EXPECT_EQ(progress_text::PanelTotal(1536 * 1024), u"총용량 : 1536 KB");
  EXPECT_EQ(progress_text::Title(), u"파일 업로드 상태 윈도우");
  EXPECT_EQ(progress_text::Server(u"example.com", u"/up/recv.asp"), u"서버 URL : example.com/up/recv.asp");
  EXPECT_EQ(progress_text::Port(0), u"포트 번호 : 0");
  EXPECT_EQ(progress_text::SizeColumn(5000), u"4 Kb");
  EXPECT_EQ(progress_text::FileKilobytes(2048, 4096), u"파일 전송 상태 : 2 KB / 4 KB");
  EXPECT_EQ(progress_text::OverallKilobytes(1 << 20, 2 << 20), u"총 전송 상태 : 1024 KB / 2048 KB");
  EXPECT_EQ(progress_text::FileOf(3, 2), u"총파일 3 개 중 2 개 전송 중");
  EXPECT_EQ(progress_text::ColumnTitle(0), u"파일명");
  EXPECT_EQ(progress_text::ColumnTitle(3), u"전송상태");
  EXPECT_EQ(progress_text::RowState(0), u"대기");
  EXPECT_EQ(progress_text::RowState(3), u"실패");
}

}  // namespace
}  // namespace zt
