// OleControl and the page it is on: IObjectWithSite, the page's URL from
// whichever site a container or a script engine gave, and the judgement of
// the site lock as each site becomes known.
#include <windows.h>
#include "platform/boundary.h"
#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

#include "platform/ole_control.h"

namespace zt::ole {

namespace {

std::wstring TakeText(BSTR text) {
  std::wstring out = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return out;
}

// The container's moniker names the page; else its HTML document does.
std::wstring UrlOfClientSite(IOleClientSite* site) {
  com::ComPtr<IMoniker> moniker;
  if (SUCCEEDED(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.Put())) && moniker) {
    com::ComPtr<IBindCtx> bind;
    LPOLESTR name = nullptr;
    if (SUCCEEDED(CreateBindCtx(0, bind.Put())) && SUCCEEDED(moniker->GetDisplayName(bind.Get(), nullptr, &name)) &&
        name) {
      std::wstring url(name);
      CoTaskMemFree(name);
      if (!url.empty()) return url;
    }
  }
  com::ComPtr<IOleContainer> container;
  if (SUCCEEDED(site->GetContainer(container.Put())) && container) {
    if (auto document = container.As<IHTMLDocument2>(IID_IHTMLDocument2)) {
      BSTR url = nullptr;
      if (SUCCEEDED(document->get_URL(&url))) return TakeText(url);
    }
  }
  return {};
}

// A site's services: the browser the page is in, else the document behind
// the container's dispatch (what a script engine's host offers).
std::wstring UrlOfServices(IUnknown* site) {
  com::ComPtr<IServiceProvider> services;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, services.PutVoid())) || !services) return {};
  com::ComPtr<IWebBrowser2> browser;
  if (SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.PutVoid())) && browser) {
    BSTR url = nullptr;
    if (SUCCEEDED(browser->get_LocationURL(&url))) {
      std::wstring text = TakeText(url);
      if (!text.empty()) return text;
    }
  }
  com::ComPtr<IDispatch> dispatch;
  if (SUCCEEDED(services->QueryService(SID_SContainerDispatch, IID_IDispatch, dispatch.PutVoid())) && dispatch) {
    if (auto document = dispatch.As<IHTMLDocument2>(IID_IHTMLDocument2)) {
      BSTR url = nullptr;
      if (SUCCEEDED(document->get_URL(&url))) return TakeText(url);
    }
  }
  return {};
}

}  // namespace

STDMETHODIMP OleControl::SetSite(IUnknown* site) {
  return win::ComBoundary([&]() -> HRESULT {
    object_site_ = com::ComPtr<IUnknown>(site);
    if (site) JudgeSite();
    return S_OK;
  });
}

STDMETHODIMP OleControl::GetSite(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!object_site_) return E_FAIL;
  return object_site_->QueryInterface(iid, out);
}

std::wstring OleControl::ContainerPageUrl() const {
  if (client_site_) {
    std::wstring url = UrlOfClientSite(client_site_.Get());
    if (url.empty()) url = UrlOfServices(client_site_.Get());
    if (!url.empty()) return url;
  }
  if (object_site_) {
    if (auto client = object_site_.As<IOleClientSite>(IID_IOleClientSite)) {
      std::wstring url = UrlOfClientSite(client.Get());
      if (!url.empty()) return url;
    }
    return UrlOfServices(object_site_.Get());
  }
  return {};
}

bool OleControl::JudgeSite() {
  if (!refused_) {
    judged_ = true;
    refused_ = !SafeInContainer();
  }
  return !refused_;
}

bool OleControl::PageRefused() {
  if (!judged_) JudgeSite();
  return refused_;
}

}  // namespace zt::ole
