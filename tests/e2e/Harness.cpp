#include "e2e/Harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace poremisu::e2e {

namespace fs = std::filesystem;

std::string BareTitle(const std::string& pageName) { return pageName + " - " + kProductWord + " > "; }

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

// TERM, a grace period, then KILL.
void EndByPid(const std::vector<pid_t>& pids, milliseconds grace) {
    for (auto [signal, wait] : {std::pair{SIGTERM, grace}, std::pair{SIGKILL, milliseconds(2s)}}) {
        for (pid_t pid : pids) {
            if (!Gone(pid)) ::kill(pid, signal);
        }
        WaitUntil(wait, [&] { return std::all_of(pids.begin(), pids.end(), Gone); });
    }
}

// Windows come and go while the tests look at them; a vanished window simply
// reads as having no title or class.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

Atom Intern(Display* display, const char* name) { return XInternAtom(display, name, False); }

// An 8-bit property's bytes; empty when the window has none.
std::string TextProperty(Display* display, XWindow window, const char* name) {
    XTextProperty text{};
    std::string value;
    if (XGetTextProperty(display, window, &text, Intern(display, name)) && text.format == 8) {
        value.assign(reinterpret_cast<const char*>(text.value), text.nitems);
    }
    if (text.value) XFree(text.value);
    return value;
}

// Client windows sit directly under the root, or under a window manager's frames.
void CollectProgramWindows(Display* display, XWindow parent, int depth, std::vector<XWindow>& out) {
    XWindow root = 0, itsParent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &itsParent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        // WM_CLASS: the instance and class names, each ending in a null.
        bool ours = TextProperty(display, children[i], "WM_CLASS") == std::string("poremisu\0poremisu\0", 18);
        if (ours && Viewable(display, children[i])) out.push_back(children[i]);
        if (!ours && depth < 3) CollectProgramWindows(display, children[i], depth + 1, out);
    }
    if (children) XFree(children);
}

// No key or mouse bindings, so Alt+Space reaches the program; new windows take
// the focus, as the keys the tests type must reach them.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <keyboard></keyboard><mouse></mouse>
</openbox_config>
)";

}  // namespace

bool Viewable(Display* display, XWindow window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
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

// Windows --------------------------------------------------------------------

std::vector<XWindow> ProgramWindows(Display* display) {
    std::vector<XWindow> found;
    CollectProgramWindows(display, DefaultRootWindow(display), 0, found);
    return found;
}

std::string WindowTitle(Display* display, XWindow window) {
    return TextProperty(display, window, "_NET_WM_NAME");
}

Rect ClientRect(Display* display, XWindow window) {
    XWindowAttributes attributes{};
    Rect rect;
    if (!XGetWindowAttributes(display, window, &attributes)) return rect;
    XWindow child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &rect.x, &rect.y, &child);
    rect.width = attributes.width;
    rect.height = attributes.height;
    return rect;
}

void SendClientMessage(Display* display, XWindow window, const char* type, std::vector<long> data, XWindow to) {
    XEvent event{.xclient = {ClientMessage, 0, False, display, window, Intern(display, type), 32, {}}};
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 5), event.xclient.data.l);
    long mask = to ? SubstructureRedirectMask | SubstructureNotifyMask : NoEventMask;
    XSendEvent(display, to ? to : window, False, mask, &event);
    XFlush(display);
}

