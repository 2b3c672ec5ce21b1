#pragma once
// The door between a post's own threads and the owner of its manager. A
// thread holds a pass for as long as it runs one of the owner's callbacks;
// the owner shuts the door before it lets go of the manager and then waits
// until no other thread holds a pass. A callback that shuts the door from
// inside (one that deletes its manager) holds a pass itself: that one is not
// waited for, its thread simply makes no further call.
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace zt {

class CallbackGate {
public:
  class Pass {
  public:
    Pass() = default;
    Pass(Pass&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
    Pass& operator=(Pass&&) = delete;
    Pass(const Pass&) = delete;
    ~Pass() {
      if (gate_) gate_->Leave();
    }
    explicit operator bool() const { return gate_ != nullptr; }

  private:
    friend class CallbackGate;
    explicit Pass(CallbackGate* gate) : gate_(gate) {}
    CallbackGate* gate_ = nullptr;
  };

  CallbackGate() = default;
  CallbackGate(const CallbackGate&) = delete;
  CallbackGate& operator=(const CallbackGate&) = delete;

  // A pass for the calling thread, or an empty one once the gate is shut.
  Pass Enter();
  // No pass is given from now on. Passes already held stay valid.
  void Shut();
  bool IsShut() const;
  // Whether a thread other than the calling one holds a pass.
  bool HeldElsewhere() const;

private:
  void Leave();

  mutable std::mutex lock_;
  bool shut_ = false;
  std::vector<std::thread::id> holders_;  // one entry per pass held
};

}  // namespace zt
