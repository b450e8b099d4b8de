#pragma once

// A private X server (openbox on it when asked), processes ended by id and windows of other clients:
// what the end-to-end tests run the program on, and the X11 window list's unit tests run on too. It
// needs neither the program nor its build.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Display = struct _XDisplay;  // Xlib's display, kept out of the tests' namespace
using XWindow = unsigned long;     // Xlib's Window

namespace poremisu::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The processes below `pid`, every generation.
std::vector<pid_t> DescendantsOf(pid_t pid);
// TERM, a grace period, then KILL.
void EndByPid(const std::vector<pid_t>& pids, milliseconds grace);
// Asks `done` every few milliseconds until it answers true or the time is up.
bool WaitUntil(milliseconds timeout, const std::function<bool()>& done);

// A process started with posix_spawn; its output goes to a log file. Ended by
// id when the object goes: TERM, then KILL, together with the children it left.
class Process {
public:
    // arguments[0] is the program's path; `directory` its working directory, `log` its stdout and stderr.
    Process(std::vector<std::string> arguments, std::vector<std::string> environment,
            const std::filesystem::path& directory, const std::filesystem::path& log);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Running();
    // The exit status (128 + signal when killed), or nothing while it still runs.
    std::optional<int> WaitExit(milliseconds timeout);
    std::string Log() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::filesystem::path m_log;
};

// Openbox keeps the desktop conventions' lists; twm keeps none of them, and frames each window.
// Weston is a Wayland desktop, headless, whose XWayland serves X11 clients instead of Xvfb.
enum class WindowManager { Off, Openbox, Twm, Weston };

// Xvfb on a free display number, and the window manager asked for once it has taken the screen over;
// their files and logs in `folder`. Both end with the object, the window manager first.
class XServer {
public:
    XServer(const std::filesystem::path& folder, const std::vector<std::string>& environment,
            WindowManager manager);
    std::string Name() const { return m_name; }  // ":<number>", empty when the server did not start
    // The Wayland socket's path under Weston, else empty.
    std::string WaylandSocket() const { return m_wayland; }

private:
    std::unique_ptr<Process> m_server, m_manager;
    std::string m_name, m_wayland;
};

unsigned long Intern(Display* display, const char* name);  // the atom
bool Viewable(Display* display, XWindow window);  // mapped, and its parents too
long Property32(Display* display, XWindow window, const char* name);  // its first 32-bit item, or -1
bool Iconic(Display* display, XWindow window);  // minimised, as the window manager's WM_STATE says
// A 32-bit client message of the named type about `window`, sent to `to` (the window itself when 0;
// the root, for the window manager, with its redirect mask).
void SendClientMessage(Display* display, XWindow window, const char* type, std::vector<long> data,
                       XWindow to = 0);

// A top-level window of another client, titled as a browser window would be, that either closes on
// WM_DELETE_WINDOW or ignores it, and answers the program's hand-off as a running copy does.
enum class OnCloseRequest { Close, Ignore };

class StrayWindow {
public:
    StrayWindow(const std::string& displayName, const std::string& title, OnCloseRequest onClose);
    ~StrayWindow();

    XWindow Id() const { return m_window; }
    int CloseRequests() const { return m_requests; }
    bool Gone() const { return m_gone; }
    int HandOffs() const { return m_handOffs; }
    long LastToken() const { return m_token; }  // of the last hand-off answered

private:
    Display* m_display = nullptr;
    XWindow m_window = 0;
    std::atomic<int> m_requests = 0, m_handOffs = 0;
    std::atomic<long> m_token = 0;
    std::atomic<bool> m_gone = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

}  // namespace poremisu::e2e
