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

// The skin of the list view's column header (drawn by tools/art/header_skin.py).
#define IDB_SKIN_BAND 228        // 1 x 16: the band and every item's body
#define IDB_SKIN_LEFT_EDGE 229   // 2 x 16: left edge of the leftmost item
#define IDB_SKIN_RIGHT_EDGE 230  // 2 x 16: right edge of every item
