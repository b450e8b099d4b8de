#pragma once

#include "platform/win32/Win32Api.h"

#include <cstdint>
#include <string>

#include "app/AppState.h"
#include "browser/CWebBrowser2.h"
#include "ui/UrlInputDialog.h"
#include "ui/WindowHost.h"

namespace poremisu {

class MainWindow;

// The address dialog of template 100 around the core's UrlInputDialog.
class Win32UrlInputDialog final : public UrlInputDialogHost {
public:
    Win32UrlInputDialog(AppState& state, CWebBrowser2& browser, MainWindow& mainWindow, Menus& menus);
    Win32UrlInputDialog(const Win32UrlInputDialog&) = delete;
    Win32UrlInputDialog& operator=(const Win32UrlInputDialog&) = delete;

    // Runs the dialog modally over `owner` until it ends.
    void Run(HINSTANCE instance, HWND owner);

    void SetFieldText(int id, const std::string& text) override;
    std::string GetFieldText(int id, std::size_t count) override;
    void MoveDialog(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void MoveControl(int id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void EndDialog(DialogResult result) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UrlInputDialog m_logic;
    HWND m_dialog = nullptr;
    bool m_ready = false;
};

}  // namespace poremisu
