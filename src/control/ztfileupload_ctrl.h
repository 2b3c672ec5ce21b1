#pragma once
// CZTFileUploadCtrl: the scriptable file-upload control. It holds the file
// model, the properties and the error pair, and answers scripts through the
// member table in members.cpp. The embedding interfaces (IOleObject,
// IViewObject2, IPersist*, ...) come from ole::OleControl.
#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/file_model.h"
#include "model/file_operations.h"
#include "dialogs/win/post_owner.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/connection_points.h"
#include "platform/dispatch.h"
#include "platform/ole_control.h"
#include "platform/persist_properties.h"
#include "platform/win_file_system.h"
#include "transfer/trans_mgr.h"
#include "view/file_list_view.h"
#include "view/list_drop_target.h"
#include "view/list_view_owner.h"

namespace zt {

class CZTFileUploadCtrl final
    : public com::ComObject<IDispatch, IProvideClassInfo2, com::ConnectionPointContainerImpl, ole::OleControl>,
      private FileListObserver,
      private PostOwner,
      private view::ListViewOwner {
public:
  CZTFileUploadCtrl();
  ~CZTFileUploadCtrl() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* argErr) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** out) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* out) override;

  // Whether a property was put since the state was last saved.
  bool IsModified() const override { return modified_; }
  void SetModified(bool modified) override { modified_ = modified; }

protected:
  void* QueryExtra(REFIID iid) override;

  // ole::OleControl: identity and saved properties.
  const CLSID& ControlClassId() const override;
  HRESULT ExchangeProperties(ole::PropertyExchange& px) override;
  void InitNewProperties() override;
  std::vector<CLSID> PropertyPageIds() const override;
  // ole::OleControl: the site lock (control_safety.cpp).
  bool SafeInContainer() override;
  // ole::OleControl: the control's own window.
  bool OnWindowCreated(HWND window) override;
  bool OnWindowMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnWindowResized(HWND window, int width, int height) override;
  void OnWindowDestroying(HWND window) override;

