#include "e2e/Harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

extern char** environ;

namespace poremisu::e2e {

namespace fs = std::filesystem;

std::string BareTitle(const std::string& pageName) {
    return pageName + " - " + kProductWord + " > ";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool WaitUntil(milliseconds timeout, const std::function<bool()>& done) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

namespace {

// Parent of every process, read from /proc/<pid>/stat (the field after the name).
std::map<pid_t, pid_t> ParentsOfAll() {
    std::map<pid_t, pid_t> parents;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadFile(entry.path() / "stat");
        std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (rest >> state >> parent) parents[std::stoi(name)] = parent;
    }
    return parents;
}

std::vector<pid_t> ChildrenOf(pid_t pid, bool recursive) {
    std::map<pid_t, pid_t> parents = ParentsOfAll();
    std::vector<pid_t> found;
    std::vector<pid_t> frontier{pid};
    while (!frontier.empty()) {
        pid_t parent = frontier.back();
        frontier.pop_back();
        for (const auto& [child, itsParent] : parents) {
            if (itsParent != parent) continue;
            found.push_back(child);
            if (recursive) frontier.push_back(child);
        }
    }
    return found;
}

bool Gone(pid_t pid) {
    // A child of ours (adopted ones included) is reaped here; anything else is
    // gone once kill finds nothing.
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// TERM, a grace period, then KILL, for processes that are not tracked elsewhere.
void EndByPid(const std::vector<pid_t>& pids, milliseconds grace) {
    for (pid_t pid : pids) ::kill(pid, SIGTERM);
    WaitUntil(grace, [&] {
        for (pid_t pid : pids) {
            if (!Gone(pid)) return false;
        }
        return true;
    });
    for (pid_t pid : pids) {
        if (Gone(pid)) continue;
        ::kill(pid, SIGKILL);
        WaitUntil(2s, [&] { return Gone(pid); });
    }
}

// Moves a descriptor above the three standard ones and 3, which children get.
int HighDescriptor(int fd) {
    int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return high;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int IgnoreXErrors(Display*, XErrorEvent*) {
    // Windows come and go while the tests look at them; a vanished window
    // simply reads as having no title or class.
    return 0;
}

Atom Intern(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

bool HasProgramClass(Display* display, XWindow window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) return false;
    bool ours = hint.res_name && hint.res_class && std::strcmp(hint.res_name, "poremisu") == 0 &&
                std::strcmp(hint.res_class, "poremisu") == 0;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return ours;
}

bool IsShown(Display* display, XWindow window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// Client windows sit directly under the root, or under a window manager's frames.
void CollectProgramWindows(Display* display, XWindow parent, int depth, std::vector<XWindow>& out) {
    XWindow root = 0, itsParent = 0;
    XWindow* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &itsParent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        if (HasProgramClass(display, children[i])) {
            if (IsShown(display, children[i])) out.push_back(children[i]);
        } else if (depth < 3) {
            CollectProgramWindows(display, children[i], depth + 1, out);
        }
    }
    if (children) XFree(children);
}

std::string Tail(const std::string& text, std::size_t bytes) {
    return text.size() <= bytes ? text : "..." + text.substr(text.size() - bytes);
}

// KEY=VALUE lines of one of scripts/lib's environment files.
void AddEnvFile(const fs::path& path, std::vector<std::string>& environment) {
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#' || line.find('=') == std::string::npos) continue;
        std::string key = line.substr(0, line.find('='));
        // A value the caller set wins, as in the scripts.
        if (std::getenv(key.c_str())) continue;
        environment.push_back(line);
    }
}

}  // namespace

// Process ------------------------------------------------------------------

Process::Process(const Options& options) : m_log(options.log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (options.descriptor3 >= 0) posix_spawn_file_actions_adddup2(&actions, options.descriptor3, 3);
    if (!options.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());

    // The test process may block signals; its children start with none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> arguments = options.arguments;
    std::vector<std::string> environment = options.environment;
    std::vector<char*> argv = CStrings(arguments);
    std::vector<char*> envp = CStrings(environment);
    int error = posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        m_pid = -1;
        ADD_FAILURE() << "cannot start " << arguments[0] << ": " << std::strerror(error);
    }
}

Process::~Process() { Stop(); }

bool Process::Running() {
    if (m_pid < 0 || m_status) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<int> Process::WaitExit(milliseconds timeout) {
    WaitUntil(timeout, [&] { return !Running(); });
    return m_status;
}

void Process::Stop() {
    if (!Running()) return;
    // Its helpers (the web engine's processes) are ended with it; once their
    // parent is gone they are ours, since the tests adopt orphans.
    std::vector<pid_t> descendants = ChildrenOf(m_pid, true);
    ::kill(m_pid, SIGTERM);
    if (!WaitExit(5s)) {
        ::kill(m_pid, SIGKILL);
        WaitExit(5s);
    }
    EndByPid(descendants, 3s);
}

std::string Process::Log() const { return ReadFile(m_log); }

// Desktop ------------------------------------------------------------------

Desktop::Desktop(WindowManager manager, const fs::path& folder, const std::vector<std::string>& environment) {
    XSetErrorHandler(IgnoreXErrors);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return;
    }
    int readEnd = HighDescriptor(fds[0]);
    int writeEnd = HighDescriptor(fds[1]);
    // Xvfb chooses a free display number and writes it to descriptor 3.
    m_server = std::make_unique<Process>(Process::Options{
        {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
        environment, folder, folder / "xvfb.log", writeEnd});
    ::close(writeEnd);

    std::string number;
    auto deadline = Clock::now() + 15s;
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd readable{readEnd, POLLIN, 0};
        if (::poll(&readable, 1, 100) <= 0) continue;
        char buffer[32];
        ssize_t got = ::read(readEnd, buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(readEnd);
    if (number.find('\n') == std::string::npos) {
        ADD_FAILURE() << "Xvfb gave no display number: " << m_server->Log();
        return;
    }
    m_name = ":" + number.substr(0, number.find('\n'));
    m_display = XOpenDisplay(m_name.c_str());
    if (!m_display) {
        ADD_FAILURE() << "cannot open display " << m_name;
        return;
    }
    if (manager == WindowManager::Openbox) {
        std::vector<std::string> withDisplay = environment;
        withDisplay.push_back("DISPLAY=" + m_name);
        m_manager = std::make_unique<Process>(Process::Options{
            {"openbox", "--sm-disable"}, withDisplay, folder, folder / "openbox.log"});
        // Openbox announces itself before it takes windows over, and a window
        // mapped in between stays unmanaged: wait until a probe window gets a frame.
        bool ready = WaitUntil(15s, [&] {
            XWindow root = DefaultRootWindow(m_display);
            XWindow probe = XCreateSimpleWindow(m_display, root, 0, 0, 10, 10, 0, 0, 0);
            XMapWindow(m_display, probe);
            XFlush(m_display);
            bool framed = WaitUntil(1s, [&] {
                XWindow itsRoot = 0, parent = 0;
                XWindow* children = nullptr;
                unsigned count = 0;
                if (!XQueryTree(m_display, probe, &itsRoot, &parent, &children, &count)) return false;
                if (children) XFree(children);
                return parent != root;
            });
            XDestroyWindow(m_display, probe);
            XSync(m_display, False);
            return framed;
        });
        if (!ready) ADD_FAILURE() << "openbox did not start: " << m_manager->Log();
    }
}

Desktop::~Desktop() {
    if (m_display) XCloseDisplay(m_display);
    m_manager.reset();
    m_server.reset();
}

// Windows --------------------------------------------------------------------

std::vector<XWindow> ProgramWindows(Display* display) {
    std::vector<XWindow> found;
    CollectProgramWindows(display, DefaultRootWindow(display), 0, found);
    return found;
}

std::string WindowTitle(Display* display, XWindow window) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, Intern(display, "_NET_WM_NAME"), 0, 1 << 20, False,
                           Intern(display, "UTF8_STRING"), &type, &format, &items, &after, &data) == Success &&
        data && format == 8) {
        title.assign(reinterpret_cast<const char*>(data), items);
    }
    if (data) XFree(data);
    return title;
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

std::vector<std::uint32_t> Pixels(Display* display, XWindow window,
                                  const std::vector<std::pair<int, int>>& points) {
    std::vector<std::uint32_t> colours;
    for (auto [x, y] : points) {
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            colours.push_back(0xFFFFFFFFu);  // not readable: matches no colour
            continue;
        }
        unsigned long pixel = XGetPixel(image, 0, 0);
        auto channel = [&](unsigned long mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            return static_cast<std::uint32_t>((pixel >> shift) & 0xFF);
        };
        colours.push_back(channel(image->red_mask) << 16 | channel(image->green_mask) << 8 |
                          channel(image->blue_mask));
        XDestroyImage(image);
    }
    return colours;
}

