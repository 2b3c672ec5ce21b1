#pragma once
// Resource numbers of the module, shared by the .rc and the code.

// String table ids of the two class type names (their texts live in the
// core's string table).
#define IDS_ZTFILEUPLOAD 1
#define IDS_ZTFILEUPLOAD_PPG 2

// Toolbox bitmap of the control and the module's icon.
#define IDB_ZTFILEUPLOAD 1
#define IDI_ZTFILEUPLOAD 1

// The property page: its dialog and the string id of its caption.
#define IDD_PROPPAGE_ZTFILEUPLOAD 200
#define IDS_ZTFILEUPLOAD_PPG_CAPTION 200

// The file list view: its context menu and the strip of menu images.
#define IDR_LIST_MENU 207
#define IDB_MENU_IMAGES 220
#define ID_LIST_OPEN_FILE 32770
#define ID_LIST_OPEN_FOLDER 32771
#define ID_LIST_DELETE_FILES 32773
#define ID_LIST_ICON_VIEW 32780
#define ID_LIST_SIMPLE_VIEW 32781
#define ID_LIST_DETAIL_VIEW 32782
#define ID_LIST_ATTRIBUTE_VIEW 32783

// The single-transfer status dialog, its panel bitmap and its controls.
#define IDD_UPLOAD_STATUS 102
#define IDB_UPLOAD_PANEL 235
#define IDC_UPLOAD_PROGRESS 1349
#define IDC_UPLOAD_FILE_COUNT 1007
#define IDC_UPLOAD_TRANSFER 1010
#define IDC_UPLOAD_RATE 204
#define IDC_UPLOAD_ELAPSED 203
#define IDC_UPLOAD_ESTIMATE 202
#define IDC_UPLOAD_STOP 1011
#define IDC_UPLOAD_CANCEL 206

// The multi-file status dialog and its controls.
#define IDD_MULTI_UPLOAD 221
#define IDC_MULTI_SERVER 221
#define IDC_MULTI_PORT 208
#define IDC_MULTI_FILE_COUNT 209
#define IDC_MULTI_RATE 210
#define IDC_MULTI_ELAPSED 211
#define IDC_MULTI_ESTIMATE 212
#define IDC_MULTI_OVERALL_TEXT 219
#define IDC_MULTI_OVERALL_BAR 214
#define IDC_MULTI_FILE_TEXT 220
#define IDC_MULTI_FILE_BAR 215
#define IDC_MULTI_LIST 213
#define IDC_MULTI_START 222
#define IDC_MULTI_PAUSE 218
#define IDC_MULTI_CANCEL 217

// The skin of the list view's column header (drawn by tools/art/header_skin.py).
#define IDB_SKIN_BAND 228        // 1 x 16: the band and every item's body
#define IDB_SKIN_LEFT_EDGE 229   // 2 x 16: left edge of the leftmost item
#define IDB_SKIN_RIGHT_EDGE 230  // 2 x 16: right edge of every item

// The question after a download: open the copy or save it.
#define IDD_DOWNLOAD_CONFIRM 236
#define IDC_CONFIRM_SAVE 32784
#define IDC_CONFIRM_OPEN 32785
#define IDC_CONFIRM_TEXT 32786
#define IDS_DOWNLOAD_CONFIRM 32787
#define IDC_CONFIRM_ENTRY 32800

// The window of a long download: file name, amount, rate, bar and Cancel.
#define IDD_DOWNLOAD_PROGRESS 237
#define IDC_FETCH_NAME 1401
#define IDC_FETCH_AMOUNT 1402
#define IDC_FETCH_RATE 1403
#define IDC_FETCH_BAR 1404
#define IDC_FETCH_CANCEL 1405
