// IWebBrowser2 in a plain child window: the client site, in-place site and
// frame the control asks its container for, and DWebBrowserEvents2 as a
// hand-written IDispatch. Nothing here lets an exception or a failed HRESULT
// escape: every failure ends in "no browser", and the box lives on without.
#include "platform/gui/win32/embedded_browser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ole2.h>
#include <oleidl.h>

#include <utility>

namespace platform::gui::win32 {

class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame, public IDispatch {
public:
  BrowserSite(HWND host, EmbeddedBrowser::Events events) : host_(host), events_(std::move(events)) {}

  bool attach(bool offline, bool silent);
  void navigate(const std::wstring& address);
  void resize(int width, int height);
  void detach();
  void endNewWindowRequest() { answerPending_ = false; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and the frame)
  STDMETHODIMP GetWindow(HWND* w) override {
    if (!w) return E_POINTER;
    *w = host_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame) {
      *frame = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
    }
    if (doc) *doc = nullptr;
    RECT r{};
    GetClientRect(host_, &r);
    if (pos) *pos = r;
    if (clip) *clip = r;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = GetAncestor(host_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT r) override {
    if (inPlace_ && r) inPlace_->SetObjectRects(r, r);
    return S_OK;
  }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus or tool space of ours.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDispatch: only Invoke matters, for DWebBrowserEvents2.
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
  ~BrowserSite() = default;
  void onStatusText(const DISPPARAMS& params);
  void onNewWindow(VARIANT* cancel);
  bool askNewWindow();

  LONG refs_ = 1;
  HWND host_;
  EmbeddedBrowser::Events events_;
  IOleObject* object_ = nullptr;
  IOleInPlaceObject* inPlace_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  IConnectionPoint* events2_ = nullptr;
  DWORD cookie_ = 0;
  // NewWindow3 follows NewWindow2 for one and the same request where both
  // exist: the routine is asked once and its answer serves both.
  bool answerPending_ = false;
  bool lastAnswer_ = false;
};

namespace {

template <class T> void releaseInto(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// The posted message that ends one new-window request (see answerPending_).
constexpr UINT kEndNewWindowRequest = WM_APP + 0x4E57;

}  // namespace

bool BrowserSite::attach(bool offline, bool silent) {
  HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_));
  if (FAILED(hr) || !object_) return false;
  if (FAILED(object_->SetClientSite(static_cast<IOleClientSite*>(this)))) return false;
  OleSetContainedObject(object_, TRUE);
  RECT r{};
  GetClientRect(host_, &r);
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, host_, &r);
  if (FAILED(hr)) return false;
  object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace_));
  if (FAILED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_))) || !browser_)
    return false;
  browser_->put_Offline(offline ? VARIANT_TRUE : VARIANT_FALSE);
  browser_->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
  browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
  IConnectionPointContainer* points = nullptr;
  if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)))) {
    if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events2_)) && events2_) {
      if (FAILED(events2_->Advise(static_cast<IDispatch*>(this), &cookie_))) releaseInto(events2_);
    }
    points->Release();
  }
  return true;
}

void BrowserSite::navigate(const std::wstring& address) {
  if (!browser_) return;
  BSTR url = SysAllocString(address.c_str());
  VARIANT empty;
  VariantInit(&empty);
  browser_->Navigate(url, &empty, &empty, &empty, &empty);
  SysFreeString(url);
}

void BrowserSite::resize(int width, int height) {
  RECT r{0, 0, width, height};
  if (inPlace_) inPlace_->SetObjectRects(&r, &r);
}

void BrowserSite::detach() {
  if (events2_) {
    events2_->Unadvise(cookie_);
    releaseInto(events2_);
  }
  events_ = {};
  if (browser_) browser_->Stop();
  releaseInto(browser_);
  if (inPlace_) inPlace_->InPlaceDeactivate();
  releaseInto(inPlace_);
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  releaseInto(object_);
}

STDMETHODIMP BrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
  if (!params) return S_OK;
  // Arguments come last first: rgvarg[cArgs - 1] is the first one.
  switch (id) {
    case DISPID_STATUSTEXTCHANGE:
      onStatusText(*params);
      break;
    case DISPID_NEWWINDOW2:  // (ppDisp, Cancel)
      if (params->cArgs >= 2) onNewWindow(&params->rgvarg[params->cArgs - 2]);
      break;
    case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
      if (params->cArgs >= 2) onNewWindow(&params->rgvarg[params->cArgs - 2]);
      break;
    default:
      break;
  }
  return S_OK;
}

void BrowserSite::onStatusText(const DISPPARAMS& params) {
  if (params.cArgs < 1 || !events_.statusText) return;
  const VARIANT& v = params.rgvarg[params.cArgs - 1];
  std::wstring text;
  if (v.vt == VT_BSTR && v.bstrVal) text.assign(v.bstrVal, SysStringLen(v.bstrVal));
  events_.statusText(text);
}

bool BrowserSite::askNewWindow() {
  if (answerPending_) return lastAnswer_;
  lastAnswer_ = events_.newWindow ? events_.newWindow() : true;
  answerPending_ = true;
  PostMessageW(host_, kEndNewWindowRequest, 0, 0);
  return lastAnswer_;
}

void BrowserSite::onNewWindow(VARIANT* cancel) {
  bool allowed = askNewWindow();
  if (cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal) *cancel->pboolVal = allowed ? VARIANT_FALSE : VARIANT_TRUE;
}

// ------------------------------------------------------------ EmbeddedBrowser

EmbeddedBrowser::~EmbeddedBrowser() { destroy(); }

bool EmbeddedBrowser::create(HWND host, bool offline, bool silent, Events events) {
  destroy();
  // In-place activation needs OLE on this thread; S_FALSE (already on) is
  // fine, a thread set up for another apartment model gets no browser.
  if (FAILED(OleInitialize(nullptr))) return false;
  auto* site = new BrowserSite(host, std::move(events));
  if (!site->attach(offline, silent)) {
    site->detach();
    site->Release();
    return false;
  }
  site_ = site;
  return true;
}

void EmbeddedBrowser::navigate(const std::wstring& address) {
  if (site_) site_->navigate(address);
}

void EmbeddedBrowser::resize(int width, int height) {
  if (site_) site_->resize(width, height);
}

void EmbeddedBrowser::destroy() {
  if (!site_) return;
  site_->detach();
  site_->Release();
  site_ = nullptr;
}

bool EmbeddedBrowser::onHostMessage(UINT message) {
  if (message != kEndNewWindowRequest) return false;
  if (site_) site_->endNewWindowRequest();
  return true;
}

}  // namespace platform::gui::win32
