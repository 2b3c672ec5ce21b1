#include "control/members.h"

#include <oleauto.h>

#include <type_traits>

#include "control/control_errors.h"
#include "control/ztfileupload_ctrl.h"
#include "model/file_operations.h"
#include "text/unicode.h"
#include "transfer/url.h"

namespace zt {

using com::DispatchCall;
using com::DispatchMember;
using com::MemberKind;
using C = CZTFileUploadCtrl;

// The class a data member pointer points into.
template <typename T>
struct MemberOwner;
template <typename Owner, typename Value>
struct MemberOwner<Value Owner::*> {
  using type = Owner;
};

struct ControlMembers {
  // Plain stored properties: every put marks the control modified.
  // A property's storage: a field of the control or of its saved properties.
  template <auto Field>
  static auto& Ref(C& c) {
    if constexpr (std::is_same_v<typename MemberOwner<decltype(Field)>::type, C>) return c.*Field;
    else return c.saved_.*Field;
  }
  template <auto Field>
  static void GetShort(C& c, DispatchCall& call) { call.ReturnShort(Ref<Field>(c)); }
  template <auto Field>
  static void PutShort(C& c, DispatchCall& call) {
    Ref<Field>(c) = call.ShortArg(0);
    c.modified_ = true;
  }
  template <auto Field>
  static void GetLong(C& c, DispatchCall& call) { call.ReturnLong(Ref<Field>(c)); }
  template <auto Field>
  static void PutLong(C& c, DispatchCall& call) {
    Ref<Field>(c) = call.LongArg(0);
    c.modified_ = true;
  }
  template <auto Field>
  static void GetText(C& c, DispatchCall& call) { call.ReturnText(Ref<Field>(c)); }
  template <auto Field>
  static void PutText(C& c, DispatchCall& call) {
    Ref<Field>(c) = call.TextArg(0);
    c.modified_ = true;
  }
  // Read-only properties refuse a put in form 2 and change nothing.
  static void PutReadOnly(C& c, DispatchCall& call) { c.FailRaised(call, ErrorNumber(control_error::ReadOnly)); }

