// The control's saved properties: their names, types, order and load
// defaults, and the one exchange that saves and loads them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/persist_exchange.h"

namespace zt::ole {

// The saved part of the control's state, as the control holds it.
struct SavedProperties {
  std::int64_t max_upload_bytes = 0;  // saved in megabytes
  std::u16string url;
  std::u16string user_name;
  std::u16string password;
  std::int32_t port = 80;
  std::int16_t post_mode = 0;
  std::int32_t kbyte_rate = 0;
  std::int16_t enable_folder_menu = 1;
  std::int16_t list_type = 0;
  std::int16_t enable_delete_menu = 1;
  std::int32_t bg_color = 0xFFFFFF;
  std::int32_t fg_color = 0;
  std::int16_t track_select = 0;
  std::int16_t row_select = 1;
  std::int16_t enable_header_move = 1;
  std::int16_t grid_line = 0;
  std::int16_t utf8 = 0;
  std::int16_t ex_file_attributes = 0;
  // Saved by name only (a property bag): the stream keeps its earlier layout.
  std::int32_t retry_count = 0;
  std::int32_t parallel_count = 1;
  std::u16string resumable_url;  // the tus endpoint; empty: every post is one request
};

// MaxUploadSize megabytes to the byte limit and back (64-bit; the count is
// read back unsigned, shifted by 20, low 32 bits).
std::int64_t MegabytesToBytes(std::int32_t megabytes);
std::int32_t BytesToMegabytes(std::int64_t bytes);

// Sets the values that have a load default (what a new control starts
// from): URL, UserName, Password empty, Port 80, PostMode, KByteRate,
// ListType and RetryCount 0, ParallelCount 1, ResumableURL empty. The rest keep their values.
void ApplyLoadDefaults(SavedProperties& p);

// Exchanges the properties in their saved order. On load a value absent
// from the saved state takes its load default, or stays as it was when it
// has none; PostMode and ListType are read as 32-bit values and keep their
// low 16 bits. A failure stops the exchange: load into a copy and apply it
// only on success, so a damaged state changes nothing.
HRESULT ExchangeSavedProperties(PropertyExchange& px, SavedProperties& p);

}  // namespace zt::ole