private:
  friend struct ControlMembers;

  // Error reporting (the three forms).
  void Record(std::u16string_view code, std::u16string description);
  void ClearError() override;
  // Form 1: record code (its text formatted with name) and raise it.
  void FailRecorded(com::DispatchCall& call, std::u16string_view code, std::u16string_view name = {});
  // Raises the recorded pair as it stands.
  void RaiseRecorded(com::DispatchCall& call);
  // Form 2: raise number with its text; the pair is untouched.
  void FailRaised(com::DispatchCall& call, std::uint16_t number);
  void FailRaisedNamed(com::DispatchCall& call, std::uint16_t number, std::u16string_view name);

  // The list view (control_view.cpp). Rebuilding replaces the view window
  // with a new one built from the model and the settings; without a control
  // window there is nothing to build yet.
  void RebuildView();
  void DestroyView();
  // How the add operations treat local files.
  AddLocalOptions LocalAddOptions() const;

  // The shell's dialogs and drops (control_shell.cpp). Dialogs are owned by
  // the window the control sits in, so the page waits for them.
  HWND DialogOwner() const;
  // Records a failed add; true when it succeeded.
  bool FinishShellAdd(const Outcome& outcome);

  // OpenFile (control_download.cpp): the current server entry is fetched
  // and opened or saved as the user chooses.
  void OpenCurrentFile();
  // Records E04006 and shows its text with the failure's own.
  void ReportDownloadFailure(const std::u16string& systemText);
  // A message box with the stop icon over the control, a modal window of it.
  void ShowError(const std::u16string& text);

  // ListViewOwner: what the view reads and does through the control.
  FileModel& Model() override { return model_; }
  view::ViewSettings Settings() const override;
  view::SortRecord& RecordedSort() override { return sort_; }
  void FireItemClick(std::int32_t fileIndex) override;
  void FireItemDblClick(const std::u16string& fileName) override;
  bool DeleteEntryNamed(const std::u16string& name) override;
  void ChooseListType(std::int16_t listType) override;
  bool OpenFileCommand() override;
  bool OpenFolderCommand() override;
  bool AddDroppedFiles(const std::vector<std::u16string>& paths) override;
  void ShowRecordedError() override { ShowError(errorDescription_); }
  std::u16string ErrorDescription() const override { return errorDescription_; }

  // FileListObserver: the model's events become the control's events, and
  // each added entry gets its row.
  void InsertRow(const CZTFileItem& entry) override;
  void AfterAddFile(std::int32_t fileIndex) override;
  void AfterAddFiles(std::int32_t fileCount) override;
  void AfterDeleteFile(const std::u16string& fileName, const std::u16string& filePath) override;

  HRESULT LoadTypeLib(ITypeLib** out) const;

  // Posts on the caller's thread (control_posting.cpp). Each returns the
  // code of the refusal that stopped it before sending, or empty once the
  // post has run; transfer failures land in the error pair instead.
  std::u16string_view RunFilePost();
  // To the control's destination as it is now, or to to (a window's, taken
  // when it opened).
  std::u16string_view RunMessagePost(const PostDestination* to = nullptr);
  CZTTransMgr& StartManager();
  void FillManager(CZTTransMgr& manager);
  std::u16string_view SetDestination(CZTTransMgr& manager);

  // Post and OpenPostDialog run their status dialogs (control_dialogs.cpp);
  // the dialogs reach the control through PostOwner. False when refused
  // because a post is running.
  bool RunPostDialog(bool async);
  void RunMultiPostDialog();
  CZTTransMgr& NewManager() override { return StartManager(); }
  CZTTransMgr* CurrentManager() override { return manager_.get(); }
  void ReleaseManager() override { manager_.reset(); }
  std::unique_ptr<CZTTransMgr> MakeManager(win::PostLane& lane) override;
  void SetSending(bool sending) override { sending_ = sending; }
  bool FillDestination(CZTTransMgr& manager) override { return SetDestination(manager).empty(); }
  PostDestination Destination() const override;
  const FileModel& Model() const override { return model_; }
  std::int32_t KByteRate() const override { return saved_.kbyte_rate; }
  std::int32_t RetryCount() const override { return saved_.retry_count; }
  std::int32_t ParallelCount() const override { return saved_.parallel_count; }
  ResumableSettings Resumable() const override;
  std::int32_t ResponseStatusCode() const override { return responseStatusCode_; }
  void SetResponse(std::int32_t status, std::u16string text) override;
  void RecordError(std::u16string_view code) override;
  void RecordTransferFailure(const CZTTransException& failure) override;
  std::u16string_view PostMessages(const PostDestination& to) override { return RunMessagePost(&to); }

  FileModel model_;
  WinFileSystem fileSystem_;
  com::ConnectionPoint* events_ = nullptr;
  com::ConnectionPoint* propertyNotify_ = nullptr;
  // The post in progress, if any: while it exists no other post starts.
  std::unique_ptr<CZTTransMgr> manager_;
  // OpenFile is fetching a server file (its wait answers other apartments).
  bool fetching_ = false;
  // The multi-file dialog's files are on their way (their managers are the dialog's).
  bool sending_ = false;
  // A post or a fetch runs: no other starts (E01008).
  bool Busy() const { return manager_ != nullptr || fetching_ || sending_; }

  // The saved properties (their initial values are those of a new control).
  ole::SavedProperties saved_;
  // Set by putting URL and by loading a whole URL; saved_.url holds the
  // request path, and a save writes both as one URL.
  std::u16string host_;
  // The URL named the secure scheme: posts go over TLS.
  bool secure_ = false;
  // Properties that are not saved.
  std::int16_t enableMenu_ = 1;
  std::int16_t dbClickEventEnable_ = 0;
  std::int32_t responseStatusCode_ = -1;
  std::u16string responseText_;
  std::u16string errorCode_;
  std::u16string errorDescription_;
  bool modified_ = false;

  // The list view and what outlives its rebuilds.
  std::unique_ptr<view::CZTFileUploadListCtrl> view_;
  view::SortRecord sort_;
  com::ComPtr<view::COleListBoxDropTarget> dropTarget_;
};

// DllInstall's work for a cabinet's .inf: its "sites=..." argument written
// as the machine's list, unless the machine has a list already.
HRESULT InstallCabinetSites(const wchar_t* argument);

}  // namespace zt