  // The byte count is kept in 64 bits; scripts see megabytes in 32.
  static void GetMaxUploadSize(C& c, DispatchCall& call) {
    call.ReturnLong(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(c.saved_.max_upload_bytes) >> 20)));
  }
  static void PutMaxUploadSize(C& c, DispatchCall& call) {
    c.saved_.max_upload_bytes = static_cast<std::int64_t>(call.LongArg(0)) * 1048576;
    c.modified_ = true;
  }

  // Where posts go and as whom stays as it is while a post or a fetch runs:
  // a page changing it then would send the rest of a run elsewhere than the
  // person was shown. The put fails and leaves E01008.
  template <void (*Put)(C&, DispatchCall&)>
  static void PutUnlessBusy(C& c, DispatchCall& call) {
    if (!c.Busy()) return Put(c, call);
    c.RecordError(control_error::Busy);
    c.FailRaised(call, ErrorNumber(control_error::Busy));
  }

  // URL is cut into host, path and port; reading it gives the path back.
  static void PutUrl(C& c, DispatchCall& call) {
    ParsedUrl parsed = ParseUrl(call.TextArg(0), c.saved_.port);
    c.host_ = std::move(parsed.Host);
    c.secure_ = parsed.Secure;
    c.saved_.url = std::move(parsed.Path);
    c.saved_.port = parsed.Port;
    if (parsed.MarkModified) c.modified_ = true;
  }

  static void PutListType(C& c, DispatchCall& call) {
    c.saved_.list_type = call.ShortArg(0);
    c.modified_ = true;
    c.RebuildView();
  }

  static void GetFileCount(C& c, DispatchCall& call) { call.ReturnLong(c.model_.FileCount()); }
  static void GetDeleteFileCount(C& c, DispatchCall& call) { call.ReturnLong(c.model_.DeleteFileCount()); }

  static void GetFilePos(C& c, DispatchCall& call) { call.ReturnLong(c.model_.FilePos()); }
  static void PutFilePos(C& c, DispatchCall& call) {
    const std::int32_t pos = call.LongArg(0);
    if (pos < c.model_.FileCount()) {
      c.model_.SetFilePos(pos);
      c.modified_ = true;
      return;
    }
    c.model_.SetFilePos(-1);
    c.FailRecorded(call, control_error::NoSuchFile);
  }

  static void GetDeleteFilePos(C& c, DispatchCall& call) { call.ReturnLong(c.model_.DeleteFilePos()); }
  static void PutDeleteFilePos(C& c, DispatchCall& call) {
    const std::int32_t pos = call.LongArg(0);
    if (pos < c.model_.DeleteFileCount()) {
      c.model_.SetDeleteFilePos(pos);
      c.modified_ = true;
      return;
    }
    c.model_.SetDeleteFilePos(-1);
    c.FailRaised(call, ErrorNumber(control_error::NoSuchFile));
  }

  static void GetIsUpdated(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnBool(entry->Updated != 0);
  }
  static void GetIsLocalFile(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRaised(call, ErrorNumber(control_error::NoSuchFile));
    call.ReturnBool(entry->IsLocal());
  }

  static void GetFileName(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnText(entry->Name);
  }
  static void PutFileName(C& c, DispatchCall& call) {
    const std::u16string name = call.TextArg(0);
    if (c.model_.NameInUse(name)) return c.FailRecorded(call, control_error::NameExists, name);
    CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    c.model_.Rename(*entry, name);
    c.modified_ = true;
    c.RebuildView();
  }
  static void GetFilePath(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) {
      c.Record(control_error::NoSuchFile, ErrorText(control_error::NoSuchFile));
      return call.ReturnText(u"");
    }
    call.ReturnText(entry->Path());
  }

  // A deleted entry's new name may clash with no name of either list, so
  // that the server never sees one name for two entries.
  static bool DeletedNameInUse(const FileModel& model, std::u16string_view name) {
    if (model.NameInUse(name)) return true;
    for (const auto& entry : model.DeletedFiles())
      if (EqualsNoCase(entry->Name, name)) return true;
    return false;
  }
  static void GetDeleteFileName(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.CurrentDeleted();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnText(entry->Name);
  }
  static void PutDeleteFileName(C& c, DispatchCall& call) {
    const std::u16string name = call.TextArg(0);
    if (DeletedNameInUse(c.model_, name)) return c.FailRaisedNamed(call, ErrorNumber(control_error::NameExists), name);
    CZTFileItem* entry = c.model_.CurrentDeleted();
    if (!entry) return c.FailRaised(call, ErrorNumber(control_error::NoSuchFile));
    entry->Name = name;
    c.modified_ = true;
  }
  static void GetDeleteFilePath(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.CurrentDeleted();
    if (!entry) {
      c.Record(control_error::NoSuchFile, ErrorText(control_error::NoSuchFile));
      return call.ReturnText(u"");
    }
    call.ReturnText(entry->Path());
  }

  static void GetFileSize(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnLong(static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(entry->Size))));
  }
  static void PutFileSize(C& c, DispatchCall& call) {
    CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::ReadOnly);
    entry->Size = call.LongArg(0);
    c.modified_ = true;
  }
  static void GetFileBytes(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnDouble(static_cast<double>(entry->Size));
  }
  static void PutFileBytes(C& c, DispatchCall&) { c.modified_ = true; }

  // Adding and removing.
  // Ends an add of local files: the model names the error; a date attribute
  // may have recorded one on the way, but the failure that stopped the call
  // is what is raised.
  static void FinishAdd(C& c, DispatchCall& call, const Outcome& outcome) {
    if (!outcome.Ok()) return c.FailRecorded(call, outcome.Code);
    call.ReturnBool(true);
  }
  static void AddLocalFile(C& c, DispatchCall& call) {
    c.ClearError();
    FinishAdd(c, call, AddLocalFiles(c.model_, c.fileSystem_, {call.TextArg(0)}, c.LocalAddOptions(), &c));
  }
  static void AddLocalFilesPattern(C& c, DispatchCall& call) {
    // The search already found each file: no second look-up per file.
    std::optional<std::vector<FoundFile>> files = PatternFiles(c.fileSystem_, call.TextArg(0));
    if (!files) return call.ReturnBool(false);
    c.ClearError();
    FinishAdd(c, call, AddPatternFiles(c.model_, c.fileSystem_, *files, c.LocalAddOptions(), &c));
  }
  static void AddVirtualFile(C& c, DispatchCall& call) {
    AddServerEntry(c.model_, call.TextArg(0), u"0", &c);
    call.ReturnBool(true);
  }
  static void AddVirtualFileWithSize(C& c, DispatchCall& call) {
    AddServerEntry(c.model_, call.TextArg(0), call.TextArg(1), &c);
    call.ReturnBool(true);
  }
  static void DeleteFileByIndex(C& c, DispatchCall& call) {
    Outcome outcome = DeleteByIndex(c.model_, call.LongArg(0), &c);
    if (!outcome.Ok()) return c.FailRecorded(call, outcome.Code);
    call.ReturnBool(true);
  }
  static void DeleteFileByName(C& c, DispatchCall& call) {
    Outcome outcome = DeleteByName(c.model_, call.TextArg(0), &c);
    if (!outcome.Ok()) return c.FailRecorded(call, outcome.Code);
    call.ReturnBool(true);
  }
  static void FindFilePos(C& c, DispatchCall& call) { call.ReturnLong(c.model_.FindPosByName(call.TextArg(0))); }

  // Selection lives in the list view; without one nothing is selected.
  static void GetSelectedCount(C& c, DispatchCall& call) { call.ReturnLong(c.view_ ? c.view_->GetSelectedCount() : 0); }
  static void GetSelectedFileName(C& c, DispatchCall& call) {
    call.ReturnText(c.view_ ? c.view_->GetSelectedFileName(call.LongArg(0)) : std::u16string());
  }

  // Attributes of the current entry (deleted == false) or the current
  // deleted entry.
  static void SetAttr(C& c, DispatchCall& call, bool deleted) {
    const std::u16string name = call.TextArg(0);
    if (name.empty()) return call.ReturnBool(false);
    const std::int32_t pos = deleted ? c.model_.DeleteFilePos() : c.model_.FilePos();
    if (pos < 0) return c.FailRecorded(call, control_error::NoSuchFile);
    if (name[0] == u'_' || !c.model_.RegisterAttributeName(name)) return c.FailRecorded(call, control_error::Underscore);
    CZTFileItem* entry = deleted ? c.model_.CurrentDeleted() : c.model_.Current();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    entry->SetAttribute(name, call.TextArg(1));
    if (!deleted && (c.saved_.list_type == 1 || c.saved_.list_type == 4)) c.RebuildView();
    call.ReturnBool(true);
  }
  static void GetAttr(C& c, DispatchCall& call, bool deleted) {
    const std::u16string name = call.TextArg(0);
    if (name.empty()) return call.ReturnText(u"");
    const std::int32_t pos = deleted ? c.model_.DeleteFilePos() : c.model_.FilePos();
    const CZTFileItem* entry = deleted ? c.model_.CurrentDeleted() : c.model_.Current();
    if (pos < 0 || !entry) return c.FailRecorded(call, control_error::NoSuchFile);
    call.ReturnText(entry->GetAttribute(name));
  }
  static void SetFileAttr(C& c, DispatchCall& call) { SetAttr(c, call, false); }
  static void GetFileAttr(C& c, DispatchCall& call) { GetAttr(c, call, false); }
  static void SetDeleteFileAttr(C& c, DispatchCall& call) { SetAttr(c, call, true); }
  static void GetDeleteFileAttr(C& c, DispatchCall& call) { GetAttr(c, call, true); }

  // A 2 x n array: row 0 the registered names, row 1 the entry's values for
  // them. The elements are VARIANTs holding BSTRs: VBScript can index only
  // arrays of VARIANTs, and JScript's VBArray takes them too.
  static void ReturnAttrs(C& c, DispatchCall& call, const CZTFileItem& entry) {
    const auto& names = c.model_.AttributeNames();
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {static_cast<ULONG>(names.size()), 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!array) return call.Fail(E_OUTOFMEMORY);
    auto put = [array](LONG row, LONG column, const std::u16string& text) {
      com::Bstr bstr(text);
      if (!bstr) return E_OUTOFMEMORY;
      VARIANT element;
      V_VT(&element) = VT_BSTR;
      V_BSTR(&element) = bstr.Get();
      LONG at[2] = {row, column};
      return SafeArrayPutElement(array, at, &element);  // copies the string
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
      const LONG column = static_cast<LONG>(i);
      HRESULT hr = put(0, column, names[i].Name);
      if (SUCCEEDED(hr)) hr = put(1, column, entry.GetAttribute(names[i].Name));
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return call.Fail(hr);
      }
    }
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&v) = array;
    call.ReturnVariant(v);
  }
  static void GetFileAttrs(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.Current();
    if (!entry) return c.FailRaised(call, ErrorNumber(control_error::NoSuchFile));
    ReturnAttrs(c, call, *entry);
  }
  static void GetDeleteFileAttrs(C& c, DispatchCall& call) {
    const CZTFileItem* entry = c.model_.CurrentDeleted();
    if (!entry) return c.FailRecorded(call, control_error::NoSuchFile);
    ReturnAttrs(c, call, *entry);
  }

  static void AddMessage(C& c, DispatchCall& call) {
    c.model_.AddMessage(call.TextArg(0), call.TextArg(1));
    // Returns an empty VARIANT.
  }
  static void ClearMessage(C& c, DispatchCall&) { c.model_.ClearMessages(); }

  // The menu's commands; a failed add fails the call with the recorded error.
  static void OpenFileDialog(C& c, DispatchCall& call) {
    if (!c.OpenFileCommand()) c.RaiseRecorded(call);
  }
  static void OpenFolderDialog(C& c, DispatchCall& call) {
    if (!c.OpenFolderCommand()) c.RaiseRecorded(call);
  }
  // The reply comes back as the result; refusals and transfer failures are
  // read from the error pair (nothing is raised).
  static void Post(C& c, DispatchCall& call) {
    // A refused post returns nothing: the reply held belongs to the running one.
    const bool ran = c.RunPostDialog(call.BoolArg(0));
    call.ReturnText(ran ? c.responseText_ : std::u16string());
  }
  // The reply is read from ResponseText / ResponseStatusCode, a transfer
  // failure from the error pair; only a refusal before sending raises.
  static void PostMessages(C& c, DispatchCall& call) {
    const std::u16string_view refusal = c.RunMessagePost();
    if (!refusal.empty()) return c.FailRecorded(call, refusal);
    call.ReturnText(c.responseText_);
  }
  static void PostFile(C& c, DispatchCall& call) {
    const std::u16string_view refusal = c.RunFilePost();
    if (!refusal.empty()) return c.FailRecorded(call, refusal);
    call.ReturnText(u"");
  }
  static void OpenPostDialog(C& c, DispatchCall&) { c.RunMultiPostDialog(); }
  // A failure is told to the user and left in the error pair; nothing is raised.
  static void OpenFile(C& c, DispatchCall&) { c.OpenCurrentFile(); }

  static const DispatchMember<C> kTable[kControlMemberCount];
};

