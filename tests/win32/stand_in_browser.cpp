// A stand-in for the system's web-browser control, for the end-to-end tests
// under a Wine that has no HTML engine. An in-process COM server: the tests
// register it per user under the control's class id (and, where COM reads the
// machine's classes only, as Wine's does, there for the run), and poremisu.exe
// hosts it as it would the real one, driving it through IDispatch only.
//
// It "loads" local paths by reading the file (or seeing a folder) and raises,
// later, from its own posted messages, as the real control does, those of the
// DWebBrowserEvents2 that the program takes, in the real control's order:
//   DownloadBegin, DocumentComplete,
// then what the page asks for after loading, by markers in its text:
//   <meta name="test-status" content="TEXT">  StatusTextChange(TEXT), as a
//                                             link under the pointer would
//   <meta name="test-popup" content="ADDR">   NewWindow2, then NewWindow3 with
//                                             ADDR; not cancelled, it opens
//                                             "ADDR - Internet Explorer"
//   <meta name="test-popup-unnamed" ...>      the same without NewWindow3, as
//                                             a control that has none
// Web and about: addresses complete as empty pages named by their address; a
// missing file never completes. Texts travel as BSTRs; a page's bytes are
// read as UTF-8. Each event has the real one's arguments but DocumentComplete,
// which comes without the two (the control and the address) that the program
// does not read. It keeps no travel log: Back and Forward have nowhere to go,
// and the search page is none the tests load.
//
// What the tests look for is appended, in UTF-8, to browser-events.txt beside
// the host program: each address handed to Navigate2 and each key offered to
// the control, as
//     NAME <TAB> ARGUMENT

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Text.h"
#include "win32_test_support.h"

// The members that need no more than an answer, a few to a line.
#define NOT_IMPLEMENTED(name, ...) STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }
#define NO_OP(name, ...) STDMETHODIMP name(__VA_ARGS__) override { return S_OK; }

namespace {

// The automation interface's dispatch ids that a host may use. The SDK's
// exdispid.h holds only the event ids.
enum : DISPID {
    kGoBack = 100, kGoForward = 101, kGoSearch = 103, kQuit = 300, kNavigate2 = 500,
    kLeft = 206, kTop = 207, kWidth = 208, kHeight = 209,
    kLocationName = 210, kLocationURL = 211, kPath = 401, kStatusBar = 403, kResizable = 556,
};

const UINT kStepMessage = WM_APP + 1;
HMODULE g_module = nullptr;

void Trace(const std::string& name, const std::string& argument) {
    const std::filesystem::path trace = ModuleFolder(nullptr) + L"browser-events.txt";
    std::ofstream(trace, std::ios::app | std::ios::binary) << name << "\t" << argument << "\n";
}

// What a load found: the address as the control reports it (none: not found), the page name and its text.
struct Page { std::wstring url, name, html; };

// The content of the page's <meta name="NAME" content="...">, or nothing.
std::wstring Marker(const std::wstring& html, const std::wstring& name) {
    const std::wstring tag = L"<meta name=\"" + name + L"\" content=\"";
    std::size_t at = html.find(tag);
    if (at == std::wstring::npos) return L"";
    at += tag.size();
    return html.substr(at, html.find(L'"', at) - at);
}

Page Load(const std::wstring& address) {
    if (address.size() < 3 || address[1] != L':') return {address, address, L""};
    Page page;
    // The path made full, and its address, as the control writes them back.
    wchar_t path[MAX_PATH] = {}, url[2084] = {};
    DWORD urlSize = 2084;  // the longest address the control takes
    if (!GetFullPathNameW(address.c_str(), MAX_PATH, path, nullptr)) return page;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || FAILED(UrlCreateFromPathW(path, url, &urlSize, 0))) return page;
    page.url = url;
    page.name = path;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return page;  // the folder view: nothing to read

    page.html = poremisu::WideFrom(ReadAll(path), CP_UTF8);
    const std::size_t open = page.html.find(L"<title>"), close = page.html.find(L"</title>", open);
    if (close != std::wstring::npos) page.name = page.html.substr(open + 7, close - open - 7);
    return page;
}

// An event's argument or a property's value: one pointer (a string, an object, a reference).
VARIANT Var(VARTYPE type, void* pointer) {
    VARIANT v = {};
    v.vt = type;
    v.byref = pointer;
    return v;
}

