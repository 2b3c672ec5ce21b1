#include "dialogs/progress_meter.h"

#include <limits>

namespace zt {

void ActiveClock::Start(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> hold(lock_);
  start_ = nowMs;
  pausedTotal_ = 0;
  paused_ = false;
}

void ActiveClock::Pause(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> hold(lock_);
  if (paused_) return;
  paused_ = true;
  pausedAt_ = nowMs;
}

void ActiveClock::Resume(std::uint64_t nowMs) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!paused_) return;
  paused_ = false;
  if (nowMs > pausedAt_) pausedTotal_ += nowMs - pausedAt_;
}

std::uint64_t ActiveClock::Ms(std::uint64_t nowMs) const {
  std::lock_guard<std::mutex> hold(lock_);
  const std::uint64_t end = paused_ ? pausedAt_ : nowMs;
  const std::uint64_t idle = start_ + pausedTotal_;
  return end > idle ? end - idle : 0;
}

DisplayGate::Decision DisplayGate::Check(std::uint64_t nowMs, std::uint64_t sent, std::uint64_t total) {
  Decision d;
  d.Labels = nowMs / 500 != lastMs_ / 500 || sent == total;
  if (!d.Labels) return d;
  d.Rate = sent != 0 && nowMs / 1000 != lastMs_ / 1000;
  lastMs_ = nowMs;
  return d;
}

bool ProgressMailbox::Leave(DisplayGate::Decision due) {
  due_.fetch_or((due.Labels ? kLabels : 0u) | (due.Rate ? kRate : 0u));
  return !pending_.exchange(true);
}

DisplayGate::Decision ProgressMailbox::Take() {
  pending_ = false;  // before the parts, so a report left meanwhile sends a new note
  const unsigned due = due_.exchange(0);
  DisplayGate::Decision d;
  d.Labels = (due & kLabels) != 0;
  d.Rate = (due & kRate) != 0;
  return d;
}

bool ProgressReporter::Report(std::uint64_t nowMs, std::uint64_t sent, std::uint64_t total) {
  const int bar = PercentOf(sent, total);
  const DisplayGate::Decision due = gate_.Check(nowMs, sent, total);
  if (!due.Labels && bar == lastBar_) return false;
  lastBar_ = bar;
  return mailbox_.Leave(due);
}

int PercentOf(std::uint64_t sent, std::uint64_t total) {
  if (total == 0) return 0;
  if (sent >= total) return 100;
  if (sent <= std::numeric_limits<std::uint64_t>::max() / 100) return static_cast<int>(sent * 100 / total);
  return static_cast<int>(static_cast<long double>(sent) * 100 / static_cast<long double>(total));
}

std::uint32_t RateOf(std::uint64_t sent, std::uint64_t activeMs) {
  if (sent == 0 || activeMs == 0) return 0;
  const std::uint64_t rate = sent / activeMs;
  return rate > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                          : static_cast<std::uint32_t>(rate);
}

std::uint64_t EstimateSeconds(std::uint64_t total, std::uint64_t sent, std::uint64_t activeMs) {
  if (sent == 0) return 0;
  const long double ms = static_cast<long double>(total) * static_cast<long double>(activeMs) /
                         static_cast<long double>(sent);
  const long double seconds = ms / 1000;
  if (seconds >= static_cast<long double>(std::numeric_limits<std::uint64_t>::max())) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return static_cast<std::uint64_t>(seconds);
}

std::uint64_t ThrottleDelayMs(std::uint64_t sent, std::uint64_t activeMs, std::int32_t kbyteRate) {
  if (kbyteRate <= 0) return 0;
  const long double bytesPerMs = static_cast<long double>(kbyteRate) * 1024 / 1000;
  const long double due = static_cast<long double>(sent) / bytesPerMs;
  const long double wait = due - static_cast<long double>(activeMs);
  return wait > 0 ? static_cast<std::uint64_t>(wait + 0.5L) : 0;
}

}  // namespace zt
