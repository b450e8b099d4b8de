#include "platform/win32/Win32UrlInputDialog.h"

#include "platform/win32/Win32Window.h"
#include "resource.h"

namespace poremisu {

Win32UrlInputDialog::Win32UrlInputDialog(AppState& state, CWebBrowser2& browser, MainWindow& mainWindow,
                                         Menus& menus)
    : m_logic(state, browser, mainWindow, menus, *this) {}

void Win32UrlInputDialog::Run(HINSTANCE instance, HWND owner) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_URL_INPUT), owner, DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Win32UrlInputDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = DialogOwner<Win32UrlInputDialog>(dialog, message, lParam);
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->m_dialog = dialog;
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

void Win32UrlInputDialog::SetFieldText(int id, const std::string& text) {
    SetDlgItemTextA(m_dialog, id, text.c_str());
}

std::string Win32UrlInputDialog::GetFieldText(int id, std::size_t count) {
    return WindowText(GetDlgItem(m_dialog, id), count);
}

void Win32UrlInputDialog::MoveDialog(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    MoveWindow(m_dialog, x, y, w, h, TRUE);
}

void Win32UrlInputDialog::MoveControl(int id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    MoveWindow(GetDlgItem(m_dialog, id), x, y, w, h, TRUE);
}

void Win32UrlInputDialog::EndDialog(DialogResult result) {
    ::EndDialog(m_dialog, result == DialogResult::Ok ? IDOK : IDCANCEL);
}

INT_PTR Win32UrlInputDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        CentreOver(m_dialog, GetWindow(m_dialog, GW_OWNER));
        bool defaultFocus = m_logic.OnInitDialog();
        m_ready = true;
        // The first layout, at the template's size: the fields in rows.
        RECT client = {};
        GetClientRect(m_dialog, &client);
        m_logic.OnSize(client.right, client.bottom);
        return defaultFocus ? TRUE : FALSE;
    }
    case WM_SIZE:
        if (m_ready && (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)) {
            m_logic.OnSize(LOWORD(lParam), HIWORD(lParam));
        }
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == dlg::kGo || id == dlg::kMenu || id == dlg::kCancel) {
            if (HIWORD(wParam) == BN_CLICKED) m_logic.OnCommand(id);
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        // The close box means the cancel id, whose button is disabled here:
        // refused with the warning sound.
        MessageBeep(MB_OK);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace poremisu
