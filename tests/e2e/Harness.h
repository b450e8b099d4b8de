#pragma once

// What the end-to-end tests drive the built program with: on a private X server, a fresh folder with a
// copy of the program, and the program's windows seen through Xlib.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/PrivateX.h"

namespace poremisu::e2e {

inline constexpr const char* kProductWord = "ぽれみす";  // in every title of the main window

// The title of a completed page while the status bar is hidden (the trailing blank included).
std::string BareTitle(const std::string& pageName);
// A page's markup, in UTF-8: its title, what its body holds, and its background.
std::string Page(const std::string& title, const std::string& body = "",
                 const std::string& background = "#ffffff");

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

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;  // client area, root coordinates
};

// The visible windows whose WM_CLASS names this program (both parts "poremisu").
std::vector<XWindow> ProgramWindows(Display* display);
std::string WindowTitle(Display* display, XWindow window);  // _NET_WM_NAME, UTF-8
Rect ClientRect(Display* display, XWindow window);
// A close request as the window manager's close button sends it.
void SendDeleteWindow(Display* display, XWindow window);

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
    // Starts the program on `url` and waits for its window to show `title`, not minimised; 0 when it
    // does not.
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
    std::string DisplayName() const { return m_x->Name(); }

    void Xdotool(std::vector<std::string> arguments);  // run to its end
    void Keys(const std::string& keys);                // blank-separated, with time for menus to open
    void PointAt(XWindow window, int x, int y);         // a point of the client area

private:
    WindowManager m_manager;
    std::filesystem::path m_folder;
    std::vector<std::string> m_environment;
    std::optional<XServer> m_x;
    Display* m_display = nullptr;
    std::vector<std::unique_ptr<Process>> m_processes;
};

}  // namespace poremisu::e2e
