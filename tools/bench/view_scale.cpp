// The list view at scale, as a page uses it: the control embedded in a
// window in the report presentation, AddLocalFiles with a pattern over
// 1,000 and over 10,000 files, a rebuild of 10,000 rows (a ListType put) and
// a sort of 10,000 rows by name (a click on the name column's header).
// Beside it, a reference in the same run: the floor of that work, a bare
// list view of the same size given the same rows (one search of the folder,
// three texts and the shell's icon of the type for each row, drawing off
// while it fills) and sorted by the list view's own sort.
// Usage: zt_view_scale <module.ocx> <folder of 1,000 files> <folder of 10,000 files>
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "control_site.h"

namespace {

const CLSID kControl = {0x641FC981, 0x5EE3, 0x4800, {0x8C, 0x3C, 0x68, 0x92, 0x0A, 0xA6, 0xAC, 0x4D}};
constexpr int kWidth = 900, kHeight = 600;

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HRESULT Invoke(IDispatch* d, const wchar_t* name, WORD flags, VARIANT* arg, VARIANT* out) {
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  const bool isPut = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params = {arg, isPut ? &put : nullptr, arg ? 1u : 0u, isPut ? 1u : 0u};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out, nullptr, nullptr);
}

HRESULT PutShort(IDispatch* d, const wchar_t* name, short value) {
  VARIANT v;
  V_VT(&v) = VT_I2;
  V_I2(&v) = value;
  return Invoke(d, name, DISPATCH_PROPERTYPUT, &v, nullptr);
}

long GetLong(IDispatch* d, const wchar_t* name) {
  VARIANT v;
  VariantInit(&v);
  Invoke(d, name, DISPATCH_PROPERTYGET, nullptr, &v);
  VariantChangeType(&v, &v, 0, VT_I4);
  return V_I4(&v);
}

struct Embedded {
  IDispatch* control = nullptr;
  zt::host::ControlSite* site = nullptr;
  HWND list = nullptr;
};

Embedded EmbedControl(HMODULE module, HWND page) {
  Embedded e;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (!get || FAILED(get(kControl, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return e;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&e.control));
  factory->Release();
  if (!e.control) return e;
  e.site = new zt::host::ControlSite(page, L"FileUpload");
  e.site->AddRef();
  std::wstring step;
  if (FAILED(e.site->Embed(e.control, nullptr, RECT{0, 0, kWidth, kHeight}, &step))) {
    std::fprintf(stderr, "embedding failed at %ls\n", step.c_str());
    e.control->Release();
    e.control = nullptr;
  }
  return e;
}

HWND ListOf(IDispatch* control) {
  IOleInPlaceObject* inPlace = nullptr;
  HWND window = nullptr;
  if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
    inPlace->GetWindow(&window);
    inPlace->Release();
  }
  return window ? GetDlgItem(window, 10001) : nullptr;
}

void Unembed(Embedded& e) {
  e.site->Unembed();
  e.site->Release();
  e.control->Release();
  Pump();
}

// Seconds AddLocalFiles(pattern) took in a new control shown in the report
// presentation; leaves the control embedded in *out.
double TimeAdd(HMODULE module, HWND page, const std::wstring& folder, Embedded* out) {
  *out = EmbedControl(module, page);
  if (!out->control) return -1;
  PutShort(out->control, L"ListType", 1);
  const std::wstring pattern = folder + L"\\*.dat";
  VARIANT arg, result;
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = SysAllocString(pattern.c_str());
  VariantInit(&result);
  const double start = Now();
  const HRESULT hr = Invoke(out->control, L"AddLocalFiles", DISPATCH_METHOD, &arg, &result);
  Pump();
  const double seconds = Now() - start;
  SysFreeString(V_BSTR(&arg));
  if (FAILED(hr)) std::fprintf(stderr, "AddLocalFiles failed: 0x%08lx\n", hr);
  return seconds;
}

void ClickHeader(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT r = {};
  SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(header, WM_LBUTTONUP, 0, at);
}

int ImageCount(HWND list) {
  auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  return images ? ImageList_GetImageCount(images) : 0;
}

double PrivateMiB() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return double(counters.WorkingSetSize) / 1048576.0;
}

// The reference: the platform's own cost of listing the same files in a
// list view and of sorting them by name with the list view's own sort.
struct Reference {
  double fill = 0, sort = 0;
};

