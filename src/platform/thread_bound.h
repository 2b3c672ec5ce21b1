#pragma once
// The module's objects are apartment-threaded: each is made, called and
// destroyed on one thread (its windows' thread). Debug builds stop at a use
// from any other thread, where a release build would race.
#include <windows.h>

#include <cstdlib>

namespace zt::win {

class ThreadBound {
public:
  ThreadBound() : thread_(GetCurrentThreadId()) {}

  void CheckThread() const {
#ifndef NDEBUG
    if (GetCurrentThreadId() != thread_) {
      OutputDebugStringW(L"ZTFileUpload: object used off its own thread\n");
      std::abort();
    }
#endif
  }

private:
  DWORD thread_;
};

}  // namespace zt::win
