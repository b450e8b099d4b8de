#pragma once

// What the tests of the history page, the listing pages and the pop-up
// containment share: a recorder of the window's titles, a stray browser
// window of another client, a small web server and the keyboard and pointer
// driven through xdotool.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

// After the test framework, whose names Xlib's macros would clash with.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace poremisu::e2e {

inline bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The address the engine reports for a local path: every byte but the
// unreserved ones and the slashes escaped, hex digits in capitals.
inline std::string FileUrl(const std::filesystem::path& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return url;
}

// Waits on one connection's events for at most `timeout`.
inline void PollConnection(Display* display, int timeoutMs) {
    pollfd readable{ConnectionNumber(display), POLLIN, 0};
    ::poll(&readable, 1, timeoutMs);
}

// Every title a window takes, in order. A thread of its own reads each one as
// soon as its change is reported, since the change itself does not carry it.
class TitleRecorder {
public:
    TitleRecorder(const std::string& displayName, XWindow window)
        : m_display(XOpenDisplay(displayName.c_str())), m_window(window) {
        if (!m_display) {
            ADD_FAILURE() << "cannot open a second connection to " << displayName;
            return;
        }
        m_name = XInternAtom(m_display, "_NET_WM_NAME", False);
        XSelectInput(m_display, window, PropertyChangeMask);
        XSync(m_display, False);
        m_titles.push_back(WindowTitle(m_display, window));
        m_thread = std::thread([this] { Run(); });
    }
    ~TitleRecorder() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_display) XCloseDisplay(m_display);
    }
    TitleRecorder(const TitleRecorder&) = delete;
    TitleRecorder& operator=(const TitleRecorder&) = delete;

    std::vector<std::string> Titles() {
        std::lock_guard lock(m_mutex);
        return m_titles;
    }
    bool Saw(const std::function<bool(const std::string&)>& match) {
        std::vector<std::string> titles = Titles();
        return std::any_of(titles.begin(), titles.end(), match);
    }
    std::string Describe() {
        std::string out;
        for (const std::string& title : Titles()) out += "  \"" + title + "\"\n";
        return out;
    }

private:
    void Run() {
        while (!m_stop) {
            if (XPending(m_display) == 0) {
                PollConnection(m_display, 20);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != PropertyNotify || event.xproperty.atom != m_name) continue;
            std::string title = WindowTitle(m_display, m_window);
            std::lock_guard lock(m_mutex);
            if (title != m_titles.back()) m_titles.push_back(title);
        }
    }

    Display* m_display;
    XWindow m_window;
    Atom m_name = None;
    std::mutex m_mutex;
    std::vector<std::string> m_titles;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// A top-level window of another client, titled as a browser window would be,
// that either closes on a close request (the window manager's, or
// WM_DELETE_WINDOW sent straight to it) or ignores it.
enum class OnCloseRequest { Close, Ignore };

class StrayWindow {
public:
    // `onRequest`, when given, runs on the window's thread as each close request arrives.
    StrayWindow(const std::string& displayName, const std::string& title, OnCloseRequest onClose,
                std::function<void()> onRequest = {})
        : m_onClose(onClose), m_onRequest(std::move(onRequest)) {
        m_display = XOpenDisplay(displayName.c_str());
        if (!m_display) {
            ADD_FAILURE() << "cannot open a connection for the stray window";
            return;
        }
        Window root = DefaultRootWindow(m_display);
        // Out of the way of the program's window, which the tests point at.
        m_window = XCreateSimpleWindow(m_display, root, 1000, 850, 240, 120, 0, 0, 0xC0C0C0);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = 1000;
        hints.y = 850;
        hints.width = 240;
        hints.height = 120;
        XSetWMNormalHints(m_display, m_window, &hints);
        XStoreName(m_display, m_window, title.c_str());
        XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_NAME", False),
                        XInternAtom(m_display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
        m_protocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
        m_delete = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(m_display, m_window, &m_delete, 1);
        XSelectInput(m_display, m_window, StructureNotifyMask);
        XMapWindow(m_display, m_window);
        XFlush(m_display);
        // Shown (and, with a window manager, taken over) before the test goes on.
        bool mapped = WaitUntil(10s, [&] {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == MapNotify && event.xmap.window == m_window) return true;
            }
            PollConnection(m_display, 20);
            return false;
        });
        if (!mapped) ADD_FAILURE() << "the stray window \"" << title << "\" was not shown";
        m_thread = std::thread([this] { Run(); });
    }
    ~StrayWindow() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_display) {
            if (!m_gone) XDestroyWindow(m_display, m_window);
            XCloseDisplay(m_display);
        }
    }
    StrayWindow(const StrayWindow&) = delete;
    StrayWindow& operator=(const StrayWindow&) = delete;

    XWindow Id() const { return m_window; }
    int CloseRequests() const { return m_requests; }
    bool Gone() const { return m_gone; }

private:
    void Run() {
        while (!m_stop && !m_gone) {
            if (XPending(m_display) == 0) {
                PollConnection(m_display, 20);
                continue;
            }
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != ClientMessage || event.xclient.message_type != m_protocols ||
                static_cast<Atom>(event.xclient.data.l[0]) != m_delete) {
                continue;
            }
            if (m_onRequest) m_onRequest();
            ++m_requests;
            if (m_onClose == OnCloseRequest::Close) {
                XDestroyWindow(m_display, m_window);
                XSync(m_display, False);
                m_gone = true;
            }
        }
    }

    OnCloseRequest m_onClose;
    std::function<void()> m_onRequest;
    Display* m_display = nullptr;
    Window m_window = 0;
    Atom m_protocols = None;
    Atom m_delete = None;
    std::atomic<int> m_requests = 0;
    std::atomic<bool> m_gone = false;
    std::atomic<bool> m_stop = false;
    std::thread m_thread;
};

