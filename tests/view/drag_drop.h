#pragma once
// Dragging onto a window as a person drags files from Explorer: the cursor
// over the window and OLE's own drag loop, with a data object of the test's
// own that holds a file list (CF_HDROP) or only text.
#include <windows.h>
#include <oleidl.h>

#include <string>
#include <vector>

#include "platform/com_ptr.h"

namespace zt::test {

// A data object holding paths as a file list.
com::ComPtr<IDataObject> FileListData(const std::vector<std::wstring>& paths);
// A data object holding text and no file list.
com::ComPtr<IDataObject> TextOnlyData(const std::wstring& text);

// Drags data from the middle of window and drops it there after a few
// hundred milliseconds; allowed are the effects the source permits. The
// effect the drop ended with (DROPEFFECT_NONE when the target refused it).
DWORD DropOn(HWND window, IDataObject* data, DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE);

}  // namespace zt::test
