// Files added through the shell as a person adds them: the open-file dialog
// and the folder browser driven from a thread of the test (fields typed,
// buttons pressed), the menu's commands, and files dragged onto the list
// through OLE's own drag loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <shlobj.h>
#include <string>
#include <thread>
#include <vector>

#include "dialog_driver.h"
#include "drag_drop.h"
#include "embedded_control.h"

namespace zt::test {
namespace {

constexpr DISPID kItemDblClick = 1, kAfterAddFile = 3, kAfterAddFiles = 5;
const wchar_t kNoSuchFile[] = L"\uD574\uB2F9 \uD30C\uC77C\uC774 \uC874\uC7AC\uD558\uC9C0 \uC54A\uC2B5\uB2C8\uB2E4.";
const wchar_t kErrorCaption[] = L"ZTFILEUPLOAD Control";

class ShellInputTest : public EmbeddedControlTest {
protected:
  // Runs act on this thread (it returns when the dialogs it opens are
  // closed) while person plays the user on another thread.
  template <typename Act>
  auto WithPerson(Act act, const std::function<void()>& person) {
    std::thread other(person);
    auto result = act();
    other.join();
    Pump();
    return result;
  }
  CallResult CallWithPerson(const wchar_t* method, const std::function<void()>& person) {
    return WithPerson([&] { return control_.Call(method); }, person);
  }
  // The entries' paths in the order of their indices.
  Texts Paths() {
    Texts paths;
    const long count = control_.GetLong(L"FileCount");
    for (long i = 0; i < count; ++i) {
      control_.Put(L"FilePos", Long(i));
      paths.push_back(control_.GetText(L"FilePath"));
    }
    return paths;
  }
  // The local path of the entry named name.
  std::wstring PathOf(const wchar_t* name) {
    const long pos = FindFilePos(name);
    if (pos < 0) return L"<no entry " + std::wstring(name) + L">";
    control_.Put(L"FilePos", Long(pos));
    return control_.GetText(L"FilePath");
  }
  std::wstring Folder(const std::wstring& name) {
    const std::wstring path = folder_.Path() + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
  }
};

// The person at a file dialog: types text and presses Open (or Cancel).
void AnswerFileDialog(const std::vector<std::wstring>& typed, int button = IDOK) {
  HWND dialog = FindFileDialog();
  ASSERT_NE(dialog, nullptr) << "no file dialog";
  for (const std::wstring& text : typed) {
    TypeFileName(dialog, text);
    SendMessageW(dialog, WM_COMMAND, button, 0);
  }
  if (typed.empty()) SendMessageW(dialog, WM_COMMAND, button, 0);
  EXPECT_TRUE(WaitGone(dialog));
}

// The person at a stop-icon message box: reads it and presses OK.
std::wstring AnswerErrorBox() {
  HWND box = FindDialog(kErrorCaption);
  if (!box) return L"<no message box>";
  std::wstring text = MessageBoxText(box);
  if (!ShowsStopIcon(box)) text += L" <without the stop icon>";
  Click(box, IDOK);
  WaitGone(box);
  return text;
}

TEST_F(ShellInputTest, TheOpenFileDialogAddsOneOrManyFilesAndReportsANameThatIsNotThere) {
  AddFiles({{L"one.txt", 10}});
  const std::wstring one = folder_.Path() + L"one.txt";
  ASSERT_TRUE(control_.Call(L"DeleteFile2", {Text(L"one.txt")}).Bool());
  Events().clear();

  // One file, typed as a whole path.
  CallResult r = CallWithPerson(L"OpenFileDialog", [&] { AnswerFileDialog({one}); });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(Paths(), (Texts{one}));
  EXPECT_EQ(EventArgs(kAfterAddFile), (Texts{L"0"}));
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"1"}));

  // Forty files with long names, far beyond 260 units together: the person
  // goes to their folder, then types all their names.
  const std::wstring many = Folder(L"many") + L"\\";
  std::wstring names;
  Texts expected{one};
  for (int i = 0; i < 40; ++i) {
    const std::wstring name = std::wstring(90, L'a' + i % 26) + L"-" + std::to_wstring(i) + L".dat";
    folder_.MakeFile(L"many\\" + name, 1);
    names += L"\"" + name + L"\" ";
    expected.push_back(many + name);
  }
  Events().clear();
  r = CallWithPerson(L"OpenFileDialog", [&] { AnswerFileDialog({many, names}); });
  EXPECT_EQ(r.Hr, S_OK);
  Texts paths = Paths();
  EXPECT_EQ(paths.size(), expected.size());
  std::sort(paths.begin(), paths.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths, expected);
  EXPECT_EQ(EventArgs(kAfterAddFile).size(), 40u);
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"40"}));

  // Cancel adds nothing and reports nothing.
  Events().clear();
  r = CallWithPerson(L"OpenFileDialog", [&] { AnswerFileDialog({}, IDCANCEL); });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 41);
  EXPECT_TRUE(Events().empty());

  // A typed name that does not exist: the script call fails with E01006...
  const std::wstring missing = folder_.Path() + L"not-there.txt";
  r = CallWithPerson(L"OpenFileDialog", [&] { AnswerFileDialog({missing}); });
  EXPECT_EQ(r.Hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.Exception.wCode, 1006);
  EXPECT_EQ(r.Description(), kNoSuchFile);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");
  // ...and through the menu's "파일열기" the same error shows in a box.
  control_.Call(L"ClearMessage");
  std::wstring shown;
  WithPerson(
      [&] { return RightClickMenu(List(), {VK_DOWN, VK_RETURN}).opened; },
      [&] {
        AnswerFileDialog({missing});
        shown = AnswerErrorBox();
      });
  EXPECT_EQ(shown, kNoSuchFile);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 41);
}