// The control, its in-place object and its one connection point (DWebBrowserEvents2) in one object.
// IOleObject's Unadvise, which no host of a control in its window calls, shares the connection
// point's.
class Control final : public IDispatch, public IOleObject, public IOleInPlaceObject, public IOleInPlaceActiveObject,
                      public IConnectionPointContainer, public IConnectionPoint {
public:
    Control() {
        m_stepper = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_module, nullptr);
        SetWindowLongPtrW(m_stepper, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(m_stepper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::StepProc));
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        IDispatch* automation = this;
        const std::pair<const IID*, void*> answers[] = {
            {&IID_IUnknown, automation}, {&IID_IDispatch, automation}, {&IID_IWebBrowser2, automation},
            {&IID_IOleObject, static_cast<IOleObject*>(this)},
            {&IID_IOleInPlaceObject, static_cast<IOleInPlaceObject*>(this)},
            {&IID_IOleInPlaceActiveObject, static_cast<IOleInPlaceActiveObject*>(this)},
            {&IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)}};
        *out = nullptr;
        for (const auto& [known, answer] : answers) {
            if (*known == iid) *out = answer;
        }
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return refs;
    }

    // IDispatch: the web-browser automation interface, by dispatch id only.
    NOT_IMPLEMENTED(GetTypeInfoCount, UINT*) NOT_IMPLEMENTED(GetTypeInfo, UINT, LCID, ITypeInfo**)
    NOT_IMPLEMENTED(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    // IOleObject: what in-place hosting needs.
    NO_OP(SetClientSite, IOleClientSite*) NO_OP(SetHostNames, LPCOLESTR, LPCOLESTR) NO_OP(Close, DWORD)
    NO_OP(Update) NO_OP(IsUpToDate) NO_OP(SetExtent, DWORD, SIZEL*)
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
    NOT_IMPLEMENTED(GetClientSite, IOleClientSite**) NOT_IMPLEMENTED(SetMoniker, DWORD, IMoniker*)
    NOT_IMPLEMENTED(GetMoniker, DWORD, DWORD, IMoniker**) NOT_IMPLEMENTED(InitFromData, IDataObject*, BOOL, DWORD)
    NOT_IMPLEMENTED(GetClipboardData, DWORD, IDataObject**) NOT_IMPLEMENTED(EnumVerbs, IEnumOLEVERB**)
    NOT_IMPLEMENTED(GetUserClassID, CLSID*) NOT_IMPLEMENTED(GetUserType, DWORD, LPOLESTR*)
    NOT_IMPLEMENTED(GetExtent, DWORD, SIZEL*) NOT_IMPLEMENTED(Advise, IAdviseSink*, DWORD*)
    NOT_IMPLEMENTED(EnumAdvise, IEnumSTATDATA**) NOT_IMPLEMENTED(GetMiscStatus, DWORD, DWORD*)
    NOT_IMPLEMENTED(SetColorScheme, LOGPALETTE*) NOT_IMPLEMENTED(ContextSensitiveHelp, BOOL)

    // IOleWindow, IOleInPlaceObject. Its window goes with the control, its host's window with the host.
    STDMETHODIMP GetWindow(HWND* window) override { return (*window = m_window) ? S_OK : E_FAIL; }
    NOT_IMPLEMENTED(ReactivateAndUndo) NO_OP(InPlaceDeactivate) NO_OP(UIDeactivate)
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT) override {
        m_rect = *position;
        if (m_window) MoveWindow(m_window, m_rect.left, m_rect.top, Width(), Height(), TRUE);
        return S_OK;
    }

    // IOleInPlaceActiveObject: the host hands it each key of the page's window
    // first; it takes F5, as the real control does, and leaves the rest.
    STDMETHODIMP TranslateAccelerator(LPMSG message) override {
        if (!message || message->message != WM_KEYDOWN) return S_FALSE;
        Trace("TranslateAccelerator", std::to_string(message->wParam));
        return message->wParam == VK_F5 ? S_OK : S_FALSE;
    }
    NO_OP(OnFrameWindowActivate, BOOL) NO_OP(OnDocWindowActivate, BOOL) NO_OP(EnableModeless, BOOL)
    NO_OP(ResizeBorder, LPCRECT, IOleInPlaceUIWindow*, BOOL)

    // IConnectionPointContainer and IConnectionPoint: DWebBrowserEvents2 only.
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        *point = iid == DIID_DWebBrowserEvents2 ? static_cast<IConnectionPoint*>(this) : nullptr;
        if (!*point) return CONNECT_E_NOCONNECTION;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (FAILED(sink->QueryInterface(IID_PPV_ARGS(&m_sink)))) return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        return S_OK;
    }
    // The one sink the host connects stays to the end, Unadvise or not: it gives it up with the control.
    NOT_IMPLEMENTED(EnumConnectionPoints, IEnumConnectionPoints**) NOT_IMPLEMENTED(GetConnectionInterface, IID*)
    NOT_IMPLEMENTED(GetConnectionPointContainer, IConnectionPointContainer**)
    NOT_IMPLEMENTED(EnumConnections, IEnumConnections**) NO_OP(Unadvise, DWORD)

    // Raises the next event of the navigation under way.
    static LRESULT CALLBACK StepProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* control = reinterpret_cast<Control*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != kStepMessage || control->m_steps.empty()) return DefWindowProcW(window, message, wParam, lParam);
        control->AddRef();
        std::function<void()> step = std::move(control->m_steps.front());
        control->m_steps.erase(control->m_steps.begin());
        step();
        // A handler may have started another navigation meanwhile: its steps are next, and come sooner.
        if (!control->m_steps.empty()) PostMessageW(window, kStepMessage, 0, 0);
        control->Release();
        return 0;
    }

