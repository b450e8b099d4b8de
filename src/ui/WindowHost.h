#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Placement.h"

namespace poremisu {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };

// What the main window's logic asks of the toolkit window that carries it:
// its controls, title, menu, status bar, show states and timer.
class WindowHost {
public:
    virtual ~WindowHost() = default;

    virtual void SetTitle(const std::string& title) = 0;

    // The address bar (a one-line edit).
    virtual std::string GetAddressBarText(std::size_t count) = 0;
    virtual void SetAddressBarText(const std::string& text) = 0;
    virtual std::int32_t AddressBarCreatedHeight() = 0;
    virtual void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;

    // The status bar (a simple status window).
    virtual WindowId CreateStatusBar() = 0;
    virtual std::int32_t StatusBarHeight() = 0;
    virtual void ShowStatusBar(bool visible) = 0;
    virtual void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    virtual void SetStatusText(const std::string& text) = 0;

    // The menu bar "MAINMENU", loaded afresh each time it is attached.
    virtual void AttachMainMenu() = 0;
    virtual void DestroyMenu() = 0;
    // Gives the window the menu the browser control's own window reports.
    virtual void AttachBrowserMenu() = 0;

    // The system menu's three items (or what stands in for it).
    virtual void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                                       const std::string& help) = 0;

    virtual void SetIcon() = 0;
    virtual void Show(ShowCommand command) = 0;
    virtual bool IsMaximized() = 0;
    virtual bool GetPlacement(WindowPlacement& placement) = 0;
    virtual void SetPlacement(const WindowPlacement& placement) = 0;
    // The screens' areas in the placement's coordinates.
    virtual std::vector<PixelRect> ScreenAreas() = 0;
    // The outer size the window has from its template.
    virtual PixelRect TemplateSize() = 0;

    virtual void StartTimer(std::chrono::milliseconds period) = 0;
    // A close request as the close box sends it, handled before returning.
    virtual void SendClose() = 0;
    // Ends the main window's run.
    virtual void EndWindow() = 0;

    virtual Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) = 0;
    // Runs the address dialog modally over the disabled main window.
    virtual void RunUrlInputDialog() = 0;

    // Lays the main window out again in its normal show state: the size
    // handler runs with the client size, whether or not it changed.
    virtual void RelayoutMainWindow() = 0;
    // Ends the boxes open over the main window (each as its Cancel); their
    // loops return once control gets back to them.
    virtual void EndBoxes() = 0;
};

}  // namespace poremisu
