#pragma once
// The files of a post, opened through the Win32 file API for reading while
// other programs may keep reading, writing or deleting them.
#include "transfer/http_exchange.h"

namespace zt::win {

class Win32FileOpener final : public FileOpener {
public:
  std::unique_ptr<SendFileReader> OpenForReading(std::u16string_view path) override;
  std::u16string ErrorText(std::uint32_t error) override;
};

// The system's text for a Win32 error number, without the trailing line end;
// empty when the system has none.
std::u16string SystemErrorText(std::uint32_t error);

}  // namespace zt::win
