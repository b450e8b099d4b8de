#pragma once

#include "platform/win32/Win32Api.h"

#include <memory>
#include <string>

#include "app/BrowserApp.h"
#include "platform/win32/Win32WebBrowser.h"
#include "ui/MainWindow.h"
#include "ui/WindowHost.h"

namespace poremisu {

// The main window: the dialog of template 102 (class "poremisu") with the
// web-browser control, the address bar and a status window, run modally by
// a message loop of its own. The window's logic lives in MainWindow; this
// class carries it out with the window functions of the system.
class Win32MainWindow final : public WindowHost, public BrowserMenu, public MainWindowRunner {
public:
    Win32MainWindow(HINSTANCE instance, AppState& state, const Texts& texts, Services& services);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Registers the dialog class the template names; once per process.
    static bool RegisterWindowClass(HINSTANCE instance);

    void RunMainWindow(ShowCommand startupShowState) override;

    void SetTitle(const std::string& title) override;
    std::string GetAddressBarText(std::size_t count) override;
    void SetAddressBarText(const std::string& text) override;
    std::int32_t AddressBarCreatedHeight() override;
    void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void FocusAddressBar() override;
    void CreateStatusBar() override;
    std::int32_t StatusBarHeight() override;
    void ShowStatusBar(bool visible) override;
    void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void SetStatusText(const std::string& text) override;
    void AttachMainMenu() override;
    void DestroyMenu() override;
    bool HasMainMenu() override { return GetMenu(m_hwnd) != nullptr; }
    void AttachBrowserMenu() override;
    void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                               const std::string& help) override;
    void SetIcon() override;
    void Show(ShowCommand command) override;
    bool IsMaximized() override;
    // The system control keeps its own keys; its window is never asked to fill the screen here.
    void SetFullScreen(bool) override {}
    bool GetPlacement(WindowPlacement& placement) override;
    void SetPlacement(const WindowPlacement& placement) override;
    std::vector<PixelRect> ScreenAreas() override;
    PixelRect TemplateSize() override;
    void StartTimer(std::chrono::milliseconds period) override;
    void SendClose() override;
    void EndWindow() override;
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
    void RunUrlInputDialog() override;
    void RelayoutMainWindow() override;
    void EndBoxes() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
    static LRESULT CALLBACK InputHook(int code, WPARAM wParam, LPARAM lParam);

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnInitDialogMessage();
    void OnSizeMessage(WPARAM kind, LPARAM size);
    void PaintIcon();
    void RunMessageLoop();
    bool IsInsideMainWindow(HWND window) const;

    HINSTANCE m_instance;
    AppState& m_state;
    const Texts& m_texts;
    Services& m_services;
    Win32WebBrowser m_browser;
    std::unique_ptr<MainWindow> m_window;

    HWND m_hwnd = nullptr;
    HWND m_addressBar = nullptr;
    HWND m_statusBar = nullptr;
    HICON m_icon = nullptr;
    HHOOK m_inputHook = nullptr;
    ShowCommand m_startupShowState = ShowCommand::Normal;

    bool m_controlsAttached = false;
    bool m_ended = false;
};

}  // namespace poremisu
