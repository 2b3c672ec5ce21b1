#pragma once
// The run-time member table of _DZTFileUpload: names, numbers, shapes and
// handlers of all 60 members, in number order.
#include "platform/dispatch.h"

namespace zt {

class CZTFileUploadCtrl;

inline constexpr std::size_t kControlMemberCount = 63;

const com::DispatchTable<CZTFileUploadCtrl, kControlMemberCount>& ControlMemberTable();

}  // namespace zt
