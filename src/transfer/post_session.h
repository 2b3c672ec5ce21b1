#pragma once
// One post as its own threads see it. A session copies from the manager
// everything the post sends and the callbacks it was given, and keeps the
// files it opens and the results it reads to itself: the threads of the post
// never read or write the manager, which its owner may change or delete at
// any time. They reach the owner only through the callbacks, and each call
// passes the session's gate.
//
// Ownership: the agent and the post's threads share the session. The owner
// lets go with Release before it deletes the manager, and waits (on the
// platform's terms) while HeldElsewhere: from then on no thread of the post
// touches the manager again. What the threads still do afterwards (end a
// cancelled exchange, close their files) touches only the session.
#include <cstdint>
#include <functional>

#include "transfer/callback_gate.h"
#include "transfer/http_exchange.h"
#include "transfer/trans_mgr.h"

namespace zt {

class PostSession {
public:
  // Takes the post's inputs and callbacks from manager as they are now.
  explicit PostSession(CZTTransMgr& manager);
  PostSession(const PostSession&) = delete;
  PostSession& operator=(const PostSession&) = delete;

  // Runs the post procedure on the calling thread over exchange and files.
  // Its end is handed to deliverEnd, which must lead to exactly one Finish
  // (on this thread or another); without deliverEnd Finish runs here.
  std::uint32_t Run(HttpExchange& exchange, FileOpener& files, const std::function<void()>& deliverEnd = {});

  // Hands the results to the manager and calls its OnComplete, unless the
  // owner has let go.
  void Finish();

  // The owner lets go: no callback starts after this returns.
  void Release() { gate_.Shut(); }
  bool Released() const { return gate_.IsShut(); }
  // A callback of this post is running on a thread other than the caller's.
  bool HeldElsewhere() const { return gate_.HeldElsewhere(); }

private:
  CZTTransMgr& owner_;  // reached only while holding a pass
  CZTTransMgr::ProgressFn progress_;
  CZTTransMgr::ErrorFn error_;
  CZTTransMgr::CompleteFn complete_;
  CZTTransMgr own_;  // the copied inputs, the open files and the results
  CallbackGate gate_;
};

}  // namespace zt
