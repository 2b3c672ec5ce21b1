#pragma once
// How long a post waits for the server after the last byte of its body:
// ZTFILEUPLOAD_REPLY_TIMEOUT seconds when that environment variable holds a
// positive number (at most a day), else two minutes. It is every request's
// WinINet receive timeout, so it counts silence: a server that keeps sending
// a long reply is read whole, one that says nothing ends the post.
#include <windows.h>

namespace zt::win {

DWORD ReplyWaitLimitMs();

}  // namespace zt::win
