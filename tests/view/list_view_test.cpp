// The file list view inside our container: what it shows in each
// presentation, and what clicks, keys, the context menu and header clicks
// do to the control.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

#include "embedded_control.h"
#include "picture.h"
#include "widgets/gradient_stripes.h"
#include "view_window.h"

namespace zt::test {
namespace {

constexpr DISPID kItemDblClick = 1, kItemClick = 2, kAfterDeleteFile = 4;

class ListViewTest : public EmbeddedControlTest {};

TEST_F(ListViewTest, EachPresentationIsAFreshListWindowWithTheEntriesNewestFirst) {
  AddFiles({{L"k0.bin", 1023}, {L"k1.bin", 1024}});
  AddServer(L"/srv/report.doc", L"3 M");
  struct Case {
    long listType;
    LONG style;
    int columns;
  };
  HWND previous = nullptr;
  for (const Case& c : {Case{0, 0x50010000, 3}, Case{1, 0x50010001, 3}, Case{2, 0x50010002, 3},
                        Case{3, 0x50010003, 3}, Case{4, 0x50010001, 3}, Case{9, 0x50010000, 3}}) {
    SCOPED_TRACE(c.listType);
    Put(L"ListType", c.listType);
    HWND list = List();
    ASSERT_NE(list, nullptr);
    EXPECT_NE(list, previous);  // rebuilt, not restyled
    if (previous) EXPECT_FALSE(IsWindow(previous));
    previous = list;
    EXPECT_EQ(GetDlgCtrlID(list), 10001);
    EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & 0xFFFF00FF, c.style);
    EXPECT_TRUE(IsWindowVisible(list));
    RECT r;
    GetClientRect(ControlWindow(), &r);
    RECT own;
    GetWindowRect(list, &own);
    EXPECT_EQ(own.right - own.left, r.right);
    EXPECT_EQ(ColumnCount(list), c.columns);  // presentation 4 without attributes looks like 1
    EXPECT_EQ(ColumnTexts(list, 0), (Texts{L"report.doc", L"k1.bin", L"k0.bin"}));
    EXPECT_EQ(ColumnTexts(list, 1), (Texts{L"/srv/report.doc", folder_.Path() + L"k1.bin", folder_.Path() + L"k0.bin"}));
    EXPECT_EQ(ColumnTexts(list, 2), (Texts{L"? Kb", L"1 Kb", L"0 Kb"}));
  }
  EXPECT_EQ(ListType(), 9);

  // The column titles, and attribute columns in presentation 4 only.
  ASSERT_TRUE(control_.Call(L"SetFileAttr", {Text(L"Title"), Text(L"\uBCF4\uACE0\uC11C")}).Bool());
  Put(L"ListType", 4);
  HWND list = List();
  ASSERT_EQ(ColumnCount(list), 4);
  wchar_t title[64] = {};
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  column.pszText = title;
  column.cchTextMax = 64;
  const Texts titles{L"\uD30C\uC77C\uBA85", L"\uD30C\uC77C\uACBD\uB85C", L"\uD30C\uC77C\uD06C\uAE30", L"Title"};
  for (int i = 0; i < 4; ++i) {
    SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(title, titles[i]);
  }
  EXPECT_EQ(ColumnWidth(list, 3), 100);
  EXPECT_EQ(ColumnTexts(list, 3), (Texts{L"\uBCF4\uACE0\uC11C", L"", L""}));
  Put(L"ListType", 1);
  EXPECT_EQ(ColumnCount(List()), 3);

  // Every row has an image; rows with the same shell icon share one, so
  // the lists hold each distinct icon once.
  AddFiles({{L"more.bin", 5}, {L"tool.exe", 5}});
  list = List();
  std::set<int> distinct;
  for (int row = 0; row < 5; ++row) {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_GE(item.iImage, 0) << row;
    distinct.insert(item.iImage);
  }
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  auto large = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  EXPECT_LT(distinct.size(), 5u);
  EXPECT_EQ(ImageList_GetImageCount(images), static_cast<int>(distinct.size()));
  EXPECT_EQ(ImageList_GetImageCount(large), static_cast<int>(distinct.size()));
  int cx = 0, cy = 0;
  ImageList_GetIconSize(large, &cx, &cy);
  EXPECT_EQ(cx, 32);
  ImageList_GetIconSize(images, &cx, &cy);
  EXPECT_EQ(cx, 16);
}

TEST_F(ListViewTest, ServerNamesNeverReachTheDisk) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring escaped = std::wstring(temp) + L"..\\..\\zt_escaped.exe";
  wchar_t full[MAX_PATH];
  GetFullPathNameW(escaped.c_str(), MAX_PATH, full, nullptr);
  DeleteFileW(full);
  const std::wstring plain = std::wstring(temp) + L"zt_plain.txt";
  HANDLE existing = CreateFileW(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(existing, "keep", 4, &written, nullptr);
  CloseHandle(existing);

  AddServer(L"/srv/a\\..\\..\\zt_escaped.exe");
  AddServer(L"/srv/zt_plain.txt");
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"zt_plain.txt", L"a\\..\\..\\zt_escaped.exe"}));
  EXPECT_EQ(GetFileAttributesW(full), INVALID_FILE_ATTRIBUTES) << "a file was made outside the temporary folder";
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(plain.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 4u);  // a file of the same name is left as it was
  DeleteFileW(plain.c_str());
}

