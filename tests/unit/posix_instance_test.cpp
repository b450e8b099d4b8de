// The one instance and the hand-off on Linux: the instance and hand-off locks
// across processes, and the X11 window list a later start searches.

#include <gtest/gtest.h>
// Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <array>
#include <thread>
#include <type_traits>

#include "app/Text.h"
#include "e2e/PrivateX.h"
#include "platform/posix/PosixProcessServices.h"
#include "platform/x11/X11WindowSystem.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
const CodePage kUtf8("UTF-8");  // titles pass unchanged
using testing::Child;

template <typename Action>
Clock::duration Timed(Action action) {
    auto start = Clock::now();
    action();
    return Clock::now() - start;
}

// A running start holds both locks for 1.5 s: a later one sees it, waits for the hand-off lock only as
// long as its bound and then has none, and takes the instance once the holder ended within its wait.
TEST(ProcessServices, LocksLastAsLongAsTheirHolderAndAreWaitedForWithinTheBound) {
    test::TempDir runtime;
    test::ScopedEnvironment runtimeDir("XDG_RUNTIME_DIR", runtime.Path());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    Child holder([&] {
        PosixProcessServices services;
        auto lock = services.LockHandOff("poremisu");
        if (!lock || services.AcquireInstance("poremisu") != InstanceResult::First) return 1;
        if (services.AcquireInstance(std::string(300, 'p')) != InstanceResult::First) return 1;
        if (::write(ready[1], "1", 1) != 1) return 1;
        std::this_thread::sleep_for(1500ms);
        return 0;
    });
    ::close(ready[1]);  // a holder that failed closes the pipe's other end
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    PosixProcessServices later(300ms);
    EXPECT_EQ(later.AcquireInstance("poremisu"), InstanceResult::AlreadyExists);
    EXPECT_EQ(later.AcquireInstance("other"), InstanceResult::First) << "another name is another instance";
    // A name past what a file name holds still names its instance, and its hand-off lock.
    EXPECT_EQ(later.AcquireInstance(std::string(300, 'p')), InstanceResult::AlreadyExists);
    EXPECT_NE(later.LockHandOff(std::string(300, 'p')), nullptr);
    auto waited = Timed([&] { EXPECT_EQ(later.LockHandOff("poremisu"), nullptr); });
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 2s);
    EXPECT_EQ(later.AcquireInstance("poremisu", 3s), InstanceResult::First) << "a holder ending within the wait";
    // A name never leads out of the folder.
    std::string suffix = "-" + std::to_string(::getuid()) + ".lock";
    EXPECT_EQ(PosixProcessServices::LockPath("../../etc/passwd", ".lock"), runtime / (".._.._etc_passwd" + suffix));
    EXPECT_EQ(PosixProcessServices::LockPath("..", ".lock"), runtime / ("_.." + suffix));

    // Without a runtime folder, lock files go into a folder made for the user alone in the shared one:
    // a lock file someone else made and holds there, or in such a folder they made, shuts no start out.
    test::ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", std::nullopt), temp("TMPDIR", runtime.Path());
    const std::string own = runtime / ("poremisu" + suffix.substr(0, suffix.size() - 5));
    ASSERT_EQ(PosixProcessServices::LockPath("held", ".lock"), own + "/held" + suffix);
    EXPECT_EQ(std::filesystem::status(own).permissions(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(own, std::filesystem::perms::all);
    std::vector<int> held;
    for (const std::string& path : {runtime / ("held" + suffix), own + "/held" + suffix}) {
        held.push_back(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        EXPECT_EQ(::flock(held.back(), LOCK_EX), 0);
    }
    EXPECT_EQ(later.AcquireInstance("held"), InstanceResult::First);
    for (int fd : held) ::close(fd);
}

struct WindowShape {
    std::string net{};                    // _NET_WM_NAME in UTF-8, set when not empty
    std::optional<std::string> legacy{};  // WM_NAME in Latin-1
    std::string instance{}, klass{};      // WM_CLASS, set when not empty
    std::string copy{};                   // the program copy's mark, set when not empty
    bool takesDelete = false, mapped = true;
};

void SetText(Display* display, Window window, const char* property, Atom type, const std::string& text) {
    XChangeProperty(display, window, e2e::Intern(display, property), type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

std::ptrdiff_t Position(const std::vector<WindowId>& windows, Window window) {
    auto found = std::find(windows.begin(), windows.end(), window);
    return found == windows.end() ? -1 : found - windows.begin();
}

// Every case runs on a bare server, under a window manager that keeps the desktop conventions' lists,
// and under one that keeps none of them but frames every window.
template <typename Manager>
class X11 : public ::testing::Test {
protected:
    static constexpr e2e::WindowManager kManager = Manager::value;
    static void SetUpTestSuite() {
        XInitThreads();
        s_folder = std::make_unique<test::TempDir>();
        s_server = std::make_unique<e2e::XServer>(s_folder->Path(), std::vector<std::string>{}, kManager);
    }
    static void TearDownTestSuite() {
        s_server.reset();
        s_folder.reset();
    }
    void SetUp() override {
        if (s_server->Name().empty()) GTEST_SKIP() << "no X server could be started";
        m_driver = XOpenDisplay(s_server->Name().c_str());
        ASSERT_NE(m_driver, nullptr);
        m_windows = std::make_unique<X11WindowSystem>(kUtf8, s_server->Name());
    }
    void TearDown() override {
        m_windows.reset();
        if (m_driver) XCloseDisplay(m_driver);  // its windows go with it
    }

    // Under a window manager a new window counts once the manager lists it.
    Window Make(const WindowShape& shape) {
        Window window = XCreateSimpleWindow(m_driver, DefaultRootWindow(m_driver), 10, 10, 120, 80, 0, 0, 0);
        Atom utf8 = e2e::Intern(m_driver, "UTF8_STRING"), deleteWindow = e2e::Intern(m_driver, "WM_DELETE_WINDOW");
        if (!shape.net.empty()) SetText(m_driver, window, "_NET_WM_NAME", utf8, shape.net);
        if (shape.legacy) SetText(m_driver, window, "WM_NAME", XA_STRING, *shape.legacy);
        if (!shape.instance.empty()) {
            XClassHint hint{const_cast<char*>(shape.instance.c_str()), const_cast<char*>(shape.klass.c_str())};
            XSetClassHint(m_driver, window, &hint);
        }
        if (!shape.copy.empty()) SetText(m_driver, window, kInstanceProperty, XA_STRING, shape.copy);
        if (shape.takesDelete) XSetWMProtocols(m_driver, window, &deleteWindow, 1);
        if (shape.mapped) XMapWindow(m_driver, window);
        XSync(m_driver, False);
        auto listed = [&] { return Position(m_windows->TopLevelWindows(), window) >= 0; };
        EXPECT_TRUE(kManager == e2e::WindowManager::Off || !shape.mapped || e2e::WaitUntil(5s, listed));
        return window;
    }
    // Brings the window forward, through the manager as a pager would, or else its frame. A manager
    // may still be placing a new window: the request is repeated.
    bool BringToTop(Window window) {
        Window root = DefaultRootWindow(m_driver);
        return e2e::WaitUntil(5s, [&] {
            if (kManager == e2e::WindowManager::Openbox) {
                e2e::SendClientMessage(m_driver, window, "_NET_ACTIVE_WINDOW", {2}, root);
            } else {
                Window top = window, parent = window, *children = nullptr;
                for (unsigned count = 0; parent != root && XQueryTree(m_driver, top = parent, &root, &parent,
                                                                      &children, &count);) {
                    if (children) XFree(children);
                }
                XRaiseWindow(m_driver, top);
            }
            XSync(m_driver, False);
            return Position(m_windows->TopLevelWindows(), window) == 0;
        });
    }

    static inline std::unique_ptr<test::TempDir> s_folder;
    static inline std::unique_ptr<e2e::XServer> s_server;
    Display* m_driver = nullptr;
    std::unique_ptr<X11WindowSystem> m_windows;
};

template <e2e::WindowManager kManager>
using Manager = std::integral_constant<e2e::WindowManager, kManager>;
struct ManagerName {
    template <typename Manager>
    static std::string GetName(int) { return std::array{"Bare", "Openbox", "Twm"}[int(Manager::value)]; }
};
using Managers = ::testing::Types<Manager<e2e::WindowManager::Off>, Manager<e2e::WindowManager::Openbox>,
                                  Manager<e2e::WindowManager::Twm>>;
TYPED_TEST_SUITE(X11, Managers, ManagerName);

TYPED_TEST(X11, TitlesInTheCodePageAndTheProgramsClass) {
    const std::string japanese(Utf8(u8"日本語のタイトル - ぽれみす"));
    struct Case { WindowShape shape; std::size_t count; std::string expected; };
    const Case cases[] = {
        {{.net = japanese, .legacy = "legacy"}, 60000, japanese},
        {{.legacy = "Caf\xE9 Internet Explorer"}, 60000, std::string(Utf8(u8"Café Internet Explorer"))},
        {{}, 60000, ""},
        {{.net = std::string(70000, 't')}, 59999, std::string(59998, 't')},
    };
    auto& windows = *this->m_windows;
    for (const Case& c : cases) EXPECT_EQ(windows.Title(this->Make(c.shape), c.count), c.expected);

    // The class, and the mark of the asking copy of the program, exactly.
    const WindowShape classes[] = {{.instance = "poremisu", .klass = "poremisu", .copy = "poremisu-a1"},
                                   {.instance = "poremisu", .klass = "Poremisu", .copy = "poremisu-a1"},
                                   {.instance = "other", .klass = "poremisu", .copy = "poremisu-a1"},
                                   {.net = "poremisu", .copy = "poremisu-a1"},
                                   {.instance = "poremisu", .klass = "poremisu", .copy = "poremisu-a1b2"},
                                   {.instance = "poremisu", .klass = "poremisu"}};
    for (const WindowShape& shape : classes) {
        bool expected = &shape == classes;  // only the first
        EXPECT_EQ(windows.IsProgramWindow(this->Make(shape), "poremisu-a1"), expected)
            << shape.instance << "/" << shape.klass << "/" << shape.copy;
    }
    // A window gone meanwhile answers empty, at once.
    Window gone = this->Make(classes[0]);
    XDestroyWindow(this->m_driver, gone);
    XSync(this->m_driver, False);
    EXPECT_LT(Timed([&] {
        EXPECT_FALSE(windows.Exists(gone) || windows.IsProgramWindow(gone, "poremisu-a1") || windows.SendHandOff(gone, 2s));
        EXPECT_EQ(windows.Title(gone, 600), "");
        windows.RequestClose(gone, 2s);
    }), 500ms);
}

// A window of another client that answers, and one that never does. The window list is top first
// and holds shown windows only; a hand-off brings its window back to the top.
TYPED_TEST(X11, CloseRequestsAndHandOffsWaitForAnAnswerWithinTheBound) {
    auto& windows = *this->m_windows;
    e2e::StrayWindow answers(this->s_server->Name(), "ぽれみす - Internet Explorer", e2e::OnCloseRequest::Close);
    Window silent = this->Make({.net = "ぽれみす - Internet Explorer", .takesDelete = true});
    Window hidden = this->Make({.net = "hidden", .mapped = false});
    // A minimised window is listed still, in its frame hidden or not (nothing minimises without a manager).
    Window minimised = this->Make({.net = "minimised"});
    XIconifyWindow(this->m_driver, minimised, DefaultScreen(this->m_driver));
    EXPECT_TRUE(e2e::WaitUntil(5s, [&] {
        return this->kManager == e2e::WindowManager::Off || e2e::Iconic(this->m_driver, minimised);
    }));
    EXPECT_GE(Position(windows.TopLevelWindows(), minimised), 0);
    for (Window top : {silent, answers.Id(), silent}) {
        // The manager may take a moment more to list the other window below.
        ASSERT_TRUE(this->BringToTop(top));
        EXPECT_TRUE(e2e::WaitUntil(5s, [&] {
            auto now = windows.TopLevelWindows();
            return Position(now, top == silent ? answers.Id() : silent) > 0 && Position(now, hidden) == -1;
        }));
    }
    EXPECT_TRUE(windows.SendHandOff(answers.Id(), 5s));
    EXPECT_EQ(answers.HandOffs(), 1);
    EXPECT_TRUE(e2e::WaitUntil(5s, [&] { return Position(windows.TopLevelWindows(), answers.Id()) == 0; }));
    // Each hand-off has a token of its own, so an old answer never counts.
    long first = answers.LastToken();
    EXPECT_TRUE(windows.SendHandOff(answers.Id(), 5s));
    EXPECT_NE(answers.LastToken(), first);
    EXPECT_LT(Timed([&] { windows.RequestClose(answers.Id(), 5s); }), 3s);

    for (auto waited : {Timed([&] { EXPECT_FALSE(windows.SendHandOff(silent, 600ms)); }),
                        Timed([&] { windows.RequestClose(silent, 600ms); })}) {
        EXPECT_GE(waited, 550ms);
        EXPECT_LT(waited, 2s);
    }
    EXPECT_TRUE(windows.Exists(silent));
}

}  // namespace
}  // namespace poremisu
