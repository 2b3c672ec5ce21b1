// A property page made from a dialog resource (IPropertyPage), for the
// property frame a container or the control's "Properties" verb shows.
// The page exchanges no values by itself: it shows its dialog, reports
// itself never dirty and applies nothing.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com_ptr.h"

namespace zt::ole {

struct PropertyPageInfo {
  HINSTANCE instance = nullptr;  // holds the dialog template
  UINT dialog_id = 0;
  std::wstring title;
  std::wstring doc_string;
  std::wstring help_file;
  DWORD help_context = 0;
};

class PropertyPageImpl : public IPropertyPage {
 public:
  using Interface = IPropertyPage;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT cmd) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override { return S_FALSE; }
  STDMETHODIMP Apply() override { return S_OK; }
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }  // the frame uses the help file
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;

  HWND PageWindow() const { return dialog_; }

 protected:
  PropertyPageImpl() = default;
  virtual ~PropertyPageImpl();
  virtual PropertyPageInfo PageInfo() const = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp);
  HWND CreatePageDialog(HWND parent);

  com::ComPtr<IPropertyPageSite> site_;
  std::vector<com::ComPtr<IUnknown>> objects_;
  HWND dialog_ = nullptr;
};

}  // namespace zt::ole
