#include "dialogs/win/request_sender.h"

#include <new>
#include <utility>

#include "transfer/upload_manifest.h"

namespace zt {

bool RequestSender::Send(const FileRequest& request, SendReports& reports) {
  if (request.Slot < 0 || request.Lane < 0) return false;
  const auto slot = static_cast<std::size_t>(request.Slot);
  while (lanes_.size() <= static_cast<std::size_t>(request.Lane)) lanes_.push_back(std::make_unique<win::PostLane>());
  if (posts_.size() <= slot) posts_.resize(slot + 1);

  std::unique_ptr<CZTTransMgr> manager = owner_.MakeManager(*lanes_[static_cast<std::size_t>(request.Lane)]);
  std::vector<CZTFileItem> one;
  try {
    one.push_back(request.Entry);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A file that is no longer where it was listed has nothing to send: it
  // fails here rather than post a manifest row without its data.
  if (!BuildUploadManifest(&one, nullptr, request.Columns, *manager) || manager->SendFiles.empty() ||
      !ApplyDestination(request.To, *manager)) {
    return false;
  }
  const HWND window = window_;
  const auto index = static_cast<WPARAM>(slot);
  const int number = request.Slot;
  manager->Resumable = resumable_;
  auto uploaded = std::make_shared<std::atomic<bool>>(resumable_.Url.empty() || request.Entry.Size == 0);
  manager->OnProgress = [&reports, number, uploaded](CZTTransMgr&, std::int32_t, std::int32_t, std::uint64_t sent,
                                                     std::uint64_t size) {
    if (sent >= size) *uploaded = true;
    reports.Sent(number, sent, size);
  };
  manager->OnError = [window, index](CZTTransMgr&, const CZTTransException& failure) {
    SendMessageW(window, WM_UPLOAD_FAILURE, index, reinterpret_cast<LPARAM>(&failure));
  };
  manager->OnComplete = [window, index](CZTTransMgr&) { PostMessageW(window, WM_UPLOAD_COMPLETE, index, 0); };
  Post& post = posts_[slot];
  post.Manager = std::move(manager);
  post.Reports = &reports;
  post.Uploaded = std::move(uploaded);
  post.Manager->Post(1);
  return true;
}

CZTTransMgr* RequestSender::Running(int slot) {
  if (slot < 0 || static_cast<std::size_t>(slot) >= posts_.size()) return nullptr;
  return posts_[static_cast<std::size_t>(slot)].Manager.get();
}

void RequestSender::Hold(int slot) {
  if (CZTTransMgr* manager = Running(slot); manager && manager->Agent) manager->Agent->SuspendWorker();
}

void RequestSender::Release(int slot) {
  if (CZTTransMgr* manager = Running(slot); manager && manager->Agent) manager->Agent->ResumeWorker();
}

void RequestSender::Abandon(int slot) {
  CZTTransMgr* manager = Running(slot);
  if (!manager) return;
  if (withdraw_ && manager->Agent) manager->Agent->WithdrawUploads();
  AbandonPost(*manager);
  posts_[static_cast<std::size_t>(slot)].Manager.reset();
}

void RequestSender::Failed(WPARAM slot, const CZTTransException* failure) {
  if (slot >= posts_.size() || !posts_[slot].Manager) return;
  // A failure without its record is one no other try cures; so is an
  // upload's, after its own tries.
  const bool curable = failure && *posts_[slot].Uploaded;
  posts_[slot].Reports->Failed(static_cast<int>(slot), curable ? *failure : CZTTransException{});
}

void RequestSender::Completed(WPARAM slot) {
  if (slot >= posts_.size() || !posts_[slot].Manager) return;
  // Released last: the run starts its next file first.
  const std::unique_ptr<CZTTransMgr> ended = std::move(posts_[slot].Manager);
  posts_[slot].Reports->Ended(static_cast<int>(slot), ended->StatusCode);
}

}  // namespace zt
