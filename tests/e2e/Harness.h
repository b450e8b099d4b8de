#pragma once

// What the end-to-end tests drive the built program with: a private X server,
// a fresh folder holding a copy of the program, processes started and ended by
// id, and the program's window seen through Xlib.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Display = struct _XDisplay;  // Xlib's display, kept out of the tests' namespace
using XWindow = unsigned long;     // Xlib's Window

namespace poremisu::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The product word every title of the main window carries.
inline constexpr const char* kProductWord = "ぽれみす";

// The title of a completed page while the status bar is hidden (the trailing blank included).
std::string BareTitle(const std::string& pageName);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Asks `done` every few milliseconds until it answers true or the time is up.
bool WaitUntil(milliseconds timeout, const std::function<bool()>& done);

// A process started with posix_spawn; its output goes to a log file. Ended by
// id when the object goes: TERM, then KILL, together with the children it left.
class Process {
public:
    struct Options {
        std::vector<std::string> arguments;  // arguments[0] is the program's path
        std::vector<std::string> environment;
        std::filesystem::path directory;     // the working directory
        std::filesystem::path log;           // stdout and stderr
        int descriptor3 = -1;                // handed to the child as its descriptor 3
    };
    explicit Process(const Options& options);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Running();
    // The exit status (128 + signal when killed), or nothing while it still runs.
    std::optional<int> WaitExit(milliseconds timeout);
    void Stop();
    std::string Log() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::filesystem::path m_log;
};

// A private X server (Xvfb -displayfd), optionally with openbox, and one Xlib
// connection to it.
enum class WindowManager { Off, Openbox };

class Desktop {
public:
    Desktop(WindowManager manager, const std::filesystem::path& folder,
            const std::vector<std::string>& environment);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    const std::string& Name() const { return m_name; }  // ":N"
    Display* X() const { return m_display; }

private:
    std::unique_ptr<Process> m_server;
    std::unique_ptr<Process> m_manager;
    std::string m_name;
    Display* m_display = nullptr;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;  // client area, root coordinates
};

// The visible windows whose WM_CLASS names this program (both parts "poremisu").
std::vector<XWindow> ProgramWindows(Display* display);
std::string WindowTitle(Display* display, XWindow window);  // _NET_WM_NAME, UTF-8
Rect ClientRect(Display* display, XWindow window);
// The colour (0xRRGGBB) of each of the points, given relative to the client area.
std::vector<std::uint32_t> Pixels(Display* display, XWindow window, const std::vector<std::pair<int, int>>& points);
void MoveResize(Display* display, XWindow window, const Rect& rect);
// A close request as the window manager's close button sends it.
void SendDeleteWindow(Display* display, XWindow window);

// One test's world: its own X server, its own folder with a copy of the
// program, its own runtime folder (so the single-instance lock is its own).
class ProgramTest : public ::testing::Test {
protected:
    explicit ProgramTest(WindowManager manager = WindowManager::Off) : m_manager(manager) {}
    void SetUp() override;
    void TearDown() override;

    // Starts the copy of the program with these arguments.
    Process& Start(const std::vector<std::string>& arguments);
    // The single visible main window, waited for.
    XWindow WaitForWindow(milliseconds timeout = 30s);
    // Waits until the window's title is `expected`; fails with what it was instead.
    bool WaitForTitle(XWindow window, const std::string& expected, milliseconds timeout = 30s);

    // A page in the folder's pages/ directory; returns its file:// address.
    std::string WritePage(const std::string& fileName, const std::string& title,
                          const std::string& background = "#ffffff");
    std::filesystem::path PagePath(const std::string& fileName) const;
    std::string PageUrl(const std::string& fileName) const;

    std::filesystem::path ProgramDir() const { return m_folder / "program"; }
    std::string Settings() const { return ReadFile(ProgramDir() / "poremisu.ini"); }
    // The value of one key of the settings file, as the file holds it.
    std::optional<std::string> SettingsValue(const std::string& key) const;
    std::string History() const { return ReadFile(ProgramDir() / "WindowTitleHis.htm"); }
    // What every started process wrote, for failure messages.
    std::string Logs() const;

    Display* X() const { return m_desktop->X(); }

private:
    WindowManager m_manager;
    std::filesystem::path m_folder;
    std::vector<std::string> m_environment;
    std::unique_ptr<Desktop> m_desktop;
    std::vector<std::unique_ptr<Process>> m_processes;
};

}  // namespace poremisu::e2e
