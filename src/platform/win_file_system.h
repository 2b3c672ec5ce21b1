#pragma once
// The file system as Windows reports it: FindFirstFileW searches, 64-bit
// lengths, and file times converted to local time.
#include "model/file_system.h"

namespace zt {

class WinFileSystem final : public FileSystem {
public:
  std::optional<FoundFile> FindFirst(std::u16string_view path) override;
  std::vector<FoundFile> FindAll(std::u16string_view pattern) override;
  std::optional<FileTimes> Times(std::u16string_view path) override;
  CivilTime LocalEpoch() override;
};

}  // namespace zt
