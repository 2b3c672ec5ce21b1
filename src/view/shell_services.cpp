#include "view/shell_services.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "platform/unique_handle.h"
#include "platform/wide_text.h"
#include "safety/runnable_types.h"
#include "text/unicode.h"
#include "view/shell_paths.h"

namespace zt::view {

namespace {

// Room for a few hundred long names before the dialog's own growth is needed.
constexpr DWORD kInitialSelectionUnits = 32768;
// The longest path the folder browser reports.
constexpr DWORD kLongestFolder = 40960;
// The longest path the save dialog takes.
constexpr DWORD kLongestSavePath = 32768;

void FreePidl(LPITEMIDLIST pidl) { CoTaskMemFree(pidl); }
using UniquePidl = win::UniqueHandle<win::NullTraits<LPITEMIDLIST, FreePidl>>;

// The dialog's result buffer, grown while the user selects so that the
// whole selection always fits.
struct Selection {
  std::vector<wchar_t> units = std::vector<wchar_t>(kInitialSelectionUnits);
};

UINT_PTR CALLBACK FileDialogHook(HWND child, UINT msg, WPARAM, LPARAM lp) {
  if (msg != WM_NOTIFY) return 0;
  const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lp);
  if (notify->hdr.code != CDN_SELCHANGE || !notify->lpOFN) return 0;
  HWND dialog = GetParent(child);
  // The names come quoted and spaced: their length bounds the NUL-separated result.
  const LRESULT names = SendMessageW(dialog, CDM_GETSPEC, 0, 0);
  const LRESULT folder = SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
  if (names < 0 || folder < 0) return 0;
  const std::size_t needed = static_cast<std::size_t>(names) + static_cast<std::size_t>(folder) + 2;
  OPENFILENAMEW* ofn = notify->lpOFN;
  auto* selection = reinterpret_cast<Selection*>(ofn->lCustData);
  if (needed <= selection->units.size()) return 0;
  selection->units.assign(needed * 2, L'\0');
  ofn->lpstrFile = selection->units.data();
  ofn->nMaxFile = static_cast<DWORD>(selection->units.size());
  return 0;
}

std::u16string FolderPath(LPCITEMIDLIST pidl) {
  std::vector<wchar_t> path(kLongestFolder);
  if (!pidl || !SHGetPathFromIDListEx(pidl, path.data(), kLongestFolder, GPFIDL_DEFAULT)) return {};
  return FromWide(path.data());
}

// The browse of this thread (one at a time): the folder it opens at, the
// folder last reported selected, and whether a selection came that the
// browse did not make itself (the user's, which is never undone).
struct BrowseStart {
  std::u16string folder;
  std::u16string selected;
  int triesLeft = 30;
  bool selecting = false;
  bool chosenElsewhere = false;
};
thread_local BrowseStart* currentBrowse = nullptr;

constexpr UINT_PTR kSelectStartTimer = 0x5A54;
constexpr UINT kSelectStartPeriodMs = 100;

void SelectStart(HWND browser) {
  // Selected as an item of the shell's namespace: Wine's browser does not
  // always find a path handed over as text.
  UniquePidl start(ILCreateFromPathW(AsWide(currentBrowse->folder)));
  if (!start) return;
  // The browser reports the change while this call is under way.
  currentBrowse->selecting = true;
  SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(start.Get()));
  currentBrowse->selecting = false;
}

// Wine's browser is still filling its tree when it reports itself ready and
// may lose a selection made then: it is made again until the browser
// reports the start folder selected (or a few seconds have passed), and
// never after the user has picked a folder.
void CALLBACK KeepSelectingStart(HWND browser, UINT, UINT_PTR timer, DWORD) {
  // Paths compare ignoring case, as the file system does: the current
  // directory may be written otherwise than the shell writes the folder.
  if (!currentBrowse || currentBrowse->chosenElsewhere || EqualsNoCase(currentBrowse->selected, currentBrowse->folder) ||
      --currentBrowse->triesLeft <= 0) {
    KillTimer(browser, timer);
    return;
  }
  SelectStart(browser);
}

int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM lp, LPARAM) {
  if (msg == BFFM_INITIALIZED) {
    if (!currentBrowse) return 0;
    std::vector<wchar_t> current(kLongestFolder);
    const DWORD length = GetCurrentDirectoryW(kLongestFolder, current.data());
    if (length == 0 || length >= kLongestFolder) return 0;
    currentBrowse->folder = FromWide(current.data(), length);
    SelectStart(browser);
    SetTimer(browser, kSelectStartTimer, kSelectStartPeriodMs, &KeepSelectingStart);
  } else if (msg == BFFM_SELCHANGED) {
    const std::u16string path = FolderPath(reinterpret_cast<LPCITEMIDLIST>(lp));
    if (currentBrowse) {
      currentBrowse->selected = path;
      if (!currentBrowse->selecting && !currentBrowse->folder.empty()) currentBrowse->chosenElsewhere = true;
    }
    if (!path.empty()) SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(AsWide(path)));
  }
  return 0;
}

}  // namespace

std::vector<std::u16string> ChooseFiles(HWND owner) {
  Selection selection;
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFile = selection.units.data();
  ofn.nMaxFile = static_cast<DWORD>(selection.units.size());
  // No OFN_FILEMUSTEXIST: a typed name that does not exist fails when it is added.
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_ENABLEHOOK;
  ofn.lpfnHook = &FileDialogHook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&selection);
  if (!GetOpenFileNameW(&ofn)) return {};
  // The hook may have moved the buffer: the structure knows where it is now.
  return SelectionPaths(std::u16string_view(reinterpret_cast<const char16_t*>(ofn.lpstrFile), ofn.nMaxFile));
}

std::u16string ChooseFolder(HWND owner) {
  std::vector<wchar_t> displayName(MAX_PATH);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName.data();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  info.lpfn = &BrowseCallback;
  // The browser's own answer, not a copy of the last status text: a choice
  // that has no path adds nothing rather than an earlier folder.
  BrowseStart start;
  BrowseStart* const outer = currentBrowse;
  currentBrowse = &start;
  UniquePidl chosen(SHBrowseForFolderW(&info));
  currentBrowse = outer;
  return chosen ? FolderPath(chosen.Get()) : std::u16string();
}

std::u16string ChooseSaveTarget(HWND owner) {
  std::vector<wchar_t> path(kLongestSavePath);
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFile = path.data();
  ofn.nMaxFile = kLongestSavePath;
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameW(&ofn)) return {};
  return FromWide(path.data());
}

namespace {

// Whether the file's first bytes are a program's. The shell may start one
// whatever its name (a copy served as "report.xyz"); a file that cannot be
// read is not judged safe either.
bool HoldsProgram(const std::u16string& path) {
  win::UniqueFile file(CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return true;
  char head[2] = {};
  DWORD read = 0;
  if (!ReadFile(file.Get(), head, sizeof head, &read, nullptr)) return true;
  return ProgramImage(std::string_view(head, read));
}

}  // namespace

bool RunsCodeWhenOpened(const std::u16string& path) {
  if (RunsCode(path)) return true;
  const std::u16string_view extension = EffectiveExtension(path);
  if (!extension.empty() && AssocIsDangerous(AsWide(u"." + std::u16string(extension)))) return true;
  return HoldsProgram(path);
}

bool OpenWithShell(HWND owner, const std::u16string& path) {
  if (RunsCodeWhenOpened(path)) return false;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_DDEWAIT;
  info.hwnd = owner;
  info.lpFile = AsWide(path);
  info.nShow = SW_SHOW;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace zt::view
