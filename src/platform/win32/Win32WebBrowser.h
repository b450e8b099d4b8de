#pragma once

#include "platform/win32/Win32Api.h"

#include <cstdint>
#include <string>

#include "browser/CWebBrowser2.h"

namespace poremisu {

// Dispatch ids of the control's automation methods and properties. The SDK's
// exdispid.h holds only the event ids, so these are written out here.
namespace dispid {
inline constexpr DISPID kGoBack = 100;
inline constexpr DISPID kGoForward = 101;
inline constexpr DISPID kGoSearch = 103;
inline constexpr DISPID kQuit = 300;
inline constexpr DISPID kNavigate2 = 500;
inline constexpr DISPID kLeft = 206;
inline constexpr DISPID kTop = 207;
inline constexpr DISPID kWidth = 208;
inline constexpr DISPID kHeight = 209;
inline constexpr DISPID kLocationName = 210;
inline constexpr DISPID kLocationURL = 211;
inline constexpr DISPID kPath = 401;
inline constexpr DISPID kStatusBar = 403;
inline constexpr DISPID kResizable = 556;
}  // namespace dispid

// Routes one event of the control, by its dispatch id, to the sink. Returns
// false for ids the program does not take. A pop-up request is not among
// them: the event sink holds it for its address (see SettlePopUp).
bool DispatchBrowserEvent(DISPID id, const DISPPARAMS* params, BrowserEvents& events);

// The system's web-browser control, hosted in place in a window of the
// program. Every operation is one IDispatch::Invoke by dispatch id. When the
// control cannot be created, every operation does nothing, the properties
// read as empty texts and no event ever arrives.
class Win32WebBrowser : public CWebBrowser2 {
public:
    Win32WebBrowser() = default;
    ~Win32WebBrowser() override;
    Win32WebBrowser(const Win32WebBrowser&) = delete;
    Win32WebBrowser& operator=(const Win32WebBrowser&) = delete;

    // Creates the control in `parent` at `rect` (client pixels), gives its
    // window the control id, and connects `events`. False when it cannot.
    bool Create(HWND parent, const RECT& rect, int controlId, BrowserEvents& events);
    // Disconnects the events and releases the control; safe to repeat.
    void Destroy();
    // The control's own window (0 when there is none).
    HWND Window() const { return m_window; }
    // Gives the control the first look at a keyboard message; true when it used it.
    bool PreTranslateMessage(MSG& message);
    // Posted to the parent window after a pop-up request; its handler calls
    // SettlePopUp.
    static constexpr UINT kPopUpMessage = WM_APP + 2;
    // Raises a pop-up request the control announced without its address
    // (one that has no NewWindow3), as the sink's last word on it.
    void SettlePopUp();

    void GoBack() override;
    void GoForward() override;
    void GoSearch() override;
    void Quit() override;
    void Navigate2(const std::string& address) override;
    void ShowPage(const std::string& html) override;
    void Refresh() override;

    void SetLeft(std::int32_t value) override;
    void SetTop(std::int32_t value) override;
    void SetWidth(std::int32_t value) override;
    void SetHeight(std::int32_t value) override;

    std::string GetLocationName() override;
    std::string GetLocationURL() override;
    std::string GetPath() override;

    void SetStatusBar(bool value) override;
    void SetResizable(bool value) override;

private:
    class Site;
    class EventSink;

    void CallMethod(DISPID id);
    void Go(DISPID id);
    void PutProperty(DISPID id, VARIANT& value);
    void PutInt(DISPID id, std::int32_t value);
    void PutBool(DISPID id, bool value);
    std::string GetString(DISPID id);

    IOleObject* m_object = nullptr;
    IOleInPlaceObject* m_inPlace = nullptr;
    IOleInPlaceActiveObject* m_active = nullptr;
    IDispatch* m_dispatch = nullptr;
    IConnectionPoint* m_connection = nullptr;
    DWORD m_cookie = 0;
    Site* m_site = nullptr;
    EventSink* m_sink = nullptr;
    HWND m_window = nullptr;
};

}  // namespace poremisu