int CALLBACK CompareNames(LPARAM a, LPARAM b, LPARAM list) {
  wchar_t x[MAX_PATH], y[MAX_PATH];
  LVITEMW item = {};
  item.pszText = x;
  item.cchTextMax = MAX_PATH;
  SendMessageW(reinterpret_cast<HWND>(list), LVM_GETITEMTEXTW, a, reinterpret_cast<LPARAM>(&item));
  item.pszText = y;
  SendMessageW(reinterpret_cast<HWND>(list), LVM_GETITEMTEXTW, b, reinterpret_cast<LPARAM>(&item));
  return wcscmp(x, y);
}

Reference MeasureReference(HWND page, const std::wstring& folder) {
  Reference r;
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, nullptr, WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, kWidth, kHeight,
                              page, nullptr, nullptr, nullptr);
  HIMAGELIST large = ImageList_Create(32, 32, ILC_COLOR32, 4, 4);
  HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR32, 4, 4);
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(large));
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 200;
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  const double start = Now();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*.dat").c_str(), &data);
  int icon = -1;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring path = folder + L"\\" + data.cFileName;
      if (icon < 0) {
        SHFILEINFOW info = {};
        SHGetFileInfoW(L"x.dat", FILE_ATTRIBUTE_NORMAL, &info, sizeof info, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
        icon = ImageList_ReplaceIcon(large, -1, info.hIcon);
        ImageList_ReplaceIcon(small, -1, info.hIcon);
        DestroyIcon(info.hIcon);
      }
      LVITEMW item = {};
      item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
      item.pszText = data.cFileName;
      item.iImage = icon;
      const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
      for (int c = 1; c < 3; ++c) {
        LVITEMW sub = {};
        sub.iSubItem = c;
        sub.pszText = const_cast<wchar_t*>(c == 1 ? path.c_str() : L"1 Kb");
        SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  Pump();
  r.fill = Now() - start;
  const double sortStart = Now();
  SendMessageW(list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(list), reinterpret_cast<LPARAM>(&CompareNames));
  r.sort = Now() - sortStart;
  DestroyWindow(list);
  return r;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: zt_view_scale <module.ocx> <folder of 1,000 files> <folder of 10,000 files>\n");
    return 2;
  }
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  HMODULE module = LoadLibraryW(argv[1]);
  if (!module) {
    std::fprintf(stderr, "cannot load %ls\n", argv[1]);
    return 1;
  }
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZTViewScalePage";
  RegisterClassW(&wc);
  HWND page = CreateWindowW(wc.lpszClassName, L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                            kWidth + 40, kHeight + 60, nullptr, nullptr, wc.hInstance, nullptr);

  const Reference small = MeasureReference(page, argv[2]);
  const Reference big = MeasureReference(page, argv[3]);

  Embedded first;
  const double add1k = TimeAdd(module, page, argv[2], &first);
  const long count1k = GetLong(first.control, L"FileCount");
  Unembed(first);

  const double memoryBefore = PrivateMiB();
  Embedded second;
  const double add10k = TimeAdd(module, page, argv[3], &second);
  const long count10k = GetLong(second.control, L"FileCount");

  double start = Now();
  PutShort(second.control, L"ListType", 1);
  Pump();
  const double rebuild = Now() - start;
  HWND list = ListOf(second.control);
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));

  start = Now();
  ClickHeader(list, 0);
  Pump();
  const double sort = Now() - start;
  wchar_t first_name[MAX_PATH] = {};
  LVITEMW item = {};
  item.pszText = first_name;
  item.cchTextMax = MAX_PATH;
  SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  const int images = ImageCount(list);
  const double memoryAfter = PrivateMiB();
  Unembed(second);

  std::printf("%-44s %10s %10s %8s\n", "step", "control s", "bare s", "ratio");
  std::printf("%-44s %10.3f %10.3f %8.2f\n", "AddLocalFiles, 1,000 files (report view)", add1k, small.fill, add1k / small.fill);
  std::printf("%-44s %10.3f %10.3f %8.2f\n", "AddLocalFiles, 10,000 files (report view)", add10k, big.fill, add10k / big.fill);
  std::printf("%-44s %10.3f %10s %8s\n", "rebuild of 10,000 rows (ListType put)", rebuild, "-", "-");
  std::printf("%-44s %10.3f %10.3f %8.2f\n", "sort of 10,000 rows by name (header click)", sort, big.sort, sort / big.sort);
  std::printf("10,000 / 1,000 files added: %.2f (bare list: %.2f)\n", add10k / add1k, big.fill / small.fill);
  std::printf("files %ld and %ld; rows after the rebuild %d; first row after the sort %ls\n", count1k, count10k, rows,
              first_name);
  std::printf("images in each image list for 10,000 rows: %d; working set %.1f MiB before the 10,000, %.1f MiB after\n",
              images, memoryBefore, memoryAfter);
  return count1k == 1000 && count10k == 10000 && rows == 10000 ? 0 : 1;
}
