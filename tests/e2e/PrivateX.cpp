#include "e2e/PrivateX.h"

// Before Xlib, whose macros (None, Bool, ...) would clash with its names.
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/HandOff.h"

namespace poremisu::e2e {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool WaitUntil(milliseconds timeout, const std::function<bool()>& done) {
    for (auto deadline = Clock::now() + timeout;; std::this_thread::sleep_for(20ms)) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
    }
}

// The processes below `pid`, every generation, from /proc/<pid>/stat.
std::vector<pid_t> DescendantsOf(pid_t pid) {
    std::multimap<pid_t, pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadFile(entry.path() / "stat"), state;
        std::istringstream rest(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
        pid_t parent = 0;
        if (rest >> state >> parent) children.emplace(parent, std::stoi(name));
    }
    // Each process found is looked up in its turn, its own children added behind.
    std::vector<pid_t> found{pid};
    for (std::size_t i = 0; i < found.size(); ++i) {
        auto [first, last] = children.equal_range(found[i]);
        for (auto it = first; it != last; ++it) found.push_back(it->second);
    }
    found.erase(found.begin());
    return found;
}

namespace {

bool Gone(pid_t pid) {
    // A child of ours (adopted ones included) is reaped here; anything else is
    // gone once kill finds nothing.
    return ::waitpid(pid, nullptr, WNOHANG) == pid || (::kill(pid, 0) != 0 && errno == ESRCH);
}

// No key or mouse bindings, so Alt+Space reaches the program; new windows take
// the focus, as the keys the tests type must reach them. A window comes back
// from minimised at once, where it belongs, not slid in from the screen's edge.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <keyboard></keyboard><mouse></mouse><theme><animateIconify>no</animateIconify></theme>
</openbox_config>
)";

// Windows placed without asking the user, titles in the server's own font.
constexpr const char* kTwmConfig = "RandomPlacement\nTitleFont \"fixed\"\nMenuFont \"fixed\"\n"
                                   "IconFont \"fixed\"\nResizeFont \"fixed\"\nIconManagerFont \"fixed\"\n";

}  // namespace

void EndByPid(const std::vector<pid_t>& pids, milliseconds grace) {
    for (auto [signal, wait] : {std::pair{SIGTERM, grace}, std::pair{SIGKILL, milliseconds(2s)}}) {
        for (pid_t pid : pids) {
            if (!Gone(pid)) ::kill(pid, signal);
        }
        WaitUntil(wait, [&] { return std::all_of(pids.begin(), pids.end(), Gone); });
    }
}

Atom Intern(Display* display, const char* name) { return XInternAtom(display, name, False); }

bool Viewable(Display* display, XWindow window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

long Property32(Display* display, XWindow window, const char* name) {
    XTextProperty property{};
    long value = -1;
    if (XGetTextProperty(display, window, &property, Intern(display, name)) && property.format == 32 &&
        property.nitems) {
        value = *reinterpret_cast<long*>(property.value);
    }
    if (property.value) XFree(property.value);
    return value;
}

bool Iconic(Display* display, XWindow window) { return Property32(display, window, "WM_STATE") == 3; }

void SendClientMessage(Display* display, XWindow window, const char* type, std::vector<long> data, XWindow to) {
    XEvent event{.xclient = {ClientMessage, 0, False, display, window, Intern(display, type), 32, {}}};
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 5), event.xclient.data.l);
    long mask = to ? SubstructureRedirectMask | SubstructureNotifyMask : NoEventMask;
    XSendEvent(display, to ? to : window, False, mask, &event);
    XFlush(display);
}

// Process ------------------------------------------------------------------

Process::Process(std::vector<std::string> arguments, std::vector<std::string> environment,
                 const fs::path& directory, const fs::path& log)
    : m_log(log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    // The test process may block signals; its children start with none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv, envp;
    for (std::string& s : arguments) argv.push_back(s.data());
    for (std::string& s : environment) envp.push_back(s.data());
    argv.push_back(nullptr), envp.push_back(nullptr);
    int error = posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        m_pid = -1;
        ADD_FAILURE() << "cannot start " << arguments[0] << ": " << std::strerror(error);
    }
}

