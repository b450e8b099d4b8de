#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "platform/HandOff.h"
#include "platform/posix/CodePage.h"

namespace poremisu {

// The desktop's top-level windows through a connection of its own to the X
// server, with Xlib alone. Without a display every answer is empty or false.
class X11WindowSystem : public WindowSystem {
public:
    // The display named by $DISPLAY; titles come in the given code page.
    explicit X11WindowSystem(const CodePage& codePage);
    X11WindowSystem(const CodePage& codePage, const std::string& displayName);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    std::vector<WindowId> TopLevelWindows() override;
    bool Exists(WindowId window) override;
    std::string Title(WindowId window, std::size_t count) override;
    bool IsProgramWindow(WindowId window, const std::string& instanceName) override;
    void RequestClose(WindowId window, std::chrono::milliseconds timeout) override;
    bool SendHandOff(WindowId window, std::chrono::milliseconds timeout) override;

    // The class both parts of WM_CLASS of a main window carry.
    static constexpr const char* kProgramClass = "poremisu";

private:
    struct Connection;
    const CodePage& m_codePage;
    std::unique_ptr<Connection> m_x;
};

}  // namespace poremisu
