#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32WindowSystem.h"

#include <climits>
#include <cstring>

namespace poremisu {

namespace {

HWND Handle(WindowId window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

WindowId Id(HWND window) { return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(window)); }

UINT Milliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0) return 0;
    return timeout.count() > UINT_MAX ? UINT_MAX : static_cast<UINT>(timeout.count());
}

}  // namespace

std::vector<WindowId> Win32WindowSystem::TopLevelWindows() {
    // One snapshot of the order from top to bottom: a walk from window to
    // next window while others are raised or closed can meet one twice, stop
    // early or pass the program's own window by.
    struct Collect {
        std::vector<WindowId> windows;
        static BOOL CALLBACK Add(HWND window, LPARAM self) {
            reinterpret_cast<Collect*>(self)->windows.push_back(Id(window));
            return TRUE;
        }
    } collect;
    EnumWindows(Collect::Add, reinterpret_cast<LPARAM>(&collect));
    return std::move(collect.windows);
}

bool Win32WindowSystem::Exists(WindowId window) { return IsWindow(Handle(window)) != 0; }

std::string Win32WindowSystem::Title(WindowId window, std::size_t count) {
    if (count == 0) return {};
    if (count > INT_MAX) count = INT_MAX;
    std::string title(count, '\0');
    int length = GetWindowTextA(Handle(window), title.data(), static_cast<int>(count));
    title.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return title;
}

bool Win32WindowSystem::IsProgramWindow(WindowId window, const std::string& instanceName) {
    char name[64] = {};
    if (GetClassNameA(Handle(window), name, sizeof name) == 0) return false;
    // The main window carries a property named after its copy of the program.
    return std::strcmp(name, kMainWindowClass) == 0 && GetPropA(Handle(window), instanceName.c_str()) != nullptr;
}

void Win32WindowSystem::RequestClose(WindowId window, std::chrono::milliseconds timeout) {
    // No time left to wait: the request is queued and the sweep goes on.
    if (timeout.count() <= 0) {
        PostMessageA(Handle(window), WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Handle(window), WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_ABORTIFHUNG, Milliseconds(timeout),
                        &result);
}

bool Win32WindowSystem::SendHandOff(WindowId window, std::chrono::milliseconds timeout) {
    HWND target = Handle(window);
    // Activation gives the window the focus; SetFocus itself reaches only
    // windows of this thread.
    SetForegroundWindow(target);
    if (GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId()) SetFocus(target);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(target, WM_COMMAND, MAKEWPARAM(kHandOffCommand, 0), 0, SMTO_ABORTIFHUNG,
                               Milliseconds(timeout), &result) != 0;
}

}  // namespace poremisu
