#include "platform/win32/Win32WebBrowser.h"

#include <string_view>

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

#include "browser/PageLoad.h"

#include "platform/win32/Win32Text.h"

namespace poremisu {

namespace {

std::string TextOf(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    BSTR text = nullptr;
    if (v->vt == VT_BSTR) {
        text = v->bstrVal;
    } else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) {
        text = *v->pbstrVal;
    }
    if (!text) return {};
    return BytesFrom(std::wstring_view(text, SysStringLen(text)));
}

}  // namespace

bool DispatchBrowserEvent(DISPID id, const DISPPARAMS* params, BrowserEvents& events) {
    switch (id) {
    case DISPID_DOWNLOADBEGIN: events.OnDownloadBegin(); return true;
    case DISPID_DOCUMENTCOMPLETE: events.OnDocumentComplete(); return true;
    case DISPID_STATUSTEXTCHANGE:
        events.OnStatusTextChange(
            params && params->cArgs >= 1 && params->rgvarg ? TextOf(params->rgvarg[0]) : std::string(),
            StatusOrigin::Control);
        return true;
    default:
        // BeforeNavigate2, NavigateComplete2, UpdatePageStatus, TitleChange,
        // NavigateError and the rest: taken and left alone.
        return false;
    }
}

// The container side of in-place hosting: client site, in-place site and
// frame in one object, all answering for the one parent window.
class Win32WebBrowser::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    Site(HWND parent, const RECT& rect) : m_parent(parent), m_rect(rect) {}

    void SetInPlaceObject(IOleInPlaceObject* inPlace) { m_inPlace = inPlace; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, shared by the in-place site and the frame
    STDMETHODIMP GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = m_parent;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (frame) {
            *frame = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
        }
        if (document) *document = nullptr;
        if (position) *position = m_rect;
        if (clip) *clip = m_rect;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = m_parent;
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
    // The control's Left, Top, Width and Height arrive here: the container
    // moves the control.
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        m_rect = *rect;
        if (m_inPlace) m_inPlace->SetObjectRects(&m_rect, &m_rect);
        return S_OK;
    }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame: the window's own menu bar is never merged.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~Site() = default;

    ULONG m_refs = 1;
    HWND m_parent;
    RECT m_rect;
    IOleInPlaceObject* m_inPlace = nullptr;  // not owned
};

// The control's DWebBrowserEvents2 connection: events arrive as Invoke calls
// by dispatch id.
class Win32WebBrowser::EventSink final : public IDispatch {
public:
    EventSink(BrowserEvents& events, HWND parent) : m_events(&events), m_parent(parent) {}

    void Detach() { m_events = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG refs = --m_refs;
        if (refs == 0) delete this;
        return refs;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!m_events) return S_OK;
        // The program's own page raises nothing up to its completion.
        if ((id == DISPID_DOWNLOADBEGIN || id == DISPID_DOCUMENTCOMPLETE) &&
            !m_ownPage.Passes(id == DISPID_DOCUMENTCOMPLETE ? ControlEvent::Completion : ControlEvent::Start)) {
            return S_OK;
        }
        // Nothing may escape into the control.
        try {
            if (id == DISPID_NEWWINDOW2) {
                // The address the page asked for comes with NewWindow3, which
                // the control raises right after, where it has it; the posted
                // message settles a request that came without.
                m_popUpPending = true;
                PostMessageA(m_parent, kPopUpMessage, 0, 0);
            } else if (id == DISPID_NEWWINDOW3) {
                m_popUpPending = false;
                // Its out-parameters stay as they came: the control still
                // opens its own window, which the sweep closes later.
                m_events->OnNewWindow2(params && params->cArgs >= 5 && params->rgvarg ? TextOf(params->rgvarg[0])
                                                                                      : std::string());
            } else {
                DispatchBrowserEvent(id, params, *m_events);
            }
        } catch (...) {
        }
        return S_OK;
    }

    void SettlePopUp() {
        if (!m_events || !m_popUpPending) return;
        m_popUpPending = false;
        m_events->OnNewWindow2(std::string());
    }

    OwnPageSilence& OwnPage() { return m_ownPage; }

private:
    ~EventSink() = default;

    ULONG m_refs = 1;
    OwnPageSilence m_ownPage;
    bool m_popUpPending = false;
    BrowserEvents* m_events;
    HWND m_parent;
};

Win32WebBrowser::~Win32WebBrowser() { Destroy(); }

bool Win32WebBrowser::Create(HWND parent, const RECT& rect, int controlId, BrowserEvents& events) {
    Destroy();
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&m_object))) ||
        !m_object) {
        m_object = nullptr;
        return false;
    }
    m_site = new Site(parent, rect);
    IOleClientSite* site = static_cast<IOleClientSite*>(m_site);
    RECT position = rect;
    bool ok = SUCCEEDED(m_object->SetClientSite(site)) &&
              SUCCEEDED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &position)) &&
              SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&m_inPlace))) &&
              SUCCEEDED(m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_dispatch)));
    if (!ok || !m_inPlace || !m_dispatch) {
        Destroy();
        return false;
    }
    m_site->SetInPlaceObject(m_inPlace);
    if (FAILED(m_object->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&m_active)))) {
        m_active = nullptr;
    }
    if (SUCCEEDED(m_inPlace->GetWindow(&m_window)) && m_window) {
        SetWindowLongPtrA(m_window, GWLP_ID, controlId);
    } else {
        m_window = nullptr;
    }

    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
        container) {
        if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_connection))) m_connection = nullptr;
        container->Release();
    }
    if (m_connection) {
        m_sink = new EventSink(events, parent);
        if (FAILED(m_connection->Advise(m_sink, &m_cookie))) {
            m_connection->Release();
            m_connection = nullptr;
        }
    }
    return true;
}

