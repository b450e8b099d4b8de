#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"

namespace poremisu {

// The hand-off message between instances: a client message of this type,
// format 32, data.l[0] = kHandOffCommand and data.l[1] = a token; the
// receiver answers by setting kHandOffAckProperty (CARDINAL, 32 bits) on its
// window to the token once the command has been handled.
inline constexpr const char* kHandOffMessageType = "_POREMISU_COMMAND";
inline constexpr const char* kHandOffAckProperty = "_POREMISU_ACK";
inline constexpr long kHandOffCommand = 32772;
// The main window's mark of its copy of the program: the instance name, as
// an 8-bit STRING property.
inline constexpr const char* kInstanceProperty = "_POREMISU_INSTANCE";

// The desktop's top-level windows through a connection of its own to the X
// server, with Xlib alone. Without a display every answer is empty or false.
class X11WindowSystem : public WindowSystem {
public:
    // The display named by $DISPLAY.
    X11WindowSystem();
    explicit X11WindowSystem(const std::string& displayName);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    bool Connected() const;

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
    std::unique_ptr<Connection> m_x;
};

}  // namespace poremisu