TEST_F(ListViewTest, WidthsAtBuildAndResizeAndSettingsTakeEffectAtTheNextRebuild) {
  Put(L"ListType", 1);
  EXPECT_EQ((std::vector<int>{ColumnWidth(List(), 0), ColumnWidth(List(), 1), ColumnWidth(List(), 2)}),
            (std::vector<int>{200, 300, 100}));
  site_->Resize(RECT{0, 0, 600, 300});
  Put(L"ListType", 1);
  EXPECT_EQ((std::vector<int>{ColumnWidth(List(), 0), ColumnWidth(List(), 1), ColumnWidth(List(), 2)}),
            (std::vector<int>{180, 300, 120}));
  site_->Resize(RECT{0, 0, 1000, 250});
  Pump();
  HWND list = List();
  EXPECT_EQ((std::vector<int>{ColumnWidth(list, 0), ColumnWidth(list, 1), ColumnWidth(list, 2)}),
            (std::vector<int>{300, 500, 200}));
  RECT r;
  GetWindowRect(list, &r);
  EXPECT_EQ(r.right - r.left, 1000);
  EXPECT_EQ(r.bottom - r.top, 250);

  const DWORD defaults = LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
  EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), defaults);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), 0xFFFFFFu);
  Put(L"BgColor", 0x00E0F0);
  Put(L"FgColor", 0x800000);
  Put(L"GridLine", 1);
  Put(L"TrackSelect", -1);
  Put(L"RowSelect", 0);
  EXPECT_EQ(List(), list);
  EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), defaults);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), 0xFFFFFFu);
  Put(L"ListType", 1);
  list = List();
  EXPECT_EQ(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
            LVS_EX_HEADERDRAGDROP | LVS_EX_GRIDLINES | LVS_EX_TRACKSELECT);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), 0x00E0F0u);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTBKCOLOR, 0, 0)), 0x00E0F0u);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)), 0x800000u);
  // Build at 1000 pixels: the fixed widths again.
  EXPECT_EQ(ColumnWidth(list, 1), 300);

  // Command 501 rebuilds the view too.
  SendMessageW(ControlWindow(), WM_COMMAND, 501, 0);
  EXPECT_NE(List(), list);
  EXPECT_FALSE(IsWindow(list));
}

TEST_F(ListViewTest, ClicksMoveFilePosAndFireItemClickForTheFirstSelectedRow) {
  Put(L"ListType", 1);
  ClickBelowRows(List());
  EXPECT_EQ(EventArgs(kItemClick), (Texts{L"-1"}));
  EXPECT_EQ(control_.GetLong(L"FilePos"), -1);

  AddFiles({{L"a.txt", 1}, {L"b.txt", 2}, {L"c.txt", 3}});  // rows c, b, a
  Events().clear();
  ClickBelowRows(List());
  EXPECT_EQ(EventArgs(kItemClick), (Texts{L"-1"}));
  EXPECT_EQ(control_.GetLong(L"FilePos"), 0);
  EXPECT_EQ(control_.Call(L"GetSelectedCount").Long(), 0);

  Events().clear();
  ClickRow(List(), 2);  // a.txt
  EXPECT_EQ(control_.GetLong(L"FilePos"), FindFilePos(L"a.txt"));
  EXPECT_EQ(control_.GetText(L"FileName"), L"a.txt");
  ClickRow(List(), 1);                // b.txt
  ClickRow(List(), 2, MK_CONTROL);    // and a.txt: b.txt is still the first selected
  EXPECT_EQ(SelectedRows(List()), (std::vector<int>{1, 2}));
  EXPECT_EQ(EventArgs(kItemClick), (Texts{std::to_wstring(FindFilePos(L"a.txt")), std::to_wstring(FindFilePos(L"b.txt")),
                                          std::to_wstring(FindFilePos(L"b.txt"))}));
  EXPECT_EQ(control_.GetText(L"FileName"), L"b.txt");
  EXPECT_EQ(control_.Call(L"GetSelectedCount").Long(), 2);
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {Long(0)}).Text(), L"b.txt");
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {Long(1)}).Text(), L"a.txt");
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {Long(2)}).Text(), L"");
  EXPECT_EQ(control_.Call(L"GetSelectedFileName", {Long(-1)}).Text(), L"");
}