void SendDeleteWindow(Display* display, XWindow window) {
    // data.l[1], the time: CurrentTime
    SendClientMessage(display, window, "WM_PROTOCOLS", {long(Intern(display, "WM_DELETE_WINDOW"))});
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
    XSetWMProtocols(m_display, m_window, &remove, 1);
    XMapWindow(m_display, m_window);
    XFlush(m_display);
    // Shown (and, with a window manager, taken over) before the test goes on.
    EXPECT_TRUE(WaitUntil(10s, [&] { return Viewable(m_display, m_window); })) << title << ": not shown";
    m_thread = std::thread([this, onClose, protocols, remove] {
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

// Loopback servers ---------------------------------------------------------------

SilentServer::SilentServer() {
    // Bound to a port of the system's choice; connections wait in the backlog, their requests unread
    // and unanswered.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || ::bind(m_listener, any, size) != 0 || ::getsockname(m_listener, any, &size) != 0 ||
        ::listen(m_listener, 64) != 0) {
        ADD_FAILURE() << "cannot listen on 127.0.0.1";
    }
    m_base = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

SilentServer::~SilentServer() {
    if (m_listener >= 0) ::close(m_listener);
}

// ProgramTest ----------------------------------------------------------------

void ProgramTest::SetUp() {
    // Orphans of the program (the web engine's processes) come to this
    // process, so that they can be ended by id and reaped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::string pattern = (fs::temp_directory_path() / "poremisu-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    m_folder = pattern;
    for (auto sub : {"program", "pages", "home", "work", "runtime"}) fs::create_directory(m_folder / sub);
    fs::permissions(m_folder / "runtime", fs::perms::owner_all);

    fs::copy_file(POREMISU_EXE, ProgramDir() / "poremisu");

    // Of the caller's environment only the search path: nothing ties the program to the caller's
    // session, display, locale or files.
    const char* path = std::getenv("PATH");
    std::string home = (m_folder / "home").string();
    m_environment = {"PATH=" + std::string(path ? path : "/usr/bin:/bin"), "HOME=" + home,
                     "XDG_CONFIG_HOME=" + home + "/.config", "XDG_CACHE_HOME=" + home + "/.cache",
                     "XDG_DATA_HOME=" + home + "/.local/share",
                     "XDG_RUNTIME_DIR=" + (m_folder / "runtime").string(), "LANG=C.UTF-8"};
    // KEY=VALUE lines of scripts/lib's environment files, root's only as root; a value the caller set wins.
    const fs::path lib = fs::path(POREMISU_SOURCE_DIR) / "scripts" / "lib";
    std::istringstream lines(ReadFile(lib / "headless.env") +
                             (::getuid() == 0 ? ReadFile(lib / "root.env") : ""));
    for (std::string line; std::getline(lines, line);) {
        const std::string key = line.substr(0, line.find('='));
        if (key.empty() || key[0] == '#' || key == line) continue;
        const char* set = std::getenv(key.c_str());
        m_environment.push_back(set ? key + "=" + set : line);
    }

    XSetErrorHandler(IgnoreXErrors);
    // Xvfb chooses a free display number and writes it to the descriptor it is given, a file's here,
    // above the descriptors its start sets up and not closed as it starts.
    const fs::path numberFile = m_folder / "display";
    int opened = ::open(numberFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    int fd = ::fcntl(opened, F_DUPFD, 10);
    ::close(opened);
    m_server = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fd), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"},
        m_environment, m_folder, m_folder / "xvfb.log");
    ::close(fd);
    std::string number;
    ASSERT_TRUE(WaitUntil(15s, [&] { return (number = ReadFile(numberFile)).find('\n') != std::string::npos; }))
        << "Xvfb gave no display number: " << m_server->Log();
    m_displayName = ":" + number.substr(0, number.find('\n'));
    m_display = XOpenDisplay(m_displayName.c_str());
    ASSERT_NE(m_display, nullptr) << "cannot open display " << m_displayName;
    m_environment.push_back("DISPLAY=" + m_displayName);
    if (m_manager != WindowManager::Openbox) return;

    // Openbox runs its start-up command once it has taken the screen over: from then on it frames
    // each window mapped.
    const fs::path config = m_folder / "openbox-rc.xml", ready = m_folder / "openbox-ready";
    WriteFile(config, kOpenboxConfig);
    m_openbox = std::make_unique<Process>(
        std::vector<std::string>{"openbox", "--sm-disable", "--config-file", config, "--startup",
                                 "touch " + ready.string()},
        m_environment, m_folder, m_folder / "openbox.log");
    ASSERT_TRUE(WaitUntil(15s, [&] { return fs::exists(ready); }))
        << "openbox did not start: " << m_openbox->Log();
}

void ProgramTest::TearDown() {
    // The last started ends first.
    while (!m_processes.empty()) m_processes.pop_back();
    if (m_display) XCloseDisplay(m_display);
    // The window manager before the X server, so it ends by its own request; then whatever else the
    // program left behind and this process adopted.
    m_openbox.reset();
    m_server.reset();
    EndByPid(DescendantsOf(::getpid()), 3s);
    std::error_code ignored;
    if (!m_folder.empty() && !std::getenv("POREMISU_E2E_KEEP")) fs::remove_all(m_folder, ignored);
}

bool ProgramTest::UseTestHooks([[maybe_unused]] int tickMs) {
#if defined(POREMISU_TESTHOOKS_EXE)
    fs::copy_file(POREMISU_TESTHOOKS_EXE, ProgramDir() / "poremisu", fs::copy_options::overwrite_existing);
    m_environment.push_back("POREMISU_TEST_TICK_MS=" + std::to_string(tickMs));
    return true;
#else
    return false;
#endif
}

Process& ProgramTest::Spawn(const std::vector<std::string>& arguments) {
    fs::path log = m_folder / ("process-" + std::to_string(m_processes.size() + 1) + ".log");
    return *m_processes.emplace_back(
        std::make_unique<Process>(arguments, m_environment, m_folder / "work", log));
}

void ProgramTest::SetEnvironment(const std::string& entry) {
    std::string key = entry.substr(0, entry.find('=') + 1);
    std::erase_if(m_environment, [&](const std::string& line) { return line.rfind(key, 0) == 0; });
    m_environment.push_back(entry);
}

Process& ProgramTest::Start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), (ProgramDir() / "poremisu").string());
    return Spawn(arguments);
}

