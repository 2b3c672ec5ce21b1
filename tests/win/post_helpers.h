#pragma once
// What the posting tests share: real files in a scratch folder, a file
// system over them, a port nothing listens on, and UTF-8 for messages.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_system.h"
#include "platform/wide_text.h"

namespace zt::test {

inline std::string Utf8(std::u16string_view text) {
  std::wstring wide(AsWideData(text), text.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// The receiver's view of the files: what a find-first on the path reports.
class RealFiles final : public FileSystem {
public:
  std::optional<FoundFile> FindFirst(std::u16string_view path) override {
    std::u16string p(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(AsWide(p), GetFileExInfoStandard, &data)) return std::nullopt;
    FoundFile f;
    f.FullPath = p;
    f.Name = p.substr(p.find_last_of(u"\\/") + 1);
    f.Size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return f;
  }
  std::vector<FoundFile> FindAll(std::u16string_view) override { return {}; }
  std::optional<FileTimes> Times(std::u16string_view) override { return std::nullopt; }
  CivilTime LocalEpoch() override { return {}; }
};

// A folder of its own for every test's files.
class Scratch {
public:
  Scratch() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = FromWide(temp) + u"zt-wininet-" + FromWide(std::to_wstring(GetCurrentProcessId()).c_str()) + u"-" +
           FromWide(std::to_wstring(++counter_).c_str());
    // A folder left by an earlier run under a reused process id is fine.
    if (!CreateDirectoryW(AsWide(dir_), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      ADD_FAILURE() << "cannot create " << Utf8(dir_);
  }
  ~Scratch() {
    for (const auto& f : files_) DeleteFileW(AsWide(f));
    RemoveDirectoryW(AsWide(dir_));
  }
  std::u16string Write(const std::u16string& name, const std::string& bytes) {
    std::u16string path = dir_ + u"\\" + name;
    HANDLE h = CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot create " << Utf8(path) << ": " << GetLastError();
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    files_.push_back(path);
    return path;
  }
  // A file of size bytes that occupies (almost) no disk: only its end is written.
  std::u16string Sparse(const std::u16string& name, std::int64_t size) {
    std::u16string path = dir_ + u"\\" + name;
    HANDLE h = CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot create " << Utf8(path) << ": " << GetLastError();
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    files_.push_back(path);
    return path;
  }

private:
  static inline int counter_ = 0;
  std::u16string dir_;
  std::vector<std::u16string> files_;
};

}  // namespace zt::test