TEST_F(ListViewTest, DoubleClickNeverOpensAServerEntryNorARenamedProgram) {
  // A batch file the page renamed to a picture: the row says vacation.jpg,
  // the shell would run the script. The double click tells the page and
  // starts nothing (a document still opens: open_file_test).
  const std::wstring marker = folder_.Path() + L"ran.txt";
  const std::wstring script = folder_.MakeFile(L"payload.bat", 0);
  HANDLE f = CreateFileW(script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string body = "@echo ran> \"" + std::string(marker.begin(), marker.end()) + "\"\r\n";
  DWORD written = 0;
  WriteFile(f, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
  CloseHandle(f);
  ASSERT_TRUE(control_.Call(L"AddLocalFile", {Text(script.c_str())}).Bool());
  ASSERT_EQ(control_.Put(L"FileName", Text(L"vacation.jpg")).Hr, S_OK);
  AddServer(L"/srv/run.bat");
  Put(L"ListType", 1);  // rows: run.bat, vacation.jpg

  DoubleClickRow(List(), 0);
  EXPECT_EQ(EventArgs(kItemDblClick), (Texts{L"run.bat"}));
  EXPECT_EQ(control_.GetText(L"FileName"), L"run.bat");  // a page's handler would call OpenFile now
  DoubleClickRow(List(), 1);
  EXPECT_EQ(EventArgs(kItemDblClick), (Texts{L"run.bat", L"vacation.jpg"}));
  EXPECT_EQ(control_.GetText(L"FileName"), L"vacation.jpg");
  // The script would have written its marker well within this wait.
  for (int i = 0; i < 40 && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  EXPECT_EQ(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the renamed script ran";
}

TEST_F(ListViewTest, DeleteKeyAndDeleteCommandRemoveEverySelectedEntry) {
  AddFiles({{L"a.txt", 1}, {L"b.txt", 2}});
  AddServer(L"/srv/s.doc");
  AddFiles({{L"d.txt", 4}});  // rows d, s, b, a
  Put(L"ListType", 1);
  Put(L"EnableDeleteMenu", 0);
  ClickRow(List(), 1);
  ClickRow(List(), 2, MK_CONTROL);
  Events().clear();
  PressDelete(List());  // the key ignores EnableDeleteMenu
  EXPECT_EQ(EventArgs(kAfterDeleteFile), (Texts{L"s.doc", L"b.txt"}));
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"d.txt", L"a.txt"}));
  EXPECT_EQ(control_.GetLong(L"FileCount"), 2);
  EXPECT_EQ(control_.GetLong(L"DeleteFileCount"), 1);

  // The menu: only EnableMenu 1 opens it; 0 greys; the radio mark follows ListType.
  Put(L"EnableMenu", -1);
  EXPECT_FALSE(RightClickMenu(List(), {}).opened);
  Put(L"EnableMenu", 1);
  Put(L"EnableFolderMenu", 0);
  MenuSeen seen = RightClickMenu(List(), {});
  EXPECT_TRUE(seen.opened);
  EXPECT_TRUE(seen.folderGreyed);
  EXPECT_TRUE(seen.deleteGreyed);
  EXPECT_EQ(seen.checked, (std::vector<unsigned>{32782}));
  EXPECT_EQ(SelectedRows(List()), (std::vector<int>{}));  // a right click selects nothing
  Put(L"ListType", 2);
  Put(L"EnableFolderMenu", 1);
  Put(L"EnableDeleteMenu", 1);
  seen = RightClickMenu(List(), {});
  EXPECT_FALSE(seen.folderGreyed);
  EXPECT_FALSE(seen.deleteGreyed);
  EXPECT_EQ(seen.checked, (std::vector<unsigned>{32781}));

  // "파일삭제" from the menu deletes the selected entry.
  ClickRow(List(), 0);
  Events().clear();
  RightClickMenu(List(), {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_EQ(EventArgs(kAfterDeleteFile), (Texts{L"d.txt"}));
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"a.txt"}));

  // A page whose AfterDeleteFile adds an entry each time: every selected
  // entry still goes, though the row count never drops.
  AddFiles({{L"e.txt", 5}, {L"f.txt", 6}});  // rows f, e, a
  ClickRow(List(), 0);
  ClickRow(List(), 1, MK_CONTROL);
  ClickRow(List(), 2, MK_CONTROL);
  Events().clear();
  int added = 0;
  advised_->Sink().Handler = [&](const FiredEvent& e) {
    if (e.Id != kAfterDeleteFile) return;
    const std::wstring path = L"/srv/new" + std::to_wstring(++added) + L".doc";
    control_.Call(L"AddVirtualFile", {Text(path.c_str())});
  };
  PressDelete(List());
  advised_->Sink().Handler = nullptr;
  EXPECT_EQ(EventArgs(kAfterDeleteFile), (Texts{L"f.txt", L"e.txt", L"a.txt"}));
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"new3.doc", L"new2.doc", L"new1.doc"}));
}

