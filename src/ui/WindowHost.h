#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/MessageBox.h"
#include "app/Placement.h"

namespace poremisu {

// The toolkit window itself: its title, icon, show states, placement and end.
class WindowFrame {
public:
    virtual ~WindowFrame() = default;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetIcon() = 0;
    virtual void Show(ShowCommand command) = 0;
    virtual bool IsMaximized() = 0;
    // The window over the whole screen, without its frame, or back.
    virtual void SetFullScreen(bool fullScreen) = 0;
    virtual bool GetPlacement(WindowPlacement& placement) = 0;
    virtual void SetPlacement(const WindowPlacement& placement) = 0;
    // The screens' areas in the placement's coordinates.
    virtual std::vector<PixelRect> ScreenAreas() = 0;
    // The outer size the window has from its template.
    virtual PixelRect TemplateSize() = 0;
    // A close request as the close box sends it, handled before returning.
    virtual void SendClose() = 0;
    // Ends the main window's run.
    virtual void EndWindow() = 0;
    // Lays the main window out again in its normal show state: the size
    // handler runs with the client size, whether or not it changed.
    virtual void RelayoutMainWindow() = 0;
};

// The address bar: a one-line edit.
class AddressBar {
public:
    virtual ~AddressBar() = default;
    virtual std::string GetAddressBarText(std::size_t count) = 0;
    virtual void SetAddressBarText(const std::string& text) = 0;
    virtual std::int32_t AddressBarCreatedHeight() = 0;
    virtual void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    // Gives the bar the keyboard focus, its text selected.
    virtual void FocusAddressBar() = 0;
};

// The status bar: a simple status window.
class StatusBar {
public:
    virtual ~StatusBar() = default;
    // Creates the bar visible and empty.
    virtual void CreateStatusBar() = 0;
    virtual std::int32_t StatusBarHeight() = 0;
    virtual void ShowStatusBar(bool visible) = 0;
    virtual void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
};

// The menu bar, built afresh from the command table each time it is attached, and the
// system menu's three items (or what stands in for it).
class Menus {
public:
    virtual ~Menus() = default;
    virtual void AttachMainMenu() = 0;
    virtual void DestroyMenu() = 0;
    virtual bool HasMainMenu() = 0;
    virtual void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                                       const std::string& help) = 0;
};

// Where the browser control's own window reports a menu: gives the main
// window that menu. Toolkits whose control has none offer no such thing.
class BrowserMenu {
public:
    virtual ~BrowserMenu() = default;
    virtual void AttachBrowserMenu() = 0;
};

// The modal boxes the main window owns: message boxes and the address dialog.
class ModalBoxes : public MessageBoxOwner {
public:
    // Runs the address dialog modally over the disabled main window.
    virtual void RunUrlInputDialog() = 0;

    // Ends the boxes open over the main window (each as its Cancel); their
    // loops return once control gets back to them.
    virtual void EndBoxes() = 0;
};

class IdleTimer {
public:
    virtual ~IdleTimer() = default;
    virtual void StartTimer(std::chrono::milliseconds period) = 0;
};

// The toolkit window that carries the main window, as the main window holds it.
class WindowHost : public WindowFrame,
                   public AddressBar,
                   public StatusBar,
                   public Menus,
                   public ModalBoxes,
                   public IdleTimer {};

}  // namespace poremisu
