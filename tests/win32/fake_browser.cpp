// A stray browser window of another process: one top-level window titled
// by the command line. With --ignore-close it refuses close requests, as a
// hung window would, and ends only with its process.
//
//     fake_browser.exe [--ignore-close] title words...

#include <windows.h>

#include <string>

namespace {

bool g_ignoreClose = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE && g_ignoreClose) return 0;
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string title = commandLine ? commandLine : "";
    const std::string flag = "--ignore-close ";
    g_ignoreClose = title.compare(0, flag.size(), flag) == 0;
    if (g_ignoreClose) title.erase(0, flag.size());
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "PoremisuTestStrayWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40,
                                  320, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
    return 0;
}