// Serves fixed pages on 127.0.0.1, one thread per connection: the engine
// opens connections ahead of a click when the pointer rests on a link, and
// holds them open without a request.
class HttpServer {
public:
    explicit HttpServer(std::map<std::string, std::string> pages) : m_pages(std::move(pages)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
            return;
        }
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { Accept(); });
    }
    ~HttpServer() {
        m_stop = true;
        if (m_acceptor.joinable()) m_acceptor.join();
        {
            std::lock_guard lock(m_mutex);
            for (int client : m_clients) ::shutdown(client, SHUT_RDWR);
        }
        for (std::thread& connection : m_connections) connection.join();
        if (m_listener >= 0) ::close(m_listener);
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    // The paths asked for, in order.
    std::vector<std::string> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Accept() {
        while (!m_stop) {
            pollfd readable{m_listener, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0) continue;
            int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::lock_guard lock(m_mutex);
            m_clients.push_back(client);
            m_connections.emplace_back([this, client] { Serve(client); });
        }
    }

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
        std::size_t pathStart = request.find(' ');
        std::size_t pathEnd = pathStart == std::string::npos ? pathStart : request.find(' ', pathStart + 1);
        if (pathEnd != std::string::npos) {
            std::string path = request.substr(pathStart + 1, pathEnd - pathStart - 1);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(path);
            }
            auto page = m_pages.find(path);
            std::string body =
                page != m_pages.end() ? page->second : "<!DOCTYPE html><title>Missing</title>\n";
            std::string response =
                std::string(page != m_pages.end() ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            for (std::size_t sent = 0; sent < response.size();) {
                ssize_t wrote = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
                if (wrote <= 0) break;
                sent += static_cast<std::size_t>(wrote);
            }
        }
        std::lock_guard lock(m_mutex);
        ::close(client);
        std::erase(m_clients, client);
    }

    std::map<std::string, std::string> m_pages;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<int> m_clients;
    std::vector<std::thread> m_connections;
    std::vector<std::string> m_requests;
};

// A test whose program is driven by the keyboard and the pointer, and whose
// titles are recorded from the moment its window is there.
class DrivenProgramTest : public ProgramTest {
protected:
    explicit DrivenProgramTest(WindowManager manager) : ProgramTest(manager) {}

    std::string DisplayName() const { return DisplayString(X()); }
    std::filesystem::path Folder() const { return ProgramDir().parent_path(); }

    // Starts the program on a page, waits for its title and starts recording.
    XWindow StartRecording(const std::string& url, const std::string& title) {
        Start({url});
        XWindow window = WaitForWindow(15s);
        if (window == 0 || !WaitForTitle(window, BareTitle(title), 15s)) return 0;
        m_titles = std::make_unique<TitleRecorder>(DisplayName(), window);
        return window;
    }
    TitleRecorder& Titles() { return *m_titles; }

    // A later start that hands the address to the running window.
    void HandOff(const std::string& address) {
        std::optional<int> status = Start({address}).WaitExit(15s);
        EXPECT_EQ(status, 0) << "the hand-off of " << address << " failed\n" << Logs();
    }

    // Runs xdotool on the test's display and waits for it.
    void Xdotool(const std::vector<std::string>& arguments) {
        Process::Options options;
        options.arguments = {"xdotool"};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = {"DISPLAY=" + DisplayName()};
        options.log = Folder() / "xdotool.log";
        Process tool(options);
        std::optional<int> status = tool.WaitExit(10s);
        EXPECT_EQ(status, 0) << "xdotool failed: " << tool.Log();
    }
    // Rests the pointer on a point of the window's client area.
    void PointAt(XWindow window, int x, int y) {
        Rect client = ClientRect(X(), window);
        Xdotool({"mousemove", "--sync", std::to_string(client.x + x), std::to_string(client.y + y)});
    }
    // Keys in turn, with a pause for the menus to open between them.
    void Keys(const std::vector<std::string>& keys) {
        for (const std::string& key : keys) {
            Xdotool({"key", key});
            std::this_thread::sleep_for(150ms);
        }
    }
    struct LinkSeen {
        std::string address;
        int y;  // where the pointer first showed it, in the client area
    };
    // The addresses that the title shows while the pointer moves down the
    // page at `x` (status texts go to the title while the status bar is
    // hidden), each once, in the order met.
    std::vector<LinkSeen> LinksDownThePage(XWindow window, const std::string& titleHead, int x = 20,
                                           int bottom = 260) {
        std::vector<LinkSeen> links;
        Rect client = ClientRect(X(), window);
        for (int y = 2; y < std::min(client.height, bottom); y += 4) {
            PointAt(window, x, y);
            std::this_thread::sleep_for(80ms);
            std::string title = WindowTitle(X(), window);
            if (title.rfind(titleHead, 0) != 0 || title.size() == titleHead.size()) continue;
            std::string address = title.substr(titleHead.size());
            if (links.empty() || links.back().address != address) links.push_back({address, y});
        }
        return links;
    }

    // The system menu's "MENU SET" (the menu bar, the address bar and the
    // status bar), taken from the top of the page's context menu: a window
    // manager may keep Alt+Space for its own menu.
    void ShowMenuBar(XWindow window) {
        PointAt(window, 200, 200);
        Xdotool({"click", "3"});
        std::this_thread::sleep_for(300ms);
        Keys({"Down", "Down", "Return"});
        std::this_thread::sleep_for(500ms);
    }

    void TearDown() override {
        m_titles.reset();
        ProgramTest::TearDown();
    }

private:
    std::unique_ptr<TitleRecorder> m_titles;
};

}  // namespace poremisu::e2e
