#pragma once
// The post procedure: opens every file to send, performs the HTTP exchange,
// reads the reply, and reports through the manager's callbacks. Every
// failure is one OnError (a CZTTransException, never a thrown exception),
// and every post ends with exactly one completion.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "transfer/http_exchange.h"
#include "transfer/trans_mgr.h"

namespace zt {

// Win32 error numbers of the refusals the post makes on its own.
namespace win32_error {
constexpr std::uint32_t HandleEof = 38;       // ERROR_HANDLE_EOF: a file ended before its listed size
constexpr std::uint32_t FileTooLarge = 223;   // ERROR_FILE_TOO_LARGE: body longer than the platform can declare
}  // namespace win32_error

// The most reply bytes a post keeps (1 MiB): a reply is a server's word on
// the upload, and a server answering without end must not exhaust the host's
// memory. Reading stops there; ResponseText holds the text of those bytes.
constexpr std::size_t MaxReplyBytes = std::size_t(1) << 20;

// How many rounds the exchange sends the body when the end of the request
// keeps asking for it again, before reporting E04009 with the retry error.
constexpr int MaxSendRounds = 32;

// Runs the whole post of manager over exchange, opening files with files.
// Ends with complete(manager), or manager.OnComplete(manager) when complete
// is empty (an asynchronous agent passes a hook that delivers it on a thread
// of its own). Returns the worker's exit code: 0 after the reply was read or
// skipped, 33 after E04001, otherwise the failing call's error number.
std::uint32_t PostWorker(CZTTransMgr& manager, HttpExchange& exchange, FileOpener& files,
                         const std::function<void(CZTTransMgr&)>& complete = {});

}  // namespace zt
