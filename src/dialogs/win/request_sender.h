#pragma once
// How the per-file window sends a file today: one multipart request per file
// (its manifest row and its bytes) through a transfer manager of the control,
// on a lane's worker thread. Its manager's reports come back to the window as
// messages, which hands them to Failed and Completed on its own thread.
#include <windows.h>

#include <memory>
#include <vector>

#include "dialogs/win/post_owner.h"
#include "transfer/file_sender.h"
#include "transfer/win/post_lane.h"

namespace zt {

class RequestSender final : public FileSender {
public:
  // Reports reach window as WM_UPLOAD_FAILURE and WM_UPLOAD_COMPLETE, with
  // the slot in wParam.
  RequestSender(PostOwner& owner, HWND window) : owner_(owner), window_(window) {}
  RequestSender(const RequestSender&) = delete;
  RequestSender& operator=(const RequestSender&) = delete;

  bool Send(const FileRequest& request, SendReports& reports) override;
  void Hold(int slot) override;
  void Release(int slot) override;
  void Abandon(int slot) override;

  void Failed(WPARAM slot, const CZTTransException* failure);
  void Completed(WPARAM slot);

private:
  struct Post {
    std::unique_ptr<CZTTransMgr> Manager;  // while its request runs
    SendReports* Reports = nullptr;
  };
  CZTTransMgr* Running(int slot);

  PostOwner& owner_;
  const HWND window_;
  std::vector<std::unique_ptr<win::PostLane>> lanes_;  // declared before the posts that use them
  std::vector<Post> posts_;                             // by slot
};

}  // namespace zt
