#include "platform/win32/Win32MainWindow.h"

#include <cstring>

#include "platform/win32/Win32Menu.h"
#include "platform/win32/Win32UrlInputDialog.h"
#include "platform/win32/Win32Window.h"
#include "platform/win32/Win32WindowSystem.h"
#include "resource.h"
#include "ui/CommandTable.h"
#include "ui/DialogTemplates.h"

namespace poremisu {

namespace {

// The one main window of the process, for the thread's input hook.
Win32MainWindow* g_inputTarget = nullptr;

// A command message taken from the main window's queue. The window's own
// menus notify by position (WM_MENUCOMMAND) and its keys and controls send
// on this thread, so a queued WM_COMMAND was posted by another process.
constexpr UINT kQueuedCommand = WM_APP + 1;

// Whether `menu` is `root` or one of its submenus, at any depth.
bool ContainsMenu(HMENU root, HMENU menu) {
    if (!root || !menu) return false;
    if (root == menu) return true;
    int count = GetMenuItemCount(root);
    for (int i = 0; i < count; ++i) {
        if (ContainsMenu(GetSubMenu(root, i), menu)) return true;
    }
    return false;
}

WindowId IdOf(HWND window) { return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(window)); }

std::int32_t HeightOf(HWND window) {
    RECT rect = {};
    if (!window || !GetWindowRect(window, &rect)) return 0;
    return rect.bottom - rect.top;
}

// Pointer and key input, the kind that shows someone is at the window.
bool IsInputMessage(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_KEYDOWN ||
           message == WM_SYSKEYDOWN;
}

BOOL CALLBACK EndOwnedBox(HWND window, LPARAM owner) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    // "#32770" is the class of dialog windows and message boxes.
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && std::strcmp(name, "#32770") == 0) {
        EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance, AppState& state, const Texts& texts, Services& services)
    : m_instance(instance), m_state(state), m_texts(texts), m_services(services) {}

Win32MainWindow::~Win32MainWindow() {
    m_browser.Destroy();
    if (m_inputHook) UnhookWindowsHookEx(m_inputHook);
    if (g_inputTarget == this) g_inputTarget = nullptr;
}

bool Win32MainWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    if (GetClassInfoExA(instance, kMainWindowClass, &windowClass)) return true;
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&windowClass) != 0;
}

