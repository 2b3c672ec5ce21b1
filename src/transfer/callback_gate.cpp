#include "transfer/callback_gate.h"

#include <algorithm>

namespace zt {

CallbackGate::Pass CallbackGate::Enter() {
  std::lock_guard<std::mutex> guard(lock_);
  if (shut_) return Pass();
  holders_.push_back(std::this_thread::get_id());
  return Pass(this);
}

void CallbackGate::Shut() {
  std::lock_guard<std::mutex> guard(lock_);
  shut_ = true;
}

bool CallbackGate::IsShut() const {
  std::lock_guard<std::mutex> guard(lock_);
  return shut_;
}

bool CallbackGate::HeldElsewhere() const {
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> guard(lock_);
  return std::any_of(holders_.begin(), holders_.end(), [self](std::thread::id id) { return id != self; });
}

void CallbackGate::Leave() {
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> guard(lock_);
  holders_.erase(std::find(holders_.begin(), holders_.end(), self));
}

}  // namespace zt