namespace {
constexpr MemberKind P = MemberKind::Property;
constexpr MemberKind M = MemberKind::Method;
using CM = ControlMembers;
}  // namespace

// clang-format off
const DispatchMember<C> ControlMembers::kTable[kControlMemberCount] = {
  {{L"MaxUploadSize", 1, P, VT_I4, 0, {}}, &CM::GetMaxUploadSize, &CM::PutMaxUploadSize},
  {{L"EnableFolderMenu", 2, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::enable_folder_menu>, &CM::PutShort<&ole::SavedProperties::enable_folder_menu>},
  {{L"EnableMenu", 3, P, VT_I2, 0, {}}, &CM::GetShort<&C::enableMenu_>, &CM::PutShort<&C::enableMenu_>},
  {{L"EnableDeleteMenu", 4, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::enable_delete_menu>, &CM::PutShort<&ole::SavedProperties::enable_delete_menu>},
  {{L"URL", 5, P, VT_BSTR, 0, {}}, &CM::GetText<&ole::SavedProperties::url>, &CM::PutUnlessBusy<&CM::PutUrl>},
  {{L"ErrorCode", 6, P, VT_BSTR, 0, {}}, &CM::GetText<&C::errorCode_>, &CM::PutReadOnly},
  {{L"ErrorDescription", 7, P, VT_BSTR, 0, {}}, &CM::GetText<&C::errorDescription_>, &CM::PutReadOnly},
  {{L"Port", 8, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::port>, &CM::PutUnlessBusy<&CM::PutLong<&ole::SavedProperties::port>>},
  {{L"UserName", 9, P, VT_BSTR, 0, {}}, &CM::GetText<&ole::SavedProperties::user_name>, &CM::PutUnlessBusy<&CM::PutText<&ole::SavedProperties::user_name>>},
  {{L"Password", 10, P, VT_BSTR, 0, {}}, &CM::GetText<&ole::SavedProperties::password>, &CM::PutUnlessBusy<&CM::PutText<&ole::SavedProperties::password>>},
  {{L"PostMode", 11, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::post_mode>, &CM::PutShort<&ole::SavedProperties::post_mode>},
  {{L"BgColor", 12, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::bg_color>, &CM::PutLong<&ole::SavedProperties::bg_color>},
  {{L"FgColor", 13, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::fg_color>, &CM::PutLong<&ole::SavedProperties::fg_color>},
  {{L"TrackSelect", 14, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::track_select>, &CM::PutShort<&ole::SavedProperties::track_select>},
  {{L"RowSelect", 15, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::row_select>, &CM::PutShort<&ole::SavedProperties::row_select>},
  {{L"EnableHeaderMove", 16, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::enable_header_move>, &CM::PutShort<&ole::SavedProperties::enable_header_move>},
  {{L"UTF8", 17, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::utf8>, &CM::PutShort<&ole::SavedProperties::utf8>},
  {{L"GridLine", 18, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::grid_line>, &CM::PutShort<&ole::SavedProperties::grid_line>},
  {{L"ListType", 19, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::list_type>, &CM::PutListType},
  {{L"FileCount", 20, P, VT_I4, 0, {}}, &CM::GetFileCount, &CM::PutReadOnly},
  {{L"FilePos", 21, P, VT_I4, 0, {}}, &CM::GetFilePos, &CM::PutFilePos},
  {{L"DeleteFilePos", 22, P, VT_I4, 0, {}}, &CM::GetDeleteFilePos, &CM::PutDeleteFilePos},
  {{L"DeleteFileCount", 23, P, VT_I4, 0, {}}, &CM::GetDeleteFileCount, &CM::PutReadOnly},
  {{L"IsUpdated", 24, P, VT_VARIANT, 0, {}}, &CM::GetIsUpdated, &CM::PutReadOnly},
  {{L"IsLocalFile", 25, P, VT_VARIANT, 0, {}}, &CM::GetIsLocalFile, &CM::PutReadOnly},
  {{L"FileName", 26, P, VT_BSTR, 0, {}}, &CM::GetFileName, &CM::PutFileName},
  {{L"FilePath", 27, P, VT_BSTR, 0, {}}, &CM::GetFilePath, &CM::PutReadOnly},
  {{L"DeleteFileName", 28, P, VT_BSTR, 0, {}}, &CM::GetDeleteFileName, &CM::PutDeleteFileName},
  {{L"DeleteFilePath", 29, P, VT_BSTR, 0, {}}, &CM::GetDeleteFilePath, &CM::PutReadOnly},
  {{L"ExFileAttributes", 30, P, VT_I2, 0, {}}, &CM::GetShort<&ole::SavedProperties::ex_file_attributes>, &CM::PutShort<&ole::SavedProperties::ex_file_attributes>},
  {{L"KByteRate", 31, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::kbyte_rate>, &CM::PutLong<&ole::SavedProperties::kbyte_rate>},
  {{L"ResponseStatusCode", 32, P, VT_I4, 0, {}}, &CM::GetLong<&C::responseStatusCode_>, &CM::PutReadOnly},
  {{L"ResponseText", 33, P, VT_BSTR, 0, {}}, &CM::GetText<&C::responseText_>, &CM::PutReadOnly},
  {{L"FileSize", 34, P, VT_I4, 0, {}}, &CM::GetFileSize, &CM::PutFileSize},
  {{L"FileBytes", 35, P, VT_VARIANT, 0, {}}, &CM::GetFileBytes, &CM::PutFileBytes},
  {{L"DbClickEventEnable", 36, P, VT_I2, 0, {}}, &CM::GetShort<&C::dbClickEventEnable_>, &CM::PutShort<&C::dbClickEventEnable_>},
  {{L"AddLocalFile", 37, M, VT_VARIANT, 1, {VT_BSTR}}, &CM::AddLocalFile, nullptr},
  {{L"AddVirtualFile", 38, M, VT_VARIANT, 1, {VT_BSTR}}, &CM::AddVirtualFile, nullptr},
  {{L"AddVirtualFileWithSize", 39, M, VT_VARIANT, 2, {VT_BSTR, VT_BSTR}}, &CM::AddVirtualFileWithSize, nullptr},
  {{L"DeleteFile", 40, M, VT_VARIANT, 1, {VT_I4}}, &CM::DeleteFileByIndex, nullptr},
  {{L"DeleteFile2", 41, M, VT_VARIANT, 1, {VT_BSTR}}, &CM::DeleteFileByName, nullptr},
  {{L"OpenFileDialog", 42, M, VT_EMPTY, 0, {}}, &CM::OpenFileDialog, nullptr},
  {{L"OpenFolderDialog", 43, M, VT_EMPTY, 0, {}}, &CM::OpenFolderDialog, nullptr},
  {{L"GetSelectedCount", 44, M, VT_I4, 0, {}}, &CM::GetSelectedCount, nullptr},
  {{L"GetSelectedFileName", 45, M, VT_BSTR, 1, {VT_I4}}, &CM::GetSelectedFileName, nullptr},
  {{L"AddLocalFiles", 46, M, VT_VARIANT, 1, {VT_BSTR}}, &CM::AddLocalFilesPattern, nullptr},
  {{L"Post", 47, M, VT_BSTR, 1, {VT_BOOL}}, &CM::Post, nullptr},
  {{L"AddMessage", 48, M, VT_VARIANT, 2, {VT_BSTR, VT_BSTR}}, &CM::AddMessage, nullptr},
  {{L"FindFilePos", 49, M, VT_I4, 1, {VT_BSTR}}, &CM::FindFilePos, nullptr},
  {{L"SetFileAttr", 50, M, VT_VARIANT, 2, {VT_BSTR, VT_BSTR}}, &CM::SetFileAttr, nullptr},
  {{L"GetFileAttr", 51, M, VT_BSTR, 1, {VT_BSTR}}, &CM::GetFileAttr, nullptr},
  {{L"SetDeleteFileAttr", 52, M, VT_VARIANT, 2, {VT_BSTR, VT_BSTR}}, &CM::SetDeleteFileAttr, nullptr},
  {{L"GetDeleteFileAttr", 53, M, VT_BSTR, 1, {VT_BSTR}}, &CM::GetDeleteFileAttr, nullptr},
  {{L"GetFileAttrs", 54, M, VT_VARIANT, 0, {}}, &CM::GetFileAttrs, nullptr},
  {{L"ClearMessage", 55, M, VT_EMPTY, 0, {}}, &CM::ClearMessage, nullptr},
  {{L"PostMessage", 56, M, VT_BSTR, 0, {}}, &CM::PostMessages, nullptr},
  {{L"PostFile", 57, M, VT_BSTR, 0, {}}, &CM::PostFile, nullptr},
  {{L"OpenPostDialog", 58, M, VT_EMPTY, 0, {}}, &CM::OpenPostDialog, nullptr},
  {{L"GetDeleteFileAttrs", 59, M, VT_VARIANT, 0, {}}, &CM::GetDeleteFileAttrs, nullptr},
  {{L"OpenFile", 60, M, VT_EMPTY, 0, {}}, &CM::OpenFile, nullptr},
  {{L"RetryCount", 61, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::retry_count>, &CM::PutLong<&ole::SavedProperties::retry_count>},
  {{L"ParallelCount", 62, P, VT_I4, 0, {}}, &CM::GetLong<&ole::SavedProperties::parallel_count>, &CM::PutLong<&ole::SavedProperties::parallel_count>},
  {{L"ResumableURL", 63, P, VT_BSTR, 0, {}}, &CM::GetText<&ole::SavedProperties::resumable_url>, &CM::PutUnlessBusy<&CM::PutText<&ole::SavedProperties::resumable_url>>},
};
// clang-format on

const com::DispatchTable<C, kControlMemberCount>& ControlMemberTable() {
  static const com::DispatchTable<C, kControlMemberCount> table(ControlMembers::kTable);
  return table;
}

}  // namespace zt