void Win32WebBrowser::SettlePopUp() {
    if (m_sink) m_sink->SettlePopUp();
}

void Win32WebBrowser::Destroy() {
    if (m_connection) {
        m_connection->Unadvise(m_cookie);
        m_connection->Release();
        m_connection = nullptr;
    }
    if (m_sink) {
        m_sink->Detach();
        m_sink->Release();
        m_sink = nullptr;
    }
    if (m_site) m_site->SetInPlaceObject(nullptr);
    if (m_active) {
        m_active->Release();
        m_active = nullptr;
    }
    if (m_dispatch) {
        m_dispatch->Release();
        m_dispatch = nullptr;
    }
    if (m_inPlace) {
        m_inPlace->InPlaceDeactivate();
        m_inPlace->Release();
        m_inPlace = nullptr;
    }
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object->Release();
        m_object = nullptr;
    }
    if (m_site) {
        static_cast<IOleClientSite*>(m_site)->Release();
        m_site = nullptr;
    }
    m_window = nullptr;
}

bool Win32WebBrowser::PreTranslateMessage(MSG& message) {
    if (!m_active || message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    return m_active->TranslateAccelerator(&message) == S_OK;
}

void Win32WebBrowser::CallMethod(DISPID id) {
    if (!m_dispatch) return;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

void Win32WebBrowser::PutProperty(DISPID id, VARIANT& value) {
    if (!m_dispatch) return;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                       nullptr);
}

void Win32WebBrowser::PutInt(DISPID id, std::int32_t value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    PutProperty(id, v);
}

void Win32WebBrowser::PutBool(DISPID id, bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    PutProperty(id, v);
}

std::string Win32WebBrowser::GetString(DISPID id) {
    if (!m_dispatch) return {};
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    std::string text;
    if (SUCCEEDED(m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                     nullptr, nullptr))) {
        text = TextOf(result);
    }
    VariantClear(&result);
    return text;
}

void Win32WebBrowser::GoBack() { Go(dispid::kGoBack); }
void Win32WebBrowser::GoForward() { Go(dispid::kGoForward); }
void Win32WebBrowser::GoSearch() { Go(dispid::kGoSearch); }
void Win32WebBrowser::Refresh() { Go(DISPID_REFRESH); }

void Win32WebBrowser::Go(DISPID id) {
    // A page of the program's own that never completed holds back no other.
    if (m_sink) m_sink->OwnPage().End();
    CallMethod(id);
}
void Win32WebBrowser::Quit() { CallMethod(dispid::kQuit); }

void Win32WebBrowser::ShowPage(const std::string& html) {
    if (!m_dispatch) return;
    // The control shows the text of an "about:" address as a page. The two
    // bytes it would read as escape or fragment go escaped.
    std::string address = "about:";
    for (char c : html) {
        if (c == '%') address += "%25";
        else if (c == '#') address += "%23";
        else address += c;
    }
    Navigate2(address);
    if (m_sink) m_sink->OwnPage().Begin();
}

void Win32WebBrowser::Navigate2(const std::string& address) {
    if (!m_dispatch) return;
    if (m_sink) m_sink->OwnPage().End();
    std::wstring wide = WideFrom(address);
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!url.bstrVal) return;
    // The address by reference, as the method takes it; flags, target
    // frame, post data and headers are left out.
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = &url;
    DISPPARAMS params = {&byRef, nullptr, 1, 0};
    m_dispatch->Invoke(dispid::kNavigate2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                       nullptr, nullptr);
    VariantClear(&url);
}

void Win32WebBrowser::SetLeft(std::int32_t value) { PutInt(dispid::kLeft, value); }
void Win32WebBrowser::SetTop(std::int32_t value) { PutInt(dispid::kTop, value); }
void Win32WebBrowser::SetWidth(std::int32_t value) { PutInt(dispid::kWidth, value); }
void Win32WebBrowser::SetHeight(std::int32_t value) { PutInt(dispid::kHeight, value); }

std::string Win32WebBrowser::GetLocationName() { return GetString(dispid::kLocationName); }
std::string Win32WebBrowser::GetLocationURL() { return GetString(dispid::kLocationURL); }
std::string Win32WebBrowser::GetPath() { return GetString(dispid::kPath); }

void Win32WebBrowser::SetStatusBar(bool value) { PutBool(dispid::kStatusBar, value); }
void Win32WebBrowser::SetResizable(bool value) { PutBool(dispid::kResizable, value); }

}  // namespace poremisu