void Win32MainWindow::RunMainWindow(ShowCommand startupShowState) {
    if (!RegisterWindowClass(m_instance)) return;
    m_startupShowState = startupShowState;
    m_ended = false;
    m_window = std::make_unique<MainWindow>(m_state, m_texts, *this, m_browser, m_services, this);
    g_inputTarget = this;
    m_inputHook = SetWindowsHookExA(WH_GETMESSAGE, InputHook, nullptr, GetCurrentThreadId());

    HWND window = CreateDialogParamA(m_instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (window) {
        // A window that no stored placement has shown opens at its template
        // size in the middle of the screen.
        // The first showing counts as a size change: a window that no
        // placement has moved lays its controls out before it appears.
        RECT client = {};
        GetClientRect(window, &client);
        WPARAM kind = IsIconic(window) ? SIZE_MINIMIZED : IsZoomed(window) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        OnSizeMessage(kind, MAKELPARAM(client.right, client.bottom));
        if (!IsWindowVisible(window)) {
            CentreOver(window, nullptr);
            ShowWindow(window, SW_SHOWNORMAL);
        }
        UpdateWindow(window);
        RunMessageLoop();
        // The control goes first, while the window it lives in still exists.
        m_browser.Destroy();
        if (!m_state.instanceName.empty()) RemovePropA(window, m_state.instanceName.c_str());
        DestroyWindow(window);
    }

    if (m_inputHook) UnhookWindowsHookEx(m_inputHook);
    m_inputHook = nullptr;
    g_inputTarget = nullptr;
    m_hwnd = nullptr;
    m_state.mainWindow = 0;
}

void Win32MainWindow::RunMessageLoop() {
    MSG message;
    while (!m_ended) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // Someone asked the thread to quit: end the window, and leave the
            // request for whoever runs the next loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        HWND control = m_browser.Window();
        if (control && (message.hwnd == control || IsChild(control, message.hwnd)) &&
            m_browser.PreTranslateMessage(message)) {
            continue;
        }
        // Enter typed in the address bar goes to its text. Caught before the dialog rules, which would
        // make it the window's OK: its default id is the status bar's, so nothing tells the two apart later.
        if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && m_addressBar &&
            message.hwnd == m_addressBar) {
            try {
                m_window->OnAddressBarActivate();
            } catch (...) {  // as in the window's handlers: the window stays
            }
            continue;
        }
        if (IsDialogMessageA(m_hwnd, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LRESULT CALLBACK Win32MainWindow::InputHook(int code, WPARAM wParam, LPARAM lParam) {
    // Input anywhere inside the main window, the page's own windows included,
    // shows that someone is there. Boxes and the address dialog are other
    // windows, not looked at here.
    if (code == HC_ACTION && wParam == PM_REMOVE && g_inputTarget && g_inputTarget->m_window) {
        MSG* message = reinterpret_cast<MSG*>(lParam);
        if (message && IsInputMessage(message->message) && g_inputTarget->IsInsideMainWindow(message->hwnd)) {
            g_inputTarget->m_window->OnInput();
        }
        // Whichever loop takes it (the window's, a box's), it arrives marked.
        if (message && message->message == WM_COMMAND && message->hwnd && message->hwnd == g_inputTarget->m_hwnd) {
            message->message = kQueuedCommand;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Win32MainWindow::IsInsideMainWindow(HWND window) const {
    return m_hwnd && window && (window == m_hwnd || IsChild(m_hwnd, window));
}

INT_PTR CALLBACK Win32MainWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = DialogOwner<Win32MainWindow>(window, message, lParam);
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) self->m_hwnd = window;
    if (!self->m_window) return FALSE;
    // Handlers never let anything escape into the system's code.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

void CALLBACK Win32MainWindow::TimerProc(HWND window, UINT, UINT_PTR, DWORD) {
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self || !self->m_window || self->m_ended) return;
    try {
        self->m_window->OnTimer();
    } catch (...) {
    }
}

INT_PTR Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialogMessage() ? TRUE : FALSE;
    case WM_SIZE: OnSizeMessage(wParam, lParam); return FALSE;
    case WM_COMMAND:
        // Sent from another thread: another process's command, of which the
        // hand-off alone is taken. The window's own keys and controls send on
        // this thread.
        if (InSendMessage()) {
            m_window->OnExternalCommand(LOWORD(wParam));
            return TRUE;
        }
        if (m_addressBar && reinterpret_cast<HWND>(lParam) == m_addressBar) {
            // Leaving the address bar navigates to its text; its other
            // notifications do nothing.
            if (HIWORD(wParam) == EN_KILLFOCUS && !m_ended) m_window->OnAddressBarFocusOut();
            return TRUE;
        }
        m_window->OnCommand(LOWORD(wParam));
        return TRUE;
    case kQueuedCommand: m_window->OnExternalCommand(LOWORD(wParam)); return TRUE;
    case Win32WebBrowser::kPopUpMessage: m_browser.SettlePopUp(); return TRUE;
    case WM_MENUCOMMAND: {
        // An item of the window's own menu bar, by its place in its menu.
        auto menu = reinterpret_cast<HMENU>(lParam);
        if (!ContainsMenu(GetMenu(m_hwnd), menu)) return TRUE;
        UINT id = GetMenuItemID(menu, static_cast<int>(wParam));
        if (id != static_cast<UINT>(-1)) m_window->OnCommand(static_cast<int>(id));
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if (m_window->OnSysCommand(static_cast<int>(wParam))) {
            SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE: m_window->OnClose(); return TRUE;
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_MOUSEWHEEL:
        m_window->OnInput();
        return FALSE;
    case WM_PAINT:
        if (!IsIconic(m_hwnd)) return FALSE;
        PaintIcon();
        return TRUE;
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(m_icon);
    default: return FALSE;
    }
}

bool Win32MainWindow::OnInitDialogMessage() {
    m_state.mainWindow = IdOf(m_hwnd);
    // Later starts of this copy of the program look for this mark; a copy
    // in another folder carries another name.
    if (!m_state.instanceName.empty()) SetPropA(m_hwnd, m_state.instanceName.c_str(), reinterpret_cast<HANDLE>(1));
    m_addressBar = GetDlgItem(m_hwnd, IDC_ADDRESS_BAR);
    constexpr DialogUnitRect at = main_template::kBrowser;
    RECT control = {at.x, at.y, at.x + at.width, at.y + at.height};
    MapDialogRect(m_hwnd, &control);
    if (m_browser.Create(m_hwnd, control, IDC_BROWSER, m_window->Events())) {
        if (HWND window = m_browser.Window()) {
            // First in the tab order and a tab stop: the control takes the
            // focus when the window opens.
            SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_TABSTOP);
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    m_controlsAttached = true;
    return m_window->OnInitDialog(m_startupShowState);
}

void Win32MainWindow::OnSizeMessage(WPARAM kind, LPARAM size) {
    if (!m_controlsAttached) return;
    SizeKind sizeKind = SizeKind::Restored;
    switch (kind) {
    case SIZE_RESTORED: break;
    case SIZE_MINIMIZED: sizeKind = SizeKind::Minimized; break;
    case SIZE_MAXIMIZED: sizeKind = SizeKind::Maximized; break;
    default: return;  // another window's change, not this one's
    }
    m_window->OnSizeNotification(sizeKind, LOWORD(size), HIWORD(size));
}

void Win32MainWindow::EndBoxes() {
    EnumThreadWindows(GetCurrentThreadId(), EndOwnedBox, reinterpret_cast<LPARAM>(m_hwnd));
}

// Minimised, then shown normal: the restore's size notification runs the layout.
void Win32MainWindow::RelayoutMainWindow() {
    ShowWindow(m_hwnd, SW_MINIMIZE);
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

void Win32MainWindow::PaintIcon() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    SendMessageA(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_icon);
    EndPaint(m_hwnd, &paint);
}

void Win32MainWindow::SetTitle(const std::string& title) { SetWindowTextA(m_hwnd, title.c_str()); }

std::string Win32MainWindow::GetAddressBarText(std::size_t count) { return WindowText(m_addressBar, count); }

void Win32MainWindow::SetAddressBarText(const std::string& text) { SetWindowTextA(m_addressBar, text.c_str()); }

std::int32_t Win32MainWindow::AddressBarCreatedHeight() { return HeightOf(m_addressBar); }

void Win32MainWindow::MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    MoveWindow(m_addressBar, x, y, w, h, TRUE);
}

void Win32MainWindow::CreateStatusBar() {
    m_statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", m_hwnd, IDC_STATUS_BAR);
    m_state.statusBarWindow = IdOf(m_statusBar);
}

std::int32_t Win32MainWindow::StatusBarHeight() { return HeightOf(m_statusBar); }

void Win32MainWindow::ShowStatusBar(bool visible) {
    if (m_statusBar) ShowWindow(m_statusBar, visible ? SW_SHOWNORMAL : SW_HIDE);
}

void Win32MainWindow::MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (m_statusBar) MoveWindow(m_statusBar, x, y, w, h, TRUE);
}

void Win32MainWindow::SetStatusText(const std::string& text) {
    if (m_statusBar) SetWindowTextA(m_statusBar, text.c_str());
}

void Win32MainWindow::AttachMainMenu() {
    HMENU menu = BuildMainMenu();
    if (!menu) return;
    // Its items notify by position: a plain command message is not theirs.
    MENUINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = MIM_STYLE | MIM_APPLYTOSUBMENUS;
    info.dwStyle = MNS_NOTIFYBYPOS;
    SetMenuInfo(menu, &info);
    HMENU previous = GetMenu(m_hwnd);
    if (!SetMenu(m_hwnd, menu)) {
        ::DestroyMenu(menu);
        return;
    }
    // A copy attached before is replaced, not leaked.
    if (previous && IsMenu(previous)) ::DestroyMenu(previous);
}

void Win32MainWindow::DestroyMenu() {
    HMENU menu = GetMenu(m_hwnd);
    if (!menu) return;
    SetMenu(m_hwnd, nullptr);
    if (IsMenu(menu)) ::DestroyMenu(menu);
}

void Win32MainWindow::AttachBrowserMenu() {
    // Whatever the control's window reports is passed on as it is.
    HWND control = GetDlgItem(m_hwnd, IDC_BROWSER);
    if (control) SetMenu(m_hwnd, GetMenu(control));
}

void Win32MainWindow::AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                                            const std::string& help) {
    HMENU system = GetSystemMenu(m_hwnd, FALSE);
    if (!system) return;
    AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system, MF_STRING, syscmd::kUrlInput, urlInput.c_str());
    AppendMenuA(system, MF_STRING, syscmd::kMenuSet, menuSet.c_str());
    AppendMenuA(system, MF_STRING, syscmd::kHelp, help.c_str());
}

void Win32MainWindow::SetIcon() {
    m_icon = LoadIconA(m_instance, MAKEINTRESOURCEA(IDI_MAIN));
    SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
}

void Win32MainWindow::Show(ShowCommand command) { ShowWindow(m_hwnd, static_cast<int>(command)); }

bool Win32MainWindow::IsMaximized() { return IsZoomed(m_hwnd) != 0; }

bool Win32MainWindow::GetPlacement(WindowPlacement& placement) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(m_hwnd, &wp)) return false;
    placement.flags = static_cast<std::int32_t>(wp.flags);
    placement.showCommand = static_cast<std::int32_t>(wp.showCmd);
    placement.minX = wp.ptMinPosition.x;
    placement.minY = wp.ptMinPosition.y;
    placement.maxX = wp.ptMaxPosition.x;
    placement.maxY = wp.ptMaxPosition.y;
    placement.left = wp.rcNormalPosition.left;
    placement.top = wp.rcNormalPosition.top;
    placement.right = wp.rcNormalPosition.right;
    placement.bottom = wp.rcNormalPosition.bottom;
    return true;
}

