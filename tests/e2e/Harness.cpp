#include "e2e/Harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "ui/CommandTable.h"

namespace poremisu::e2e {

namespace fs = std::filesystem;

std::string MenuBarKeys(int command) {
    int menu = -1, item = 0;
    for (const MenuRow& row : MainMenuRows()) {
        if (row.kind == MenuRowKind::Separator) continue;
        if (row.level == 0) ++menu, item = 0;
        if (row.level == 1) ++item;
        if (row.id != command || row.level != 1) continue;
        std::string keys = "F10";
        for (int i = 0; i < menu; ++i) keys += " Right";
        for (int i = 0; i < item; ++i) keys += " Down";
        return keys + " Return";
    }
    ADD_FAILURE() << "no menu item " << command;
    return "";
}

namespace {

// Windows come and go while the tests look at them; a vanished window simply
// reads as having no title or class.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

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

}  // namespace

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

void SendDeleteWindow(Display* display, XWindow window) {
    // data.l[1], the time: CurrentTime
    SendClientMessage(display, window, "WM_PROTOCOLS", {long(Intern(display, "WM_DELETE_WINDOW"))});
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
    // KEY=VALUE lines of scripts/lib's environment file; a value the caller set wins.
    const fs::path lib = fs::path(POREMISU_SOURCE_DIR) / "scripts" / "lib";
    std::istringstream lines(ReadFile(lib / "headless.env"));
    for (std::string line; std::getline(lines, line);) {
        const std::string key = line.substr(0, line.find('='));
        if (key.empty() || key[0] == '#' || key == line) continue;
        const char* set = std::getenv(key.c_str());
        m_environment.push_back(set ? key + "=" + set : line);
    }

    XSetErrorHandler(IgnoreXErrors);
    m_x.emplace(m_folder, m_environment, m_manager);
    ASSERT_FALSE(DisplayName().empty());
    m_display = XOpenDisplay(DisplayName().c_str());
    ASSERT_NE(m_display, nullptr) << "cannot open display " << DisplayName();
    m_environment.push_back("DISPLAY=" + DisplayName());
    // On a Wayland desktop the program is told of it, as a session tells its programs.
    if (!m_x->WaylandSocket().empty()) m_environment.push_back("WAYLAND_DISPLAY=" + m_x->WaylandSocket());
}

void ProgramTest::TearDown() {
    // The last started ends first.
    while (!m_processes.empty()) m_processes.pop_back();
    if (m_display) XCloseDisplay(m_display);
    // The X server, its window manager first so that it ends by its own request; then whatever else
    // the program left behind and this process adopted.
    m_x.reset();
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
    if (!window || !WaitForTitle(window, BareTitle(title))) return 0;
    // A page slower to come than a fast idle watchdog finds its window minimised already; shown again,
    // the window counts anew.
    if (Iconic(X(), window)) Xdotool({"windowactivate", "--sync", std::to_string(window)});
    return window;
}

void ProgramTest::HandOff(const std::string& address) {
    EXPECT_EQ(Start({address}).WaitExit(30s), 0) << "the hand-off of " << address << " failed\n" << Logs();
}

std::string ProgramTest::WritePage(const std::string& fileName, const std::string& title,
                                   const std::string& background) {
    WriteFile(PagePath(fileName), Page(title, "", background));
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