TEST_F(ListViewTest, AViewCommandFromTheMenuRebuildsOnceTheMenuHasClosed) {
  AddFiles({{L"a.txt", 1}, {L"b.txt", 2}});
  Put(L"ListType", 1);
  auto persist = com::ComPtr<IDispatch>(control_.Get()).As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(persist);
  com::ComPtr<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
  ASSERT_EQ(persist->IsDirty(), S_FALSE);

  HWND before = List();
  // Up from nothing selects the last item, the "보기" popup; right opens it
  // on "아이콘보기".
  const MenuSeen seen = RightClickMenu(before, {VK_UP, VK_RIGHT, VK_RETURN});
  EXPECT_TRUE(seen.opened);
  EXPECT_EQ(ListType(), 0);
  HWND after = List();
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after, before);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(GetWindowLongW(after, GWL_STYLE) & 0xFFFF00FF, 0x50010000);
  EXPECT_EQ(ColumnTexts(after, 0), (Texts{L"b.txt", L"a.txt"}));
  EXPECT_EQ(persist->IsDirty(), S_FALSE);  // a view command is not a change to save
}

TEST_F(ListViewTest, HeaderClicksSortEachColumnBothWaysAndRebuildsSortAgain) {
  AddFiles({{L"b.txt", 5 * 1024}, {L"Big.bin", 900 * 1024}, {L"a.txt", 100}});
  AddServer(L"/srv/s.doc", L"9 M");
  AddFiles({{L"c.txt", 12 * 1024}});
  site_->Resize(RECT{0, 0, 1000, 300});  // room for an attribute column
  Put(L"ListType", 1);
  HWND list = List();
  ClickRow(list, 0);  // c.txt, selected: the selection travels with its row
  ClickHeader(list, 2);
  EXPECT_EQ(ColumnTexts(list, 2), (Texts{L"0 Kb", L"? Kb", L"5 Kb", L"12 Kb", L"900 Kb"}));
  EXPECT_EQ(SelectedRows(list), (std::vector<int>{3}));
  EXPECT_EQ(CellText(list, 3, 0), L"c.txt");
  ClickHeader(list, 2);
  EXPECT_EQ(ColumnTexts(list, 2), (Texts{L"900 Kb", L"12 Kb", L"5 Kb", L"? Kb", L"0 Kb"}));
  ClickHeader(list, 0);  // another column starts ascending; capital B first
  const Texts byName{L"Big.bin", L"a.txt", L"b.txt", L"c.txt", L"s.doc"};
  EXPECT_EQ(ColumnTexts(list, 0), byName);
  EXPECT_EQ(ColumnTexts(list, 1)[0], folder_.Path() + L"Big.bin");  // whole rows move

  // Rebuilt in another presentation and back: sorted again by name.
  Put(L"ListType", 0);
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"c.txt", L"s.doc", L"a.txt", L"Big.bin", L"b.txt"}));
  Put(L"ListType", 1);
  EXPECT_EQ(ColumnTexts(List(), 0), byName);
  // The new window took the recorded direction: its next click reverses it.
  ClickHeader(List(), 0);
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"s.doc", L"c.txt", L"b.txt", L"a.txt", L"Big.bin"}));
  ClickHeader(List(), 0);
  EXPECT_EQ(ColumnTexts(List(), 0), byName);

  // The next re-index numbers the entries in the sorted order; the new row
  // goes to the top unsorted.
  AddFiles({{L"0.txt", 1}});
  EXPECT_EQ(ColumnTexts(List(), 0)[0], L"0.txt");
  for (int row = 0; row < 5; ++row) EXPECT_EQ(FindFilePos(byName[row].c_str()), row) << row;
  EXPECT_EQ(FindFilePos(L"0.txt"), 5);

  // An attribute column remembered from presentation 4 is ignored in 1.
  ASSERT_TRUE(control_.Call(L"SetFileAttr", {Text(L"Kind"), Text(L"x")}).Bool());
  Put(L"ListType", 4);
  ClickHeader(List(), 3);
  Put(L"ListType", 1);
  EXPECT_EQ(ColumnTexts(List(), 0), (Texts{L"0.txt", L"c.txt", L"s.doc", L"a.txt", L"Big.bin", L"b.txt"}));
}

