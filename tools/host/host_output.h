// Where the script's output goes: the console as UTF-8 and, when asked, a
// UTF-16 LE log file (so Korean text can be checked byte for byte).
#pragma once

#include <windows.h>

#include <string>

namespace zt::host {

class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  // Creates (truncates) the log; false when it cannot be created.
  bool OpenLog(const std::wstring& path);
  // One line to stdout (or stderr) and the log.
  void Line(const std::wstring& text, bool to_stderr = false);

 private:
  HANDLE log_ = INVALID_HANDLE_VALUE;
};

}  // namespace zt::host
