#pragma once
// How long a post waits for the server after the last byte of its body:
// ZTFILEUPLOAD_REPLY_TIMEOUT seconds when that environment variable holds a
// positive number (at most a day), else two minutes. The status dialogs give
// the post up after it; WinINet's receive timeout ends a post on the
// caller's thread (PostFile, PostMessage) after it, with E04009.
#include <windows.h>

namespace zt::win {

DWORD ReplyWaitLimitMs();

}  // namespace zt::win