void MoveResize(Display* display, XWindow window, const Rect& rect) {
    XMoveResizeWindow(display, window, rect.x, rect.y, static_cast<unsigned>(rect.width),
                      static_cast<unsigned>(rect.height));
    XFlush(display);
}

void SendDeleteWindow(Display* display, XWindow window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern(display, "WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(Intern(display, "WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// ProgramTest ----------------------------------------------------------------

void ProgramTest::SetUp() {
    // Orphans of the program (the web engine's processes) come to this
    // process, so that they can be ended by id and reaped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);

    std::string pattern = (fs::temp_directory_path() / "poremisu-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    m_folder = pattern;
    for (const char* sub : {"program", "pages", "home", "work"}) fs::create_directory(m_folder / sub);
    fs::create_directory(m_folder / "runtime");
    fs::permissions(m_folder / "runtime", fs::perms::owner_all);

    fs::path exe = POREMISU_EXE;
    ASSERT_TRUE(fs::exists(exe)) << exe;
    fs::copy_file(exe, ProgramDir() / "poremisu");
    fs::permissions(ProgramDir() / "poremisu", fs::perms::owner_all, fs::perm_options::add);
    fs::path readme = exe.parent_path() / "readme.txt";
    if (!fs::exists(readme)) readme = fs::path(POREMISU_SOURCE_DIR) / "resources" / "readme.txt";
    if (fs::exists(readme)) fs::copy_file(readme, ProgramDir() / "readme.txt");

    // The caller's environment, less what would tie the program to the
    // caller's session, display, locale or files.
    static const std::set<std::string> dropped = {
        "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME",
        "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "DBUS_SESSION_BUS_ADDRESS", "LANG", "LANGUAGE",
        "LC_ALL", "POREMISU_SCREENSHOT"};
    for (char** entry = environ; *entry; ++entry) {
        std::string line = *entry;
        std::string key = line.substr(0, line.find('='));
        if (dropped.count(key) || key.rfind("LC_", 0) == 0) continue;
        m_environment.push_back(line);
    }
    std::string home = (m_folder / "home").string();
    m_environment.insert(m_environment.end(),
                         {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                          "XDG_CACHE_HOME=" + home + "/.cache", "XDG_DATA_HOME=" + home + "/.local/share",
                          "XDG_RUNTIME_DIR=" + (m_folder / "runtime").string(), "LANG=C.UTF-8"});
    fs::path lib = fs::path(POREMISU_SOURCE_DIR) / "scripts" / "lib";
    if (::getuid() == 0) AddEnvFile(lib / "root.env", m_environment);
    AddEnvFile(lib / "headless.env", m_environment);

    m_desktop = std::make_unique<Desktop>(m_manager, m_folder, m_environment);
    ASSERT_NE(m_desktop->X(), nullptr);
    m_environment.push_back("DISPLAY=" + m_desktop->Name());
}

void ProgramTest::TearDown() {
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) (*it)->Stop();
    m_processes.clear();
    // Whatever else the program left behind and this process adopted, except
    // the X server and the window manager, which the desktop ends itself.
    std::vector<pid_t> adopted = ChildrenOf(::getpid(), false);
    std::erase_if(adopted, [](pid_t pid) {
        std::string name = ReadFile("/proc/" + std::to_string(pid) + "/comm");
        return name.rfind("Xvfb", 0) == 0 || name.rfind("openbox", 0) == 0;
    });
    EndByPid(adopted, 3s);
    m_desktop.reset();
    if (!m_folder.empty() && !std::getenv("POREMISU_E2E_KEEP")) {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
}

Process& ProgramTest::Start(const std::vector<std::string>& arguments) {
    Process::Options options;
    options.arguments.push_back((ProgramDir() / "poremisu").string());
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.environment = m_environment;
    options.directory = m_folder / "work";
    options.log = m_folder / ("poremisu-" + std::to_string(m_processes.size() + 1) + ".log");
    m_processes.push_back(std::make_unique<Process>(options));
    return *m_processes.back();
}

XWindow ProgramTest::WaitForWindow(milliseconds timeout) {
    std::vector<XWindow> windows;
    if (!WaitUntil(timeout, [&] { return !(windows = ProgramWindows(X())).empty(); })) {
        ADD_FAILURE() << "no window of the program appeared\n" << Logs();
        return 0;
    }
    return windows.front();
}

bool ProgramTest::WaitForTitle(XWindow window, const std::string& expected, milliseconds timeout) {
    std::string title;
    if (WaitUntil(timeout, [&] { return (title = WindowTitle(X(), window)) == expected; })) return true;
    ADD_FAILURE() << "title \"" << title << "\", expected \"" << expected << "\"\n" << Logs();
    return false;
}

std::string ProgramTest::WritePage(const std::string& fileName, const std::string& title,
                                   const std::string& background) {
    WriteFile(PagePath(fileName), "<!DOCTYPE html>\n<html style=\"background:" + background +
                                      "\"><head><meta charset=\"utf-8\"><title>" + title +
                                      "</title></head><body></body></html>\n");
    return PageUrl(fileName);
}

fs::path ProgramTest::PagePath(const std::string& fileName) const { return m_folder / "pages" / fileName; }

std::string ProgramTest::PageUrl(const std::string& fileName) const {
    return "file://" + PagePath(fileName).string();
}

std::optional<std::string> ProgramTest::SettingsValue(const std::string& key) const {
    std::istringstream lines(Settings());
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

std::string ProgramTest::Logs() const {
    std::string out;
    for (const auto& process : m_processes) {
        out += "--- poremisu process " + std::to_string(process->Pid()) + " ---\n";
        out += Tail(process->Log(), 3000) + "\n";
    }
    return out;
}

}  // namespace poremisu::e2e
