#pragma once

// What the end-to-end tests drive the built program with: on a private X server, a fresh folder with a
// copy of the program, and the program's windows seen through Xlib.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Expected.h"
#include "e2e/PrivateX.h"

namespace poremisu::e2e {

using expected::BareTitle;
using expected::HistoryLink;
using expected::kProductWord;
using expected::NewWindowLine;
using expected::Page;

// The keys that reach a command of the menu bar as a user presses them, from the program's own menu
// table: F10 opens the first menu, Right moves along the bar, Down walks a menu's items (separators
// are skipped), Return chooses.
std::string MenuBarKeys(int command);
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

// Serves fixed pages on 127.0.0.1, one thread per connection: the engine
// opens connections ahead of a click when the pointer rests on a link, and
// holds them open without a request.
class HttpServer : public SilentServer {
public:
    explicit HttpServer(std::map<std::string, std::string> pages) : m_pages(std::move(pages)) {
        m_acceptor = std::thread([this] {
            while (!m_stop) {
                pollfd readable{m_listener, POLLIN, 0};
                if (::poll(&readable, 1, 50) <= 0) continue;
                int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) m_connections.emplace_back([this, client] { Serve(client); });
            }
        });
    }
    ~HttpServer() {
        m_stop = true;
        if (m_acceptor.joinable()) m_acceptor.join();
        for (std::thread& connection : m_connections) connection.join();
    }

    // The paths asked for, in order.
    std::vector<std::string> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Serve(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !m_stop) {
            pollfd readable{client, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0) continue;
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        // A connection closed without a request is answered too, to nobody.
        std::string method, path;
        std::istringstream(request) >> method >> path;
        std::string response;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(path);
            // A query the pages do not name is the page's without it.
            const std::string page = m_pages.count(path) ? path : path.substr(0, path.find('?'));
            response = m_pages.count(page) ? m_pages[page] : "HTTP/1.1 404 Not Found\r\n\r\n";
        }
        // A page without its own status line and headers gets them here.
        if (response.rfind("HTTP/1.1 ", 0) != 0) {
            response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                       std::to_string(response.size()) + "\r\nConnection: close\r\n\r\n" + response;
        }
        // "X-Drip-Ms: n" spreads the body over n ms, in ten pieces; others go at once.
        std::size_t drip = response.find("X-Drip-Ms: "), body = response.find("\r\n\r\n") + 4;
        milliseconds pause(drip == std::string::npos ? 0 : std::stoi(response.substr(drip + 11)) / 10);
        ::send(client, response.data(), body, MSG_NOSIGNAL);
        const std::size_t piece = (response.size() - body + 9) / 10;
        for (std::size_t at = body; at < response.size() && !m_stop; at += piece) {
            std::this_thread::sleep_for(pause);
            ::send(client, response.data() + at, std::min(piece, response.size() - at), MSG_NOSIGNAL);
        }
        ::close(client);
    }

    std::map<std::string, std::string> m_pages;
    std::atomic<bool> m_stop = false;
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;  // the acceptor's alone until it is joined
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
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