XWindow ProgramTest::WaitForTitled(const std::string& title, milliseconds timeout) {
    XWindow found = 0;
    WaitUntil(timeout, [&] {
        for (XWindow window : ProgramWindows(X())) {
            if (!found && (title.empty() || WindowTitle(X(), window) == title)) found = window;
        }
        return found != 0;
    });
    if (!found) ADD_FAILURE() << "no window titled \"" << title << "\"\n" << Logs();
    return found;
}

bool ProgramTest::WaitForTitle(XWindow window, const std::string& expected, milliseconds timeout) {
    std::string title;
    if (WaitUntil(timeout, [&] { return (title = WindowTitle(X(), window)) == expected; })) return true;
    ADD_FAILURE() << "title \"" << title << "\", expected \"" << expected << "\"\n" << Logs();
    return false;
}

XWindow ProgramTest::StartOn(const std::string& url, const std::string& title, Process** program) {
    Process& started = Start({url});
    if (program) *program = &started;
    XWindow window = WaitForWindow();
    return window && WaitForTitle(window, BareTitle(title)) ? window : 0;
}

void ProgramTest::HandOff(const std::string& address) {
    EXPECT_EQ(Start({address}).WaitExit(30s), 0) << "the hand-off of " << address << " failed\n" << Logs();
}

std::string ProgramTest::WritePage(const std::string& fileName, const std::string& title,
                                   const std::string& background) {
    WriteFile(PagePath(fileName), "<!DOCTYPE html>\n<html style=\"background:" + background +
                                      "\"><head><meta charset=\"utf-8\"><title>" + title +
                                      "</title></head><body></body></html>\n");
    return PageUrl(fileName);
}

std::optional<std::string> ProgramTest::SettingsValue(const std::string& key) const {
    std::istringstream lines(Settings());
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

std::string ProgramTest::Logs() const {
    std::string out;
    for (const auto& process : m_processes) {
        std::string log = process->Log();
        if (log.size() > 3000) log = "..." + log.substr(log.size() - 3000);
        out += "--- process " + std::to_string(process->Pid()) + " ---\n" + log + "\n";
    }
    return out;
}

void ProgramTest::Xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    Process tool(arguments, m_environment, m_folder, m_folder / "xdotool.log");
    EXPECT_EQ(tool.WaitExit(30s), 0) << "xdotool failed: " << tool.Log();
}

void ProgramTest::Keys(const std::string& keys) {
    std::istringstream words(keys);
    for (std::string key; words >> key;) {
        Xdotool({"key", key});
        std::this_thread::sleep_for(100ms);
    }
}

void ProgramTest::PointAt(XWindow window, int x, int y) {
    Rect client = ClientRect(X(), window);
    Xdotool({"mousemove", "--sync", std::to_string(client.x + x), std::to_string(client.y + y)});
}

}  // namespace poremisu::e2e
