#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "platform/HandOff.h"
#include "resource.h"

namespace poremisu {

// The class the main window's dialog template names; it tells the program's
// own windows from any other whose title happens to hold the product word.
inline constexpr const char* kMainWindowClass = POREMISU_MAIN_CLASS;

// The desktop's top-level windows through the window manager of the system.
class Win32WindowSystem : public WindowSystem {
public:
    std::vector<WindowId> TopLevelWindows() override;
    bool Exists(WindowId window) override;
    std::string Title(WindowId window, std::size_t count) override;
    bool IsProgramWindow(WindowId window, const std::string& instanceName) override;
    void RequestClose(WindowId window, std::chrono::milliseconds timeout) override;
    bool SendHandOff(WindowId window, std::chrono::milliseconds timeout) override;
};

}  // namespace poremisu