// The flat menu and the skinned header as the control shows them: the menu's
// band, the images of bitmap 220 beside their commands, and the header's
// band taken from bitmap 228, in every details layout the view builds.
TEST_F(ListViewTest, TheMenuAndTheHeaderAreDrawnInTheirSkins) {
  using zt::testing::Picture;
  AddFiles({{L"a.txt", 1}});
  Put(L"ListType", 1);

  HMODULE module = GetModuleHandleW(ModulePath().c_str());
  ASSERT_NE(module, nullptr);
  HBITMAP band = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(228), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(band, nullptr);
  std::vector<COLORREF> bandColumn;
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, band);
    for (int y = 0; y < 16; ++y) bandColumn.push_back(GetPixel(dc, 0, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(band);
  }
  for (long listType : {1L, 0L, 4L}) {
    Put(L"ListType", listType);
    if (listType == 0) continue;  // no header to see
    HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const Picture p = Picture::OfWindow(header);
    p.Save(L"view_header_" + std::to_wstring(listType) + L".bmp");
    for (int y = 0; y < 16; ++y) EXPECT_EQ(p.At(6, y), bandColumn[y]) << "ListType " << listType << ", row " << y;
  }

  const COLORREF navy = RGB(0, 0, 128), olive = RGB(128, 128, 0), grey = RGB(128, 128, 128);
  struct Row {
    RECT band;
    int navy = 0, olive = 0, grey = 0;
  };
  std::vector<Row> rows(4);  // 파일열기, 폴더열기, (separator), 파일삭제
  COLORREF firstBandColumn = 0, bodyPixel = 0;
  const MenuSeen seen = RightClickMenu(List(), {}, [&](HWND popup, HMENU menu) {
    const Picture p = Picture::OfWindow(popup);
    p.Save(L"view_menu.bmp");
    for (int position : {0, 1, 3}) {
      RECT r = {};
      GetMenuItemRect(nullptr, menu, position, &r);
      MapWindowPoints(nullptr, popup, reinterpret_cast<POINT*>(&r), 2);
      Row& row = rows[position];
      row.band = {r.left, r.top, r.left + 30, r.bottom};
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.left + 30; ++x) {
          row.navy += p.At(x, y) == navy;
          row.olive += p.At(x, y) == olive;
          row.grey += p.At(x, y) == grey;
        }
      if (position == 0) {
        firstBandColumn = p.At(r.left, r.top + 1);
        bodyPixel = p.At(r.right - 3, r.top + 1);
      }
    }
  });
  ASSERT_TRUE(seen.opened);
  // The band runs from (180, 196, 228) towards white over 30 pixels.
  const auto stripes = widgets::GradientStripes(0, 30, RGB(180, 196, 228), RGB(255, 255, 255));
  ASSERT_FALSE(stripes.empty());
  EXPECT_EQ(firstBandColumn, stripes.front().colour);
  EXPECT_EQ(bodyPixel, RGB(255, 255, 255));
  // Two pages (navy lines) beside "파일열기", the clipboard (olive) beside
  // "폴더열기", the scissors (navy handles, grey blades) beside "파일삭제".
  EXPECT_GT(rows[0].navy, 10);
  EXPECT_EQ(rows[0].olive, 0);
  EXPECT_GT(rows[1].olive, 10);
  EXPECT_GT(rows[3].navy, 5);
  EXPECT_GT(rows[3].grey, 3);
  EXPECT_EQ(rows[3].olive, 0);
}

}  // namespace
}  // namespace zt::test
