#include "transfer/win/resume_registry.h"

#include <windows.h>

#include "platform/registry.h"
#include "platform/wide_text.h"
#include "transfer/resume_book.h"

namespace zt::win {

namespace {

constexpr wchar_t RecordsKey[] = L"Software\\ZTFileUpload\\Resumable";

// Each call opens the key anew: controls on several threads share the
// values, never a handle. A failure only costs a resume.
class RegistryStore final : public RecordStore {
public:
  std::vector<std::pair<std::u16string, std::u16string>> All() override {
    std::vector<std::pair<std::u16string, std::u16string>> all;
    com::RegKey key;
    if (com::RegKey::Open(HKEY_CURRENT_USER, RecordsKey, &key) != ERROR_SUCCESS) return all;
    for (DWORD i = 0;; ++i) {
      wchar_t name[64];
      DWORD nameSize = 64, type = 0, dataSize = 0;
      LSTATUS s = RegEnumValueW(key.Get(), i, name, &nameSize, nullptr, &type, nullptr, &dataSize);
      if (s == ERROR_NO_MORE_ITEMS) break;
      // A value of ours has a short name and a text of at most 64 KiB.
      if (s != ERROR_SUCCESS || type != REG_SZ || dataSize > 65536) continue;
      std::wstring text;
      if (key.GetText(name, &text) != ERROR_SUCCESS) continue;
      all.emplace_back(FromWide(name, nameSize), FromWide(text.c_str(), text.size()));
    }
    return all;
  }
  void Set(const std::u16string& name, const std::u16string& text) override {
    com::RegKey key;
    if (com::RegKey::Create(HKEY_CURRENT_USER, RecordsKey, &key) != ERROR_SUCCESS) return;
    key.SetText(std::wstring(AsWide(name)), std::wstring(AsWide(text)));
  }
  void Remove(const std::u16string& name) override {
    com::RegKey key;
    if (com::RegKey::Create(HKEY_CURRENT_USER, RecordsKey, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key.Get(), AsWide(name));
  }
};

std::uint64_t NowSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000000;
}

}  // namespace

std::shared_ptr<ResumeRecords> UserResumeRecords() {
  return std::make_shared<ResumeBook>(std::make_unique<RegistryStore>(), NowSeconds);
}

}  // namespace zt::win
