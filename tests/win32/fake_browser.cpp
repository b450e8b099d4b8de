// A stand-in for a stray browser window of another process: one top-level
// window with the title given on the command line.
//
//     fake_browser.exe [--ignore-close] title words...
//
// With --ignore-close the window refuses close requests, like a window that
// hangs on them; it then ends only when its process is ended.

#include <windows.h>

#include <string>

namespace {

bool g_ignoreClose = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE && g_ignoreClose) return 0;
        break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string title = commandLine ? commandLine : "";
    const std::string flag = "--ignore-close ";
    if (title.compare(0, flag.size(), flag) == 0) {
        g_ignoreClose = true;
        title.erase(0, flag.size());
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "PoremisuTestStrayWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 320,
                                  200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