std::vector<PixelRect> Win32MainWindow::ScreenAreas() {
    struct Collect {
        std::vector<PixelRect> screens;
        static BOOL CALLBACK Add(HMONITOR monitor, HDC, LPRECT, LPARAM self) {
            MONITORINFO info = {};
            info.cbSize = sizeof info;
            if (!GetMonitorInfoA(monitor, &info)) return TRUE;
            const RECT& work = info.rcWork;
            PixelRect area{work.left, work.top, work.right - work.left, work.bottom - work.top};
            auto& screens = reinterpret_cast<Collect*>(self)->screens;
            // The primary first: the others are counted from it below.
            if (info.dwFlags & MONITORINFOF_PRIMARY)
                screens.insert(screens.begin(), area);
            else
                screens.push_back(area);
            return TRUE;
        }
    } collect;
    EnumDisplayMonitors(nullptr, nullptr, Collect::Add, reinterpret_cast<LPARAM>(&collect));
    // Placements count from the primary screen's work area, not from the
    // screen's corner.
    if (!collect.screens.empty()) {
        PixelRect origin = collect.screens.front();
        for (PixelRect& screen : collect.screens) screen.x -= origin.x, screen.y -= origin.y;
    }
    return collect.screens;
}

PixelRect Win32MainWindow::TemplateSize() {
    // Created from the template and not yet placed: the window has its size.
    RECT outer = {};
    GetWindowRect(m_hwnd, &outer);
    return PixelRect{0, 0, outer.right - outer.left, outer.bottom - outer.top};
}

