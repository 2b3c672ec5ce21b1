#include "host_output.h"

#include <string>

namespace zt::host {
namespace {

void WriteAll(HANDLE h, const void* data, DWORD size) {
  auto p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(h, p, size, &written, nullptr) || written == 0) return;
    p += written;
    size -= written;
  }
}

std::string ToUtf8(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

Output::~Output() {
  if (log_ != INVALID_HANDLE_VALUE) CloseHandle(log_);
}

bool Output::OpenLog(const std::wstring& path) {
  log_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log_ == INVALID_HANDLE_VALUE) return false;
  static const unsigned char kBom[] = {0xFF, 0xFE};
  WriteAll(log_, kBom, sizeof kBom);
  return true;
}

void Output::Line(const std::wstring& text, bool to_stderr) {
  std::string bytes = ToUtf8(text);
  bytes += '\n';
  HANDLE h = GetStdHandle(to_stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (h && h != INVALID_HANDLE_VALUE) WriteAll(h, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (log_ != INVALID_HANDLE_VALUE) {
    // Flushed line by line: a host killed by a test's time limit still
    // leaves everything it printed.
    std::wstring line = text + L"\r\n";
    WriteAll(log_, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)));
    FlushFileBuffers(log_);
  }
}

}  // namespace zt::host
