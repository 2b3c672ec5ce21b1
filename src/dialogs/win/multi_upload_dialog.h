#pragma once
// CZTMultiFileUploadStatusDlg: the modal dialog behind OpenPostDialog. It
// lists the control's local files and, once the user presses Start, runs
// them through an UploadRun (upload_run.h): the message fields first, then
// each file in a request of its own, on up to ParallelCount lanes, with
// retries, pause and cancel. The dialog is the run's view and platform: it
// forwards the person's Start, Pause, Cancel and retry, renders the states,
// bars and labels the run reports, and gives the run its timers, progress
// notes and pacing. Each file goes through a RequestSender, by tus first
// where the page named a resumable endpoint.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dialogs/upload_run.h"
#include "dialogs/win/post_owner.h"
#include "dialogs/win/request_sender.h"
#include "platform/modal_dialog.h"

namespace zt {

class CZTMultiFileUploadStatusDlg final : public win::ModalDialog, private RunHost, private RunView {
public:
  explicit CZTMultiFileUploadStatusDlg(PostOwner& owner);
  ~CZTMultiFileUploadStatusDlg() override;

  // Runs the dialog modally over owner (its window is disabled meanwhile, so
  // the list cannot change under the run).
  INT_PTR Run(HWND owner);

private:
  bool OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

  void Start();
  void PauseOrResume();
  void CancelOrClose();
  void ShowProgress(const ProgressReport& report);
  void ShowText(int id, const std::u16string& text);
  void ShowBar(int id, int percent);

  // RunHost
  std::uint64_t NowMs() override { return MonotonicMs(); }
  void StartTimer(int slot, std::uint32_t ms) override;
  void StopTimer(int slot) override;
  void NoteProgress(int slot) override;
  void Pace(const std::function<std::uint64_t()>& delayMs) override { pace_.Hold(delayMs); }
  void StopPacing() override { pace_.Stop(); }
  bool HasFields() override;
  FieldsReply PostFields(const PostDestination& to) override;
  void SetSending(bool sending) override { owner_.SetSending(sending); }

  // RunView
  void Running() override;
  void RowChanged(int job) override;
  void OverallChanged() override;
  void FileBar(int percent) override;
  void Ended() override;

  PostOwner& owner_;
  ThrottleWait pace_;
  std::unique_ptr<RequestSender> sender_;  // declared before the run that uses it
  std::unique_ptr<UploadRun> run_;
  std::map<int, std::u16string> shownTexts_;  // what each label shows
  std::map<int, int> shownBars_;              // where each bar stands
};

}  // namespace zt
