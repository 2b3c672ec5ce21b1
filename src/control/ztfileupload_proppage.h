#pragma once
// CZTFileUploadPropPage: the control's one property page, "일반" (General),
// made from dialog 200. It exchanges no property values.
#include <string>

#include "platform/com_object.h"
#include "platform/module_state.h"
#include "platform/ole_property_page.h"
#include "resources/resource.h"
#include "text/string_table.h"

namespace zt {

class CZTFileUploadPropPage final : public com::ComObject<ole::PropertyPageImpl> {
protected:
  ole::PropertyPageInfo PageInfo() const override {
    std::u16string_view title = LoadText(IDS_ZTFILEUPLOAD_PPG_CAPTION);
    ole::PropertyPageInfo info;
    info.instance = com::ModuleInstance();
    info.dialog_id = IDD_PROPPAGE_ZTFILEUPLOAD;
    info.title.assign(title.begin(), title.end());
    info.doc_string = L"Names to appear in the control";
    info.help_file = L"ZTFILEUPLOAD.HLP";
    info.help_context = 0;
    return info;
  }
};

}  // namespace zt