bool Process::Running() {
    int status = 0;
    if (m_pid < 0 || m_status) return false;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> Process::WaitExit(milliseconds timeout) {
    WaitUntil(timeout, [&] { return !Running(); });
    return m_status;
}

Process::~Process() {
    if (!Running()) return;
    // Its helpers (the web engine's processes) are ended with it; once their
    // parent is gone they are ours, since the tests adopt orphans.
    std::vector<pid_t> pids = DescendantsOf(m_pid);
    pids.push_back(m_pid);
    EndByPid(pids, 5s);
}

std::string Process::Log() const { return ReadFile(m_log); }

// XServer ------------------------------------------------------------------------

XServer::XServer(const fs::path& folder, const std::vector<std::string>& environment, WindowManager manager) {
    if (manager == WindowManager::Weston) {
        // Weston names the display its XWayland listens on in its log; XWayland itself starts at the
        // first X client. Its socket lies in a runtime folder of its own, for it alone.
        const fs::path runtime = folder / "wayland";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        std::vector<std::string> env = environment;
        std::erase_if(env, [](const std::string& e) { return e.rfind("XDG_RUNTIME_DIR=", 0) == 0; });
        env.push_back("XDG_RUNTIME_DIR=" + runtime.string());
        m_server = std::make_unique<Process>(
            std::vector<std::string>{"weston", "--backend=headless-backend.so", "--xwayland", "--socket=wayland-0",
                                     "--width=1280", "--height=1024", "--idle-time=0"},
            env, folder, folder / "weston.log");
        const std::string mark = "xserver listening on display :";
        std::string log;
        if (!WaitUntil(15s, [&] { return (log = m_server->Log()).find(mark) != std::string::npos; })) {
            ADD_FAILURE() << "weston gave no X display: " << log;
            return;
        }
        const std::size_t at = log.find(mark) + mark.size();
        m_name = ":" + log.substr(at, log.find_first_not_of("0123456789", at) - at);
        m_wayland = (runtime / "wayland-0").string();
        return;
    }
    // Xvfb chooses a free display number and writes it to the descriptor it is given, a file's here,
    // above the descriptors its start sets up and not closed as it starts.
    const fs::path numberFile = folder / "display";
    int opened = ::open(numberFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    int fd = ::fcntl(opened, F_DUPFD, 10);
    ::close(opened);
    m_server = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fd), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp", "-noreset"},
        environment, folder, folder / "xvfb.log");
    ::close(fd);
    std::string number;
    if (!WaitUntil(15s, [&] { return (number = ReadFile(numberFile)).find('\n') != std::string::npos; })) {
        ADD_FAILURE() << "Xvfb gave no display number: " << m_server->Log();
        return;
    }
    m_name = ":" + number.substr(0, number.find('\n'));
    if (manager == WindowManager::Off) return;

    const fs::path config = folder / "manager-rc", ready = folder / "manager-ready";
    std::vector<std::string> withDisplay = environment;
    withDisplay.push_back("DISPLAY=" + m_name);
    if (manager == WindowManager::Openbox) {
        // Openbox runs its start-up command once it has taken the screen over: from then on it
        // frames each window mapped.
        WriteFile(config, kOpenboxConfig);
        m_manager = std::make_unique<Process>(
            std::vector<std::string>{"openbox", "--sm-disable", "--config-file", config, "--startup",
                                     "touch " + ready.string()},
            withDisplay, folder, folder / "manager.log");
    } else {
        // Twm tells nobody it has started; it has once it frames a window.
        WriteFile(config, kTwmConfig);
        m_manager = std::make_unique<Process>(std::vector<std::string>{"twm", "-f", config}, withDisplay, folder,
                                              folder / "manager.log");
        if (Display* display = XOpenDisplay(m_name.c_str())) {
            XWindow probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
            XMapWindow(display, probe);
            auto framed = [&] {
                XWindow root = 0, parent = 0, *children = nullptr;
                unsigned count = 0;
                XQueryTree(display, probe, &root, &parent, &children, &count);
                if (children) XFree(children);
                return parent != root;
            };
            if (WaitUntil(15s, framed)) WriteFile(ready, "");
            XCloseDisplay(display);
        }
    }
    if (!WaitUntil(15s, [&] { return fs::exists(ready); })) {
        ADD_FAILURE() << "the window manager did not start: " << m_manager->Log();
        m_name.clear();
    }
}

// StrayWindow ------------------------------------------------------------------

StrayWindow::StrayWindow(const std::string& displayName, const std::string& title, OnCloseRequest onClose) {
    m_display = XOpenDisplay(displayName.c_str());
    if (!m_display) {
        ADD_FAILURE() << "cannot open a connection for the stray window";
        return;
    }
    // Out of the way of the program's window, which the tests point at.
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = 1000, hints.y = 850, hints.width = 240, hints.height = 120;
    m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 1000, 850, 240, 120, 0, 0, 0);
    XSetWMNormalHints(m_display, m_window, &hints);
    XChangeProperty(m_display, m_window, Intern(m_display, "_NET_WM_NAME"), Intern(m_display, "UTF8_STRING"),
                    8, PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    int(title.size()));
    Atom protocols = Intern(m_display, "WM_PROTOCOLS"), remove = Intern(m_display, "WM_DELETE_WINDOW");
    Atom command = Intern(m_display, kHandOffMessageType), ack = Intern(m_display, kHandOffAckProperty);
    XSetWMProtocols(m_display, m_window, &remove, 1);
    XMapWindow(m_display, m_window);
    XFlush(m_display);
    // Shown (and, with a window manager, taken over) before the test goes on.
    EXPECT_TRUE(WaitUntil(10s, [&] { return Viewable(m_display, m_window); })) << title << ": not shown";
    m_thread = std::thread([this, onClose, protocols, remove, command, ack] {
        while (!m_stop && !m_gone) {
            // The window selects no input: client messages are all that comes. The thread wakes as one
            // arrives, so a request is counted by the time the program goes on.
            XEvent event;
            if (!XCheckTypedEvent(m_display, ClientMessage, &event)) {
                pollfd readable{ConnectionNumber(m_display), POLLIN, 0};
                ::poll(&readable, 1, 20);
            } else if (event.xclient.message_type == protocols && Atom(event.xclient.data.l[0]) == remove) {
                ++m_requests;
                if (onClose == OnCloseRequest::Close) {
                    XDestroyWindow(m_display, m_window);
                    XSync(m_display, False);
                    m_gone = true;
                }
            } else if (event.xclient.message_type == command && event.xclient.data.l[0] == kHandOffCommand) {
                long token = m_token = event.xclient.data.l[1];
                ++m_handOffs;
                XChangeProperty(m_display, m_window, ack, XA_CARDINAL, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(&token), 1);
                XFlush(m_display);
            }
        }
    });
}

StrayWindow::~StrayWindow() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_display && !m_gone) XDestroyWindow(m_display, m_window);
    if (m_display) XCloseDisplay(m_display);
}

}  // namespace poremisu::e2e
