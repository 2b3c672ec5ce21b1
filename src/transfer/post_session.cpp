#include "transfer/post_session.h"

#include "transfer/post_worker.h"

namespace zt {

PostSession::PostSession(CZTTransMgr& manager)
    : owner_(manager), progress_(manager.OnProgress), error_(manager.OnError), complete_(manager.OnComplete) {
  own_.SendFiles = manager.SendFiles;
  own_.Messages = manager.Messages;
  own_.Host = manager.Host;
  own_.Port = manager.Port;
  own_.Secure = manager.Secure;
  own_.ObjectPath = manager.ObjectPath;
  own_.UserName = manager.UserName;
  own_.Password = manager.Password;
  own_.Utf8 = manager.Utf8;
  own_.PostMode = manager.PostMode;
  own_.Uuids = manager.Uuids;
  own_.Resumable = manager.Resumable;
  if (progress_) {
    own_.OnProgress = [this](CZTTransMgr&, std::int32_t done, std::int32_t count, std::uint64_t sent,
                             std::uint64_t total) {
      if (CallbackGate::Pass pass = gate_.Enter()) progress_(owner_, done, count, sent, total);
    };
  }
  if (error_) {
    own_.OnError = [this](CZTTransMgr&, const CZTTransException& failure) {
      if (CallbackGate::Pass pass = gate_.Enter()) error_(owner_, failure);
    };
  }
}

std::uint32_t PostSession::Run(HttpExchange& exchange, FileOpener& files, const std::function<void()>& deliverEnd) {
  return PostWorker(own_, exchange, files, [this, &deliverEnd](CZTTransMgr&) {
    if (deliverEnd) {
      deliverEnd();
    } else {
      Finish();
    }
  });
}

void PostSession::Finish() {
  CallbackGate::Pass pass = gate_.Enter();
  if (!pass) return;
  // The results become the manager's on the thread that tells the owner the
  // post is over, so reading them in or after OnComplete needs no lock.
  owner_.StatusCode = own_.StatusCode;
  owner_.ResponseText = own_.ResponseText;
  if (complete_) complete_(owner_);
}

}  // namespace zt