void Win32MainWindow::SetPlacement(const WindowPlacement& placement) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    wp.flags = static_cast<UINT>(placement.flags);
    wp.showCmd = static_cast<UINT>(placement.showCommand);
    wp.ptMinPosition = {placement.minX, placement.minY};
    wp.ptMaxPosition = {placement.maxX, placement.maxY};
    wp.rcNormalPosition = {placement.left, placement.top, placement.right, placement.bottom};
    SetWindowPlacement(m_hwnd, &wp);
}

void Win32MainWindow::StartTimer(std::chrono::milliseconds period) {
    SetTimer(m_hwnd, 0, static_cast<UINT>(period.count()), TimerProc);
}

void Win32MainWindow::SendClose() { SendMessageA(m_hwnd, WM_CLOSE, 0, 0); }

void Win32MainWindow::EndWindow() {
    m_ended = true;
    // Wakes the loop, which then sees the window has ended.
    PostMessageA(m_hwnd, WM_NULL, 0, 0);
}

Answer Win32MainWindow::MessageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    int answer = MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), buttons == Buttons::OkCancel ? MB_OKCANCEL : MB_OK);
    return answer == IDOK ? Answer::Ok : Answer::Cancel;
}

void Win32MainWindow::RunUrlInputDialog() {
    Win32UrlInputDialog dialog(m_state, m_browser, *m_window, *this);
    dialog.Run(m_instance, m_hwnd);
}

void Win32MainWindow::FocusAddressBar() {
    if (!m_addressBar) return;
    SetFocus(m_addressBar);
    SendMessageA(m_addressBar, EM_SETSEL, 0, -1);
}

}  // namespace poremisu