TEST_F(ShellInputTest, TheFolderBrowserAddsAFoldersOwnFilesAndStartsWhereTheLastBrowseEnded) {
  const std::wstring a = Folder(L"a"), empty = Folder(L"empty");
  Folder(L"elsewhere");
  Folder(L"a\\sub");
  folder_.MakeFile(L"a\\first.txt", 1);
  folder_.MakeFile(L"a\\second.txt", 2);
  folder_.MakeFile(L"a\\hidden.txt", 3, FILE_ATTRIBUTE_HIDDEN);
  folder_.MakeFile(L"a\\system.txt", 4, FILE_ATTRIBUTE_SYSTEM);
  folder_.MakeFile(L"a\\sub\\inner.txt", 5);
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);

  // The browser opens at the current directory, its path as the status text.
  ASSERT_TRUE(SetCurrentDirectoryW(a.c_str()));
  Texts status;
  CallResult r = CallWithPerson(L"OpenFolderDialog", [&] {
    HWND browser = FindFolderBrowser();
    ASSERT_NE(browser, nullptr);
    WaitUntil([&] {
      status = StaticTexts(browser);
      return std::find(status.begin(), status.end(), a) != status.end();
    }, 5000);
    SendMessageW(browser, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_NE(std::find(status.begin(), status.end(), a), status.end()) << "the browser did not start at " << a;
  Texts paths = Paths();
  std::sort(paths.begin(), paths.end());
  // Hidden files are taken; system files, sub-folders and their files are not.
  EXPECT_EQ(paths, (Texts{a + L"\\first.txt", a + L"\\hidden.txt", a + L"\\second.txt"}));
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"3"}));

  // The person picks an empty folder elsewhere as soon as the tree shows
  // (Wine's browser loses any selection made while it fills its tree, a
  // person's or ours) and looks again a while later: the pick stands,
  // though the start folder is written in another case than the shell
  // writes it. Nothing is added or reported, and the pick becomes the
  // current directory.
  const std::wstring elsewhere = folder_.Path() + L"ELSEWHERE";
  ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.c_str()));
  Events().clear();
  bool pickStood = false;
  r = CallWithPerson(L"OpenFolderDialog", [&] {
    HWND browser = FindFolderBrowser();
    ASSERT_NE(browser, nullptr);
    WaitUntil([&] {
      const Texts texts = StaticTexts(browser);
      return std::any_of(texts.begin(), texts.end(),
                         [&](const std::wstring& t) { return _wcsicmp(t.c_str(), elsewhere.c_str()) == 0; });
    }, 5000);
    // On a busy machine the tree may still be filling then: the person
    // picks again, as one would; a pick the control undoes never stands.
    // The pick is an item of the shell's namespace, as a click makes it:
    // Wine's browser does not always find a folder handed over as text.
    PIDLIST_ABSOLUTE emptyItem = ILCreateFromPathW(empty.c_str());
    ASSERT_NE(emptyItem, nullptr);
    for (int attempt = 0; attempt < 5 && !pickStood; ++attempt) {
      SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(emptyItem));
      Sleep(1500);
      const Texts texts = StaticTexts(browser);
      pickStood = std::find(texts.begin(), texts.end(), empty) != texts.end();
    }
    ILFree(emptyItem);
    SendMessageW(browser, WM_COMMAND, IDOK, 0);
  });
  EXPECT_TRUE(pickStood) << "the browser went back to where it started";
  EXPECT_EQ(r.Hr, S_OK);
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), empty);

  // So the next browse starts there; Cancel adds nothing.
  bool startedThere = false;
  r = CallWithPerson(L"OpenFolderDialog", [&] {
    HWND browser = FindFolderBrowser();
    ASSERT_NE(browser, nullptr);
    startedThere = WaitUntil([&] {
      const Texts texts = StaticTexts(browser);
      return std::find(texts.begin(), texts.end(), empty) != texts.end();
    }, 5000);
    SendMessageW(browser, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(startedThere);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 3);
  SetCurrentDirectoryW(before);
}

TEST_F(ShellInputTest, TheKeyboardAloneAddsFilesOpensTheMenuAtTheFocusedRowSelectsActsAndDeletes) {
  folder_.MakeFile(L"k1.txt", 3);
  folder_.MakeFile(L"k2.txt", 4);
  AddServer(L"/srv/s.doc");
  Put(L"ListType", 1);
  // Insert opens the file dialog as "파일열기" does; the person picks two files.
  WithPerson([&] { PressKey(List(), VK_INSERT); return 0; },
             [&] { AnswerFileDialog({folder_.Path(), L"\"k1.txt\" \"k2.txt\""}); });
  EXPECT_EQ(control_.GetLong(L"FileCount"), 3);

  // Down twice: the second row has the focus. Shift+F10 opens the menu just
  // under that row, wherever the mouse is, and Up, Right, Enter choose
  // "아이콘보기" in its "보기" popup.
  SetCursorPos(0, 0);
  PressKey(List(), VK_DOWN);
  PressKey(List(), VK_DOWN);
  const RECT row = RowOnScreen(List(), 1);
  const MenuSeen seen = KeyMenu(List(), VK_F10, {VK_UP, VK_RIGHT, VK_RETURN});
  EXPECT_TRUE(seen.opened);
  EXPECT_GE(seen.at.y, row.top);
  EXPECT_LE(seen.at.y, row.bottom + 2);
  EXPECT_GE(seen.at.x, row.left - 2);
  EXPECT_EQ(ListType(), 0);
  // The menu key opens it too, once, and Esc leaves it.
  EXPECT_TRUE(KeyMenu(List(), VK_APPS, {}).opened);

  // Ctrl+A selects every row; End then selects the last alone, the first
  // entry added (rows are newest first).
  PressKey(List(), 'A', true);
  EXPECT_EQ(SelectedRows(List()).size(), 3u);
  PressKey(List(), VK_END);
  ASSERT_EQ(SelectedRows(List()), (std::vector<int>{2}));
  ASSERT_EQ(CellText(List(), 2, 0), L"s.doc");
  // Enter on it acts as a double click: ItemDblClick with its name (a
  // server entry: the shell is given nothing to open).
  const long server = FindFilePos(L"s.doc");
  Events().clear();
  PressKey(List(), VK_RETURN);
  EXPECT_EQ(EventArgs(kItemDblClick), (Texts{L"s.doc"}));
  EXPECT_EQ(control_.GetLong(L"FilePos"), server);
  // Delete removes the selected row's entry, and only it.
  PressDelete(List());
  EXPECT_EQ(control_.GetLong(L"FileCount"), 2);
  EXPECT_EQ(FindFilePos(L"s.doc"), -1);
}

TEST_F(ShellInputTest, DroppedFilesAndFoldersFilesAreAddedInOrderWholeAndOnceThroughTheViewsDropTarget) {
  // Three files of one name from three folders: the numbers their names get
  // show the order they were added in.
  Texts dropped;
  for (const wchar_t* from : {L"p", L"q", L"r"}) {
    Folder(from);
    dropped.push_back(folder_.MakeFile(std::wstring(from) + L"\\n.txt", 1));
  }
  Put(L"ListType", 1);

  // Three AfterAddFile, one AfterAddFiles, and the copy effect: nothing
  // tells the source to delete them.
  EXPECT_EQ(DropOn(List(), FileListData(dropped).Get()), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ((Texts{PathOf(L"n.txt"), PathOf(L"n(1).txt"), PathOf(L"n(2).txt")}), dropped);
  EXPECT_EQ(EventArgs(kAfterAddFile).size(), 3u);
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"3"}));
  EXPECT_EQ(ColumnTexts(List(), 0).size(), 3u);

  // The rebuilt view is a drop target too. A name already listed is
  // numbered again, and a path far longer than 260 characters is read whole.
  Put(L"ListType", 0);
  std::wstring deep = folder_.Path();
  for (int i = 0; i < 3; ++i) {
    deep += std::wstring(100, L'd' + i) + L"\\";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::wstring longPath = deep + L"far.txt";
  HANDLE f = CreateFileW((L"\\\\?\\" + longPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  ASSERT_GT(longPath.size(), 300u);
  Events().clear();
  EXPECT_EQ(DropOn(List(), FileListData({dropped[2], longPath}).Get()), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"2"}));
  EXPECT_EQ(PathOf(L"n(3).txt"), dropped[2]);
  EXPECT_EQ(PathOf(L"far.txt"), longPath);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");

  // Data without a file list is refused: no effect, nothing added.
  Events().clear();
  EXPECT_EQ(DropOn(List(), TextOnlyData(dropped[0]).Get()), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(Events().empty());
  // Nor does anything add the last drop's files again when the view is
  // enabled later.
  EnableWindow(List(), FALSE);
  EnableWindow(List(), TRUE);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 5);

  // A dropped folder brings its own files where it stands, as the folder
  // browser takes them: hidden ones yes, system files and sub-folders no.
  // One name in three places: the numbers show the order.
  const std::wstring box = Folder(L"box");
  Folder(L"box\\sub");
  Folder(L"s");
  folder_.MakeFile(L"box\\sub\\deep.txt", 1);
  folder_.MakeFile(L"box\\system.txt", 1, FILE_ATTRIBUTE_SYSTEM);
  const std::wstring inside = folder_.MakeFile(L"box\\k.txt", 1, FILE_ATTRIBUTE_HIDDEN);
  const std::wstring w = folder_.MakeFile(L"k.txt", 4), x = folder_.MakeFile(L"s\\k.txt", 5);
  Events().clear();
  EXPECT_EQ(DropOn(List(), FileListData({w, box, x}).Get()), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ((Texts{PathOf(L"k.txt"), PathOf(L"k(1).txt"), PathOf(L"k(2).txt")}), (Texts{w, inside, x}));
  EXPECT_EQ(EventArgs(kAfterAddFile).size(), 3u);
  EXPECT_EQ(EventArgs(kAfterAddFiles), (Texts{L"3"}));
  EXPECT_EQ(ColumnTexts(List(), 0).size(), 8u);
  // An empty folder adds nothing and says nothing.
  Events().clear();
  DropOn(List(), FileListData({Folder(L"empty")}).Get());
  EXPECT_TRUE(Events().empty());
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"");

  // A dropped path that is gone fails after the files before it stay, and
  // the failure shows in a box with the stop icon.
  std::wstring shown;
  const DWORD effect = WithPerson(
      [&] { return DropOn(List(), FileListData({w, folder_.Path() + L"gone.txt"}).Get()); },
      [&] { shown = AnswerErrorBox(); });
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(shown, kNoSuchFile);
  EXPECT_EQ(control_.GetLong(L"FileCount"), 9);
  EXPECT_EQ(control_.GetText(L"ErrorCode"), L"E01006");
}

}  // namespace
}  // namespace zt::test
