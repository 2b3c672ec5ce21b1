#pragma once
// The arithmetic behind the progress dialogs: a stopwatch that leaves out
// paused time, the gate that keeps label refreshes to two a second and rate
// refreshes to one, the rate, the estimate and the throttle delay. Times are
// milliseconds of a monotonic clock, so neither midnight nor a change of the
// wall clock can make a reading jump.
#include <atomic>
#include <cstdint>
#include <mutex>

namespace zt {

// Elapsed time of a post without its pauses. Start, Pause and Resume come
// from the dialog's thread, Ms from the upload's worker.
class ActiveClock {
public:
  void Start(std::uint64_t nowMs);
  void Pause(std::uint64_t nowMs);
  void Resume(std::uint64_t nowMs);
  // Milliseconds since Start, the paused stretches left out.
  std::uint64_t Ms(std::uint64_t nowMs) const;

private:
  mutable std::mutex lock_;
  std::uint64_t start_ = 0;
  std::uint64_t pausedTotal_ = 0;
  std::uint64_t pausedAt_ = 0;
  bool paused_ = false;
};

// Decides which parts of the display one progress report refreshes: the
// labels once per half-second slot (and always for the last byte), the rate
// and estimate only when the second changed since the last refresh.
class DisplayGate {
public:
  explicit DisplayGate(std::uint64_t nowMs = 0) : lastMs_(nowMs) {}
  void Reset(std::uint64_t nowMs) { lastMs_ = nowMs; }

  struct Decision {
    bool Labels = false;
    bool Rate = false;
  };
  // Also records the refresh when Labels is true.
  Decision Check(std::uint64_t nowMs, std::uint64_t sent, std::uint64_t total);

private:
  std::uint64_t lastMs_;
};

// How a post's worker tells the dialog's thread that a report is waiting
// without ever waiting for it: the worker leaves the parts of the display
// that are due (the values themselves go in atomics of the dialog, stored
// before Leave) and sends a note only when none is on its way; the dialog
// takes the due parts, then reads the values. At most one note is queued,
// and the last report always reaches the display.
class ProgressMailbox {
public:
  // Worker: true when the dialog must be sent a note.
  bool Leave(DisplayGate::Decision due);
  // Dialog: the parts due since the last Take; the next Leave sends a note.
  DisplayGate::Decision Take();

private:
  static constexpr unsigned kLabels = 1, kRate = 2;
  std::atomic<unsigned> due_{0};
  std::atomic<bool> pending_{false};
};

// The worker's side of a dialog's progress: the dialog hears of a report only
// when its bar moves a percent or its labels are due, and never has more than
// one note waiting.
class ProgressReporter {
public:
  // A new transfer starts: labels count from now, the bar from nothing.
  void Restart(std::uint64_t nowMs) {
    gate_.Reset(nowMs);
    lastBar_ = -1;
  }
  // Worker: true when a note must be posted to the dialog.
  bool Report(std::uint64_t nowMs, std::uint64_t sent, std::uint64_t total);
  // Dialog: the parts due since the last Take.
  DisplayGate::Decision Take() { return mailbox_.Take(); }

private:
  DisplayGate gate_;
  int lastBar_ = -1;
  ProgressMailbox mailbox_;
};

// sent * 100 / total, 0 for an empty total, never above 100.
int PercentOf(std::uint64_t sent, std::uint64_t total);
// Bytes per millisecond (shown as KB/s); 0 until a byte and a millisecond passed.
std::uint32_t RateOf(std::uint64_t sent, std::uint64_t activeMs);
// Seconds the whole transfer takes at the pace so far: total * ms / sent,
// computed without first cutting total / sent to an integer.
std::uint64_t EstimateSeconds(std::uint64_t total, std::uint64_t sent, std::uint64_t activeMs);
// How long the worker waits so that sent bytes took at least the time a limit
// of kbyteRate KB/s (1024 bytes) implies; 0 without a limit (0 or less).
std::uint64_t ThrottleDelayMs(std::uint64_t sent, std::uint64_t activeMs, std::int32_t kbyteRate);

}  // namespace zt
