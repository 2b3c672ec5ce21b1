#pragma once
// One owner for one WinINet handle: closed exactly once, by whoever holds it
// last. Moves hand the handle on; copies do not exist.
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace zt::win {

class InternetHandle {
public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() { Close(); }
  InternetHandle(InternetHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  HINTERNET Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  void Close() {
    if (handle_) InternetCloseHandle(std::exchange(handle_, nullptr));
  }

private:
  HINTERNET handle_ = nullptr;
};

}  // namespace zt::win
