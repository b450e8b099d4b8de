#pragma once

// What the end-to-end tests drive the built program with: a private X server (openbox on it when
// asked), a fresh folder with a copy of the program, processes ended by id, windows seen through Xlib.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using Display = struct _XDisplay;  // Xlib's display, kept out of the tests' namespace
using XWindow = unsigned long;     // Xlib's Window

namespace poremisu::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline constexpr const char* kProductWord = "ぽれみす";  // in every title of the main window

// The title of a completed page while the status bar is hidden (the trailing blank included).
std::string BareTitle(const std::string& pageName);
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The processes below `pid`, every generation.
std::vector<pid_t> DescendantsOf(pid_t pid);
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

// A loopback address that takes connections and never answers, so that a page
// loads until something replaces it; and one that refuses them.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    std::string Url(const std::string& path) const { return m_base + path; }

protected:
    int m_listener = -1;  // listening; a server that answers takes its connections
    std::string m_base;
};

enum class WindowManager { Off, Openbox };

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;  // client area, root coordinates
};

// The visible windows whose WM_CLASS names this program (both parts "poremisu").
std::vector<XWindow> ProgramWindows(Display* display);
std::string WindowTitle(Display* display, XWindow window);  // _NET_WM_NAME, UTF-8
Rect ClientRect(Display* display, XWindow window);
bool Viewable(Display* display, XWindow window);  // mapped, and its parents too
// A 32-bit client message of the named type about `window`, sent to `to` (the window itself when 0;
// the root, for the window manager, with its redirect mask).
void SendClientMessage(Display* display, XWindow window, const char* type, std::vector<long> data,
                       XWindow to = 0);
// A close request as the window manager's close button sends it.
void SendDeleteWindow(Display* display, XWindow window);

// A top-level window of another client, titled as a browser window would be,
// that either closes on WM_DELETE_WINDOW or ignores it.
enum class OnCloseRequest { Close, Ignore };

class StrayWindow {
public:
    StrayWindow(const std::string& displayName, const std::string& title, OnCloseRequest onClose);
    ~StrayWindow();

    int CloseRequests() const { return m_requests; }
    bool Gone() const { return m_gone; }

private:
    Display* m_display = nullptr;
    XWindow m_window = 0;
    std::atomic<int> m_requests = 0;
    std::atomic<bool> m_gone = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// One test's world: its own X server, its own folder with a copy of the
// program, its own runtime folder (so the single-instance lock is its own).
class ProgramTest : public ::testing::Test {
protected:
    explicit ProgramTest(WindowManager manager = WindowManager::Off) : m_manager(manager) {}
    void SetUp() override;
    void TearDown() override;

    // The test-hooks build in the program's place, its idle timer ticking every
    // `tickMs`; false when that build is not configured.
    bool UseTestHooks(int tickMs);
    // Sets KEY=VALUE in the environment of the processes started from now on.
    void SetEnvironment(const std::string& entry);
    // Starts the copy of the program with these arguments.
    Process& Start(std::vector<std::string> arguments);
    // Starts another program (arguments[0]) in the same environment; ended with the test.
    Process& Spawn(const std::vector<std::string>& arguments);
    // The program's visible window titled `title` (another window, a dialog, a box), any window of the
    // program when `title` is empty; 0 at the timeout.
    XWindow WaitForTitled(const std::string& title, milliseconds timeout = 15s);
    XWindow WaitForWindow() { return WaitForTitled("", 30s); }
    // Waits until the window's title is `expected`; fails with what it was instead.
    bool WaitForTitle(XWindow window, const std::string& expected, milliseconds timeout = 30s);
    // Starts the program on `url` and waits for its window to show `title`; 0 when it does not.
    XWindow StartOn(const std::string& url, const std::string& title, Process** program = nullptr);
    // A later start that hands the address to the running window and exits.
    void HandOff(const std::string& address);

    // A page in the folder's pages/ directory; returns its file:// address.
    std::string WritePage(const std::string& fileName, const std::string& title,
                          const std::string& background = "#ffffff");
    std::filesystem::path PagePath(const std::string& name) const { return m_folder / "pages" / name; }
    std::string PageUrl(const std::string& name) const { return "file://" + PagePath(name).string(); }

    std::filesystem::path Folder() const { return m_folder; }
    std::filesystem::path ProgramDir() const { return m_folder / "program"; }
    std::string Settings() const { return ReadFile(ProgramDir() / "poremisu.ini"); }
    std::optional<std::string> SettingsValue(const std::string& key) const;  // as the file holds it
    std::string History() const { return ReadFile(ProgramDir() / "WindowTitleHis.htm"); }
    // What every process started by the test wrote, for failure messages.
    std::string Logs() const;

    Display* X() const { return m_display; }
    std::string DisplayName() const { return m_displayName; }

    void Xdotool(std::vector<std::string> arguments);  // run to its end
    void Keys(const std::string& keys);                // blank-separated, with time for menus to open
    void PointAt(XWindow window, int x, int y);         // a point of the client area

private:
    WindowManager m_manager;
    std::filesystem::path m_folder;
    std::vector<std::string> m_environment;
    std::unique_ptr<Process> m_server, m_openbox;
    std::string m_displayName;
    Display* m_display = nullptr;
    std::vector<std::unique_ptr<Process>> m_processes;
};

}  // namespace poremisu::e2e