private:
    ~Control() {
        if (m_sink) m_sink->Release();
        if (m_stepper) DestroyWindow(m_stepper);
        if (m_window) DestroyWindow(m_window);
        if (m_inPlaceSite) m_inPlaceSite->Release();
    }

    LONG Width() const { return m_rect.right - m_rect.left; }
    LONG Height() const { return m_rect.bottom - m_rect.top; }
    HRESULT Navigate(const std::wstring& address);
    void Fire(DISPID id, std::vector<VARIANT> args);

    LONG m_refs = 1;
    IOleInPlaceSite* m_inPlaceSite = nullptr;
    IDispatch* m_sink = nullptr;
    HWND m_window = nullptr;   // the page's window, a child of the host's
    HWND m_stepper = nullptr;  // a message-only window for the later steps
    RECT m_rect = {};

    std::wstring m_locationURL, m_locationName;
    std::vector<std::function<void()>> m_steps;  // the events still to come of the navigation under way
};

STDMETHODIMP Control::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT rect) {
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE) return E_NOTIMPL;
    if (!site || FAILED(site->QueryInterface(IID_PPV_ARGS(&m_inPlaceSite)))) return E_UNEXPECTED;
    // As the real control does, it asks the site for its frame and its window; the page's is a child of that.
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position = {}, clip = {};
    OLEINPLACEFRAMEINFO info = {sizeof info, FALSE, nullptr, nullptr, 0};
    HWND host = nullptr;
    if (m_inPlaceSite->CanInPlaceActivate() != S_OK ||
        FAILED(m_inPlaceSite->GetWindowContext(&frame, &document, &position, &clip, &info)) ||
        FAILED(m_inPlaceSite->GetWindow(&host))) {
        return E_FAIL;
    }
    if (frame) frame->Release();
    if (document) document->Release();
    m_rect = rect ? *rect : position;
    m_window = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, m_rect.left, m_rect.top,
                               Width(), Height(), host, nullptr, g_module, nullptr);
    return m_window ? S_OK : E_FAIL;
}

