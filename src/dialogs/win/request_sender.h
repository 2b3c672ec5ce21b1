#pragma once
// How the per-file window sends a file: one multipart request per file (its
// manifest row and its bytes) through a transfer manager of the control, on a
// lane's worker thread. Given a tus endpoint, the manager sends the file's
// bytes as a resumable upload first (retrying from the server's offset within
// its own tries, so the run retries only the request after it) and the
// request names the upload instead of carrying them.
// Its manager's reports come back to the window as messages, which hands
// them to Failed and Completed on its own thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "dialogs/win/post_owner.h"
#include "transfer/file_sender.h"
#include "transfer/win/post_lane.h"

namespace zt {

class RequestSender final : public FileSender {
public:
  // Reports reach window as WM_UPLOAD_FAILURE and WM_UPLOAD_COMPLETE, with
  // the slot in wParam.
  RequestSender(PostOwner& owner, HWND window, ResumableSettings resumable)
      : owner_(owner), window_(window), resumable_(std::move(resumable)) {}
  RequestSender(const RequestSender&) = delete;
  RequestSender& operator=(const RequestSender&) = delete;

  bool Send(const FileRequest& request, SendReports& reports) override;
  void Hold(int slot) override;
  void Release(int slot) override;
  void Abandon(int slot) override;
  // The person gives the run up: uploads the sends abandoned from now on
  // began are removed from the server rather than kept to resume.
  void Withdraw() { withdraw_ = true; }

  void Failed(WPARAM slot, const CZTTransException* failure);
  void Completed(WPARAM slot);

private:
  struct Post {
    std::unique_ptr<CZTTransMgr> Manager;  // while its request runs
    SendReports* Reports = nullptr;
    // Set from the sending thread once the server holds the whole file: a
    // failure before that ends a resumable upload that spent its own tries.
    std::shared_ptr<std::atomic<bool>> Uploaded;
  };
  CZTTransMgr* Running(int slot);

  PostOwner& owner_;
  const HWND window_;
  const ResumableSettings resumable_;
  bool withdraw_ = false;
  std::vector<std::unique_ptr<win::PostLane>> lanes_;  // declared before the posts that use them
  std::vector<Post> posts_;                             // by slot
};

}  // namespace zt
