// The Windows program: the services of the system, the fixed texts in the
// ANSI code page, and the start-up routine over the dialog front end.

#include "platform/win32/Win32Api.h"

#include <string>

#include "app/BrowserApp.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32MainWindow.h"
#include "platform/win32/Win32ProcessServices.h"
#include "platform/win32/Win32ProfileStore.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32WindowSystem.h"
#include "resource.h"

namespace {

using namespace poremisu;

std::string ModulePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ResourceString(HINSTANCE instance, UINT id) {
    char text[1024] = {};
    int length = LoadStringA(instance, id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// A window program has a standard error only when its starter gave it one.
void ReportFailure(const std::string& text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

ShowCommand StartupShowState() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    if (show == SW_SHOWDEFAULT) show = SW_SHOWNORMAL;
    return static_cast<ShowCommand>(show);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HRESULT ole = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    Texts texts = Texts::Make(AnsiFromUtf8);
    // The system menu's items come from the string table, as the resources
    // carry every text of the windows.
    texts.sysMenuUrlInput = ResourceString(instance, IDS_SYSMENU_URLINPUT);
    texts.sysMenuMenuSet = ResourceString(instance, IDS_SYSMENU_MENUSET);
    texts.sysMenuHelp = ResourceString(instance, IDS_SYSMENU_HELP);

    AppState state;
    Win32FileSystem files;
    Win32ProfileStore profiles;
    Win32ProcessServices process;
    Win32WindowSystem windows;
    Services services{files, profiles, process, windows};

    StartupInfo info;
    info.modulePath = ModulePath();
    info.argumentText = ArgumentTextOf(GetCommandLineA());
    info.showState = StartupShowState();

    int exitCode = 0;
    {
        Win32MainWindow window(instance, state, texts, services);
        BrowserApp app(state, texts, services);
        switch (app.Start(info, window)) {
        case StartOutcome::HandOffFailed:
            ReportFailure("poremisu: " + app.FailureReason() + "\n");
            exitCode = 1;
            break;
        case StartOutcome::Refused:
            ReportFailure("poremisu: the program's folder is too long for its files' paths\n");
            exitCode = 1;
            break;
        default: break;
        }
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return exitCode;
}