// Raises one event on the sink, the arguments in DISPPARAMS order (last first).
void Control::Fire(DISPID id, std::vector<VARIANT> args) {
    DISPPARAMS params = {args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (!m_sink) return;
    m_sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

HRESULT Control::Navigate(const std::wstring& address) {
    // The events come one per posted message, so that the host's handlers run
    // between them and may start another navigation, which drops what is left
    // of this one.
    const Page page = Load(address);
    m_steps.assign({[this] { Fire(DISPID_DOWNLOADBEGIN, {}); }});
    if (!page.url.empty()) m_steps.push_back([this, page] {
        m_locationURL = page.url;
        m_locationName = page.name;
        Fire(DISPID_DOCUMENTCOMPLETE, {});
    });
    // After loading: the page's status text, then its pop-up request (a missing page has neither).
    const std::wstring status = Marker(page.html, L"test-status"), asked = Marker(page.html, L"test-popup");
    const std::wstring popup = asked.empty() ? Marker(page.html, L"test-popup-unnamed") : asked;
    if (!status.empty()) m_steps.push_back([this, text = status] {
        VARIANT value = Var(VT_BSTR, SysAllocString(text.c_str()));
        Fire(DISPID_STATUSTEXTCHANGE, {value});
        VariantClear(&value);
    });
    if (!popup.empty()) m_steps.push_back([this, popup, named = !asked.empty()] {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* created = nullptr;
        Fire(DISPID_NEWWINDOW2, {Var(VT_BYREF | VT_BOOL, &cancel), Var(VT_BYREF | VT_DISPATCH, &created)});
        if (named && !created && cancel == VARIANT_FALSE) {
            // The arguments last first: the address, its page's, the flags (none), Cancel, the window.
            VARIANT url = Var(VT_BSTR, SysAllocString(popup.c_str()));
            VARIANT context = Var(VT_BSTR, SysAllocString(m_locationURL.c_str())), flags = {};
            flags.vt = VT_I4;
            Fire(DISPID_NEWWINDOW3, {url, context, flags, Var(VT_BYREF | VT_BOOL, &cancel),
                                     Var(VT_BYREF | VT_DISPATCH, &created)});
            VariantClear(&url);
            VariantClear(&context);
        }
        // Not cancelled and no window given: a browser window of its own.
        if (created) {
            created->Release();
        } else if (cancel == VARIANT_FALSE) {
            CreateWindowExW(0, L"Static", (popup + L" - Internet Explorer").c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            60, 60, 320, 200, nullptr, nullptr, g_module, nullptr);
        }
    });
    PostMessageW(m_stepper, kStepMessage, 0, 0);
    return S_OK;
}

STDMETHODIMP Control::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                             UINT*) {
    // Each member is called one way: the properties the host reads, those it sets, and the methods.
    const bool get = id == kLocationName || id == kLocationURL || id == kPath;
    const bool put = id == kLeft || id == kTop || id == kWidth || id == kHeight || id == kStatusBar || id == kResizable;
    if (!(flags & (get ? DISPATCH_PROPERTYGET : put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD))) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // A property put names its value DISPID_PROPERTYPUT, as the automation rules say; nothing else names any.
    if (params->cNamedArgs != (put ? 1u : 0u) || (put && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) {
        return DISP_E_PARAMNOTFOUND;
    }
    // A put takes its value, Navigate2 up to five with the address first, the rest nothing.
    if (params->cArgs < (put || id == kNavigate2 ? 1u : 0u) || params->cArgs > (id == kNavigate2 ? 5u : put)) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (get) {
        const std::wstring text = id == kPath ? ModuleFolder(g_module) : id == kLocationURL ? m_locationURL
                                                                                                : m_locationName;
        if (result) *result = Var(VT_BSTR, SysAllocString(text.c_str()));
        return S_OK;
    }
    // The argument, maybe by reference: Navigate2's address, or a put's number or flag.
    VARIANT value;
    VariantInit(&value);
    VARIANT* from = params->cArgs ? &params->rgvarg[params->cArgs - 1] : nullptr;
    if (from && from->vt == (VT_BYREF | VT_VARIANT)) from = from->pvarVal;
    if (params->cArgs && (!from || FAILED(VariantChangeType(&value, from, 0, id == kNavigate2 ? VT_BSTR : VT_I4)))) {
        return DISP_E_TYPEMISMATCH;
    }
    RECT rect = m_rect;
    switch (id) {
    case kNavigate2: {
        const std::wstring address(value.bstrVal, SysStringLen(value.bstrVal));
        VariantClear(&value);
        Trace("Navigate2", poremisu::BytesFrom(address, CP_UTF8));
        return Navigate(address);
    }
    // The control does not move itself: it asks its site to move it.
    case kLeft: OffsetRect(&rect, value.lVal - rect.left, 0); break;
    case kTop: OffsetRect(&rect, 0, value.lVal - rect.top); break;
    case kWidth: rect.right = rect.left + value.lVal; break;
    case kHeight: rect.bottom = rect.top + value.lVal; break;
    // Back, Forward and the search (nowhere to go), Quit (a control in a window of its host does not quit),
    // StatusBar, Resizable.
    case kGoBack: case kGoForward: case kGoSearch: case kQuit: case kStatusBar: case kResizable: return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    if (m_inPlaceSite) m_inPlaceSite->OnPosRectChange(&rect);
    return S_OK;
}

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Control* control = new Control;
        HRESULT hr = control->QueryInterface(iid, out);
        static_cast<IDispatch*>(control)->Release();
        return hr;
    }
    NO_OP(LockServer, BOOL)
};

Factory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    if (clsid != CLSID_WebBrowser) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

// Stays for the life of the process: the procedures of its windows live here.
extern "C" HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
