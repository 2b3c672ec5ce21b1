// PostFile and PostMessage: the control fills a transfer manager from its
// properties and lists and runs the post to its end on the caller's thread.
// The manager lives only for the post; its callbacks write the reply and any
// transfer failure into the control.
#include <new>

#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "dialogs/retry_policy.h"
#include "transfer/win/resume_registry.h"
#include "transfer/upload_manifest.h"
#include "transfer/url.h"
#include "transfer/win/wininet_agent.h"

namespace zt {

namespace {

// The control the manager's callbacks write into.
CZTFileUploadCtrl& OwnerOf(const CZTTransMgr& manager) { return *static_cast<CZTFileUploadCtrl*>(manager.Owner); }

// Releases the control's manager however the post ends, so the next one can start.
class ManagerRelease {
public:
  explicit ManagerRelease(std::unique_ptr<CZTTransMgr>& slot) : slot_(slot) {}
  ~ManagerRelease() { slot_.reset(); }
  ManagerRelease(const ManagerRelease&) = delete;
  ManagerRelease& operator=(const ManagerRelease&) = delete;

private:
  std::unique_ptr<CZTTransMgr>& slot_;
};

}  // namespace

CZTTransMgr& CZTFileUploadCtrl::StartManager() {
  manager_ = std::make_unique<CZTTransMgr>();
  FillManager(*manager_);
  manager_->Resumable = Resumable();
  return *manager_;
}

ResumableSettings CZTFileUploadCtrl::Resumable() const {
  ResumableSettings r;
  if (saved_.resumable_url.empty()) return r;
  r.Url = saved_.resumable_url;
  r.Retries = RetryLimit(saved_.retry_count);
  r.DelayMs = RetryDelayMs;
  r.Records = win::UserResumeRecords();
  return r;
}

std::unique_ptr<CZTTransMgr> CZTFileUploadCtrl::MakeManager(win::PostLane& lane) {
  auto manager = std::make_unique<CZTTransMgr>();
  FillManager(*manager);
  manager->MakeAgent = [&lane] { return std::make_unique<win::WinInetAgent>(&lane); };
  return manager;
}

void CZTFileUploadCtrl::FillManager(CZTTransMgr& m) {
  m.Owner = this;
  m.Utf8 = saved_.utf8;
  m.Files = &fileSystem_;
  m.MakeAgent = [] { return std::make_unique<win::WinInetAgent>(); };
  m.OnComplete = [](CZTTransMgr& manager) {
    CZTFileUploadCtrl& control = OwnerOf(manager);
    control.responseText_ = manager.GetResponseText();
    control.responseStatusCode_ = manager.StatusCode;
  };
  m.OnError = [](CZTTransMgr& manager, const CZTTransException& failure) {
    CZTFileUploadCtrl& control = OwnerOf(manager);
    zt::RecordTransferFailure(failure, control.errorCode_, control.errorDescription_);
  };
  responseStatusCode_ = -1;
  responseText_.clear();
}

PostDestination CZTFileUploadCtrl::Destination() const {
  PostDestination to;
  to.Host = host_;
  to.Path = saved_.url;
  to.Port = saved_.port;
  to.Secure = secure_;
  to.UserName = saved_.user_name;
  to.Password = saved_.password;
  return to;
}

std::u16string_view CZTFileUploadCtrl::SetDestination(CZTTransMgr& m) {
  return ApplyDestination(Destination(), m) ? std::u16string_view() : control_error::NoDestination;
}

std::u16string_view CZTFileUploadCtrl::RunFilePost() {
  if (Busy()) return control_error::Busy;
  const CZTFileItem* entry = model_.Current();
  if (!entry) return control_error::NothingToSend;
  CZTTransMgr& m = StartManager();
  ManagerRelease release(manager_);
  if (!model_.Messages().empty() && !CopyMessages(model_.Messages(), m)) return control_error::BuildFailed;
  // The current entry alone: its manifest row and, for a local entry, its file.
  std::vector<CZTFileItem> one;
  try {
    one.push_back(*entry);
  } catch (const std::bad_alloc&) {
    return control_error::BuildFailed;
  }
  if (!BuildUploadManifest(&one, nullptr, model_.AttributeNames(), m)) return control_error::BuildFailed;
  if (std::u16string_view refusal = SetDestination(m); !refusal.empty()) return refusal;
  m.Post(0);  // to its end, callbacks included
  return {};
}

std::u16string_view CZTFileUploadCtrl::RunMessagePost(const PostDestination* to) {
  if (Busy()) return control_error::Busy;
  if (model_.Messages().empty()) return control_error::NothingToSend;
  CZTTransMgr& m = StartManager();
  ManagerRelease release(manager_);
  if (!CopyMessages(model_.Messages(), m)) return control_error::BuildFailed;
  if (!ApplyDestination(to ? *to : Destination(), m)) return control_error::NoDestination;
  m.Post(0);  // to its end, callbacks included
  return {};
}

}  // namespace zt
