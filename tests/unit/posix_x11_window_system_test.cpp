#include <gtest/gtest.h>
// Xlib's macros (None, Bool, Status) would clash with the test framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <future>
#include <optional>
#include <thread>

#include "app/Text.h"
#include "platform/gtk/X11WindowSystem.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A private X server, and optionally a window manager on it, for one suite.
class XServer {
public:
    explicit XServer(bool withWindowManager) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        m_server = ::fork();
        if (m_server == 0) {
            ::close(pipeFds[0]);
            QuietChild();
            std::string fd = std::to_string(pipeFds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
                     "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string number;
        auto deadline = Clock::now() + 15s;
        while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
            pollfd ready{pipeFds[0], POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            char buffer[16];
            ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(pipeFds[0]);
        if (number.find('\n') == std::string::npos) return;
        m_name = ":" + number.substr(0, number.find('\n'));
        if (withWindowManager) StartWindowManager();
    }

    ~XServer() {
        Stop(m_windowManager);
        Stop(m_server);
    }

    const std::string& Name() const { return m_name; }
    bool Ready() const { return !m_name.empty(); }

private:
    static void QuietChild() {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }

    void StartWindowManager() {
        m_windowManager = ::fork();
        if (m_windowManager == 0) {
            QuietChild();
            ::setenv("DISPLAY", m_name.c_str(), 1);
            ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Ready once it names its check window on the root.
        Display* display = XOpenDisplay(m_name.c_str());
        if (!display) return;
        Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        auto deadline = Clock::now() + 15s;
        bool ready = false;
        while (!ready && Clock::now() < deadline) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                   &format, &items, &after, &data) == Success &&
                data) {
                ready = items == 1;
                XFree(data);
            }
            if (!ready) std::this_thread::sleep_for(50ms);
        }
        XCloseDisplay(display);
        if (!ready) m_name.clear();
        std::this_thread::sleep_for(200ms);
    }

    static void Stop(pid_t& pid) {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        auto deadline = Clock::now() + 3s;
        while (::waitpid(pid, nullptr, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid = -1;
    }

    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_name;
};

struct WindowSpec {
    std::optional<std::string> netName;       // _NET_WM_NAME, UTF-8
    std::optional<std::string> latin1Name;    // WM_NAME as STRING
    std::optional<std::string> compoundName;  // WM_NAME as COMPOUND_TEXT, given in UTF-8
    std::optional<std::pair<std::string, std::string>> wmClass;
    bool deleteProtocol = false;
    bool mapped = true;

    WindowSpec Net(std::string name) const {
        auto s = *this;
        s.netName = std::move(name);
        return s;
    }
    WindowSpec Latin1(std::string name) const {
        auto s = *this;
        s.latin1Name = std::move(name);
        return s;
    }
    WindowSpec Compound(std::string name) const {
        auto s = *this;
        s.compoundName = std::move(name);
        return s;
    }
    WindowSpec Class(std::string instance, std::string name) const {
        auto s = *this;
        s.wmClass = std::pair{std::move(instance), std::move(name)};
        return s;
    }
    WindowSpec TakesDelete() const {
        auto s = *this;
        s.deleteProtocol = true;
        return s;
    }
    WindowSpec Hidden() const {
        auto s = *this;
        s.mapped = false;
        return s;
    }
};

WindowSpec Titled(std::string name) { return WindowSpec().Net(std::move(name)); }

Atom Intern(Display* display, const char* name) { return XInternAtom(display, name, False); }

Window MakeWindow(Display* display, const WindowSpec& spec) {
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 120, 80, 0, 0, 0);
    if (spec.netName) {
        XChangeProperty(display, window, Intern(display, "_NET_WM_NAME"), Intern(display, "UTF8_STRING"), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(spec.netName->data()),
                        static_cast<int>(spec.netName->size()));
    }
    if (spec.latin1Name) {
        XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(spec.latin1Name->data()),
                        static_cast<int>(spec.latin1Name->size()));
    }
    if (spec.compoundName) {
        std::string name = *spec.compoundName;
        char* list[] = {name.data()};
        XTextProperty text{};
        if (Xutf8TextListToTextProperty(display, list, 1, XCompoundTextStyle, &text) == Success) {
            XSetWMName(display, window, &text);
            XFree(text.value);
        }
    }
    if (spec.wmClass) {
        auto [instance, name] = *spec.wmClass;
        XClassHint hint{instance.data(), name.data()};
        XSetClassHint(display, window, &hint);
    }
    if (spec.deleteProtocol) {
        Atom deleteWindow = Intern(display, "WM_DELETE_WINDOW");
        XSetWMProtocols(display, window, &deleteWindow, 1);
    }
    if (spec.mapped) XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// A window of another client that answers on a thread of its own, as a
// running instance or a browser window would.
class Receiver {
public:
    enum class Behaviour { AckHandOff, AckWrongToken, CloseOnDelete, HideOnDelete };

    Receiver(const std::string& displayName, Behaviour behaviour, WindowSpec spec) : m_behaviour(behaviour) {
        std::promise<Window> created;
        auto window = created.get_future();
        m_thread = std::thread([this, displayName, spec, &created] { Run(displayName, spec, created); });
        m_window = window.get();
    }
    ~Receiver() {
        m_stop = true;
        m_thread.join();
    }

    Window Id() const { return m_window; }
    int Commands() const { return m_commands; }
    long LastToken() const { return m_lastToken; }
    bool Closed() const { return m_closed; }

private:
    void Run(const std::string& displayName, const WindowSpec& spec, std::promise<Window>& created) {
        Display* display = XOpenDisplay(displayName.c_str());
        if (!display) {
            created.set_value(0);
            return;
        }
        Window window = MakeWindow(display, spec);
        Atom command = Intern(display, kHandOffMessageType);
        Atom ack = Intern(display, kHandOffAckProperty);
        Atom protocols = Intern(display, "WM_PROTOCOLS");
        Atom deleteWindow = Intern(display, "WM_DELETE_WINDOW");
        created.set_value(window);
        while (!m_stop) {
            pollfd ready{ConnectionNumber(display), POLLIN, 0};
            ::poll(&ready, 1, 20);
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type != ClientMessage) continue;
                if (event.xclient.message_type == command && event.xclient.data.l[0] == kHandOffCommand) {
                    ++m_commands;
                    m_lastToken = event.xclient.data.l[1];
                    long answer = m_lastToken + (m_behaviour == Behaviour::AckWrongToken ? 1 : 0);
                    if (m_behaviour == Behaviour::AckHandOff || m_behaviour == Behaviour::AckWrongToken) {
                        XChangeProperty(display, window, ack, XA_CARDINAL, 32, PropModeReplace,
                                        reinterpret_cast<unsigned char*>(&answer), 1);
                    }
                } else if (event.xclient.message_type == protocols &&
                           static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow && !m_closed) {
                    if (m_behaviour == Behaviour::CloseOnDelete) {
                        XDestroyWindow(display, window);
                        m_closed = true;
                    } else if (m_behaviour == Behaviour::HideOnDelete) {
                        XWithdrawWindow(display, window, DefaultScreen(display));
                        m_closed = true;
                    }
                }
                XFlush(display);
            }
        }
        XCloseDisplay(display);
    }

    Behaviour m_behaviour;
    std::thread m_thread;
    Window m_window = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_commands{0};
    std::atomic<long> m_lastToken{0};
    std::atomic<bool> m_closed{false};
};

template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = 5s) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::ptrdiff_t Position(const std::vector<WindowId>& windows, Window window) {
    auto found = std::find(windows.begin(), windows.end(), window);
    return found == windows.end() ? -1 : found - windows.begin();
}

class X11Test : public ::testing::Test {
protected:
    // Titles are checked in a UTF-8 locale, where they pass unchanged.
    static void StartServer(std::unique_ptr<XServer>& server, bool withWindowManager) {
        XInitThreads();
        s_savedLocale = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, "C.UTF-8");
        server = std::make_unique<XServer>(withWindowManager);
    }

    static void StopServer(std::unique_ptr<XServer>& server) {
        server.reset();
        std::setlocale(LC_ALL, s_savedLocale.c_str());
    }

    static inline std::string s_savedLocale;

    void Begin(const std::unique_ptr<XServer>& server) {
        if (!server || !server->Ready()) GTEST_SKIP() << "no X server could be started";
        m_driver = XOpenDisplay(server->Name().c_str());
        ASSERT_NE(m_driver, nullptr);
        m_windows = std::make_unique<X11WindowSystem>(server->Name());
        ASSERT_TRUE(m_windows->Connected());
        m_name = server->Name();
    }

    void TearDown() override {
        m_windows.reset();
        if (m_driver) XCloseDisplay(m_driver);  // its windows go with it
    }

    Window Make(const WindowSpec& spec) {
        Window window = MakeWindow(m_driver, spec);
        WaitManaged(window);
        return window;
    }

public:
    // Under a window manager a new window counts once the manager lists it.
    void WaitManaged(Window window) {
        if (!m_managed) return;
        EXPECT_TRUE(Eventually([&] { return Position(m_windows->TopLevelWindows(), window) >= 0; }));
    }

protected:
    // Asks the manager to bring the window forward, as a pager would.
    void Activate(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = Intern(m_driver, "_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        XSendEvent(m_driver, DefaultRootWindow(m_driver), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(m_driver, False);
    }

    void SetIconic(Window window) {
        long state[2] = {IconicState, 0};
        Atom wmState = Intern(m_driver, "WM_STATE");
        XChangeProperty(m_driver, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
        XSync(m_driver, False);
    }

    Display* m_driver = nullptr;
    std::unique_ptr<X11WindowSystem> m_windows;
    std::string m_name;
    bool m_managed = false;
};

class X11WithoutManager : public X11Test {
protected:
    static void SetUpTestSuite() { StartServer(s_server, false); }
    static void TearDownTestSuite() { StopServer(s_server); }
    void SetUp() override { Begin(s_server); }
    static std::unique_ptr<XServer> s_server;
};
std::unique_ptr<XServer> X11WithoutManager::s_server;

class X11WithManager : public X11Test {
protected:
    static void SetUpTestSuite() { StartServer(s_server, true); }
    static void TearDownTestSuite() { StopServer(s_server); }
    void SetUp() override {
        m_managed = true;
        Begin(s_server);
    }
    static std::unique_ptr<XServer> s_server;
};
std::unique_ptr<XServer> X11WithManager::s_server;

const std::string kJapanese(Utf8(u8"日本語のタイトル - ぽれみす"));

TEST_F(X11WithoutManager, StackingOrderTopFirstShownOnly) {
    Window a = Make(Titled("a"));
    Window b = Make(Titled("b"));
    Window c = Make(Titled("c"));
    Window hidden = Make(Titled("hidden").Hidden());
    auto windows = m_windows->TopLevelWindows();
    EXPECT_LT(Position(windows, c), Position(windows, b));
    EXPECT_LT(Position(windows, b), Position(windows, a));
    EXPECT_EQ(Position(windows, hidden), -1);
    EXPECT_EQ(Position(windows, c), 0);

    XRaiseWindow(m_driver, a);
    XSync(m_driver, False);
    windows = m_windows->TopLevelWindows();
    EXPECT_EQ(Position(windows, a), 0);
    EXPECT_LT(Position(windows, c), Position(windows, b));
}

TEST_F(X11WithManager, StackingOrderFromTheManagersList) {
    Window a = Make(Titled("a"));
    Window b = Make(Titled("b"));
    auto windows = m_windows->TopLevelWindows();
    // The managed windows themselves are listed, not their frames.
    ASSERT_GE(Position(windows, a), 0);
    ASSERT_GE(Position(windows, b), 0);

    // Where a manager puts a new window is its own choice; one it activates
    // goes on top.
    for (Window top : {a, b, a}) {
        Window other = top == a ? b : a;
        Activate(top);
        EXPECT_TRUE(Eventually([&] {
            auto now = m_windows->TopLevelWindows();
            return Position(now, top) == 0 && Position(now, other) == 1;
        })) << (top == a ? "a" : "b")
            << " on top";
    }
}

struct TitleCase {
    const char* name;
    WindowSpec spec;
    std::size_t count;
    std::string expected;
};

void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.name; }

class X11Titles : public X11WithoutManager, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(X11Titles, ReadsTheTitleInTheCodePage) {
    const TitleCase& c = GetParam();
    Window window = Make(c.spec);
    EXPECT_EQ(m_windows->Title(window, c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, X11Titles,
    ::testing::Values(
        TitleCase{"Utf8Japanese", Titled(kJapanese), 60000, kJapanese},
        TitleCase{"NetNameBeforeLegacyName", Titled(kJapanese).Latin1("legacy"), 60000, kJapanese},
        TitleCase{"Latin1Fallback", WindowSpec().Latin1("Caf\xE9 Internet Explorer"), 60000,
                  std::string(Utf8(u8"Café Internet Explorer"))},
        TitleCase{"CompoundTextFallback", WindowSpec().Compound(kJapanese), 60000, kJapanese},
        TitleCase{"NoTitle", WindowSpec(), 60000, ""},
        TitleCase{"CutToCountMinusOne", Titled("0123456789"), 5, "0123"},
        TitleCase{"CutBeforeAPartCharacter", Titled(std::string(Utf8(u8"あいう"))), 5,
                  std::string(Utf8(u8"あ"))},
        TitleCase{"CountOneIsEmpty", Titled("abc"), 1, ""},
        TitleCase{"EndsAtAZeroByte", Titled(std::string("ab\0cd", 5)), 100, "ab"},
        TitleCase{"LongTitleCut", Titled(std::string(70000, 't')), 59999, std::string(59998, 't')}),
    [](const ::testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.name); });

TEST_F(X11WithoutManager, HugeTitleIsReadOnlyAsFarAsNeeded) {
    std::string title(10u << 20, 'x');
    title.replace(580, 17, "Internet Explorer");
    Window window = Make(Titled(title));
    EXPECT_EQ(m_windows->Title(window, 600), title.substr(0, 599));
    EXPECT_EQ(m_windows->Title(window, 59999), title.substr(0, 59998));
    // Fetching all 10 MB each time would take seconds.
    auto start = Clock::now();
    for (int i = 0; i < 50; ++i) m_windows->Title(window, 600);
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(X11WithoutManager, ProgramWindowByClass) {
    struct Case {
        std::optional<std::pair<std::string, std::string>> wmClass;
        bool expected;
    };
    const Case cases[] = {{std::pair{"poremisu", "poremisu"}, true},
                          {std::pair{"poremisu", "Poremisu"}, false},
                          {std::pair{"other", "poremisu"}, false},
                          {std::nullopt, false}};
    for (const Case& c : cases) {
        Window window = Make(c.wmClass ? Titled("ぽれみす").Class(c.wmClass->first, c.wmClass->second)
                                       : Titled("ぽれみす"));
        EXPECT_EQ(m_windows->IsProgramWindow(window), c.expected)
            << (c.wmClass ? c.wmClass->first + "/" + c.wmClass->second : "none");
    }
}

TEST_F(X11WithoutManager, VanishedWindowsAnswerEmpty) {
    Window window = Make(Titled("gone").Class("poremisu", "poremisu"));
    EXPECT_TRUE(m_windows->Exists(window));
    XDestroyWindow(m_driver, window);
    XSync(m_driver, False);
    EXPECT_FALSE(m_windows->Exists(window));
    EXPECT_FALSE(m_windows->Exists(0));
    EXPECT_EQ(m_windows->Title(window, 600), "");
    EXPECT_FALSE(m_windows->IsProgramWindow(window));
    auto start = Clock::now();
    m_windows->RequestClose(window, 2s);
    EXPECT_FALSE(m_windows->SendHandOff(window, 2s));
    EXPECT_LT(Clock::now() - start, 500ms);
}

TEST(X11WithoutDisplay, EveryAnswerIsEmpty) {
    X11WindowSystem windows(":4093");
    EXPECT_FALSE(windows.Connected());
    EXPECT_TRUE(windows.TopLevelWindows().empty());
    EXPECT_FALSE(windows.Exists(1));
    EXPECT_EQ(windows.Title(1, 600), "");
    EXPECT_FALSE(windows.IsProgramWindow(1));
    windows.RequestClose(1, 1s);
    EXPECT_FALSE(windows.SendHandOff(1, 1s));
}

void ExpectClosedByRequest(X11Test& test, X11WindowSystem& windows, const std::string& display) {
    // A window may answer by going away or by hiding itself.
    for (auto behaviour : {Receiver::Behaviour::CloseOnDelete, Receiver::Behaviour::HideOnDelete}) {
        Receiver receiver(display, behaviour, Titled("Internet Explorer").TakesDelete());
        test.WaitManaged(receiver.Id());
        auto start = Clock::now();
        windows.RequestClose(receiver.Id(), 5s);
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_TRUE(receiver.Closed());
        EXPECT_EQ(windows.Exists(receiver.Id()), behaviour == Receiver::Behaviour::HideOnDelete);
    }
}

void ExpectCloseTimesOut(X11Test& test, X11WindowSystem& windows, Window window) {
    auto start = Clock::now();
    windows.RequestClose(window, 600ms);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, 550ms);
    EXPECT_LT(waited, 2s);
    EXPECT_TRUE(windows.Exists(window));
    (void)test;
}

TEST_F(X11WithoutManager, RequestCloseOfAWindowThatAnswers) {
    ExpectClosedByRequest(*this, *m_windows, m_name);
}

TEST_F(X11WithManager, RequestCloseOfAWindowThatAnswers) { ExpectClosedByRequest(*this, *m_windows, m_name); }

TEST_F(X11WithoutManager, RequestCloseOfAWindowThatNeverAnswers) {
    ExpectCloseTimesOut(*this, *m_windows, Make(Titled("Internet Explorer").TakesDelete()));
    // Without a manager, a window that takes no close request is not asked.
    Window deaf = Make(Titled("Internet Explorer"));
    auto start = Clock::now();
    m_windows->RequestClose(deaf, 2s);
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(m_windows->Exists(deaf));
}

TEST_F(X11WithManager, RequestCloseOfAWindowThatNeverAnswers) {
    ExpectCloseTimesOut(*this, *m_windows, Make(Titled("Internet Explorer").TakesDelete()));
}

TEST_F(X11WithoutManager, HandOffRaisesSendsAndWaitsForTheAck) {
    Receiver receiver(m_name, Receiver::Behaviour::AckHandOff, Titled("ぽれみす"));
    Window above = Make(Titled("above"));
    ASSERT_EQ(Position(m_windows->TopLevelWindows(), above), 0);

    EXPECT_TRUE(m_windows->SendHandOff(receiver.Id(), 5s));
    EXPECT_EQ(receiver.Commands(), 1);
    EXPECT_NE(receiver.LastToken(), 0);
    EXPECT_EQ(Position(m_windows->TopLevelWindows(), receiver.Id()), 0);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_driver, &focus, &revert);
    EXPECT_EQ(focus, receiver.Id());

    // Each hand-off has a token of its own, so an old answer never counts.
    long first = receiver.LastToken();
    EXPECT_TRUE(m_windows->SendHandOff(receiver.Id(), 5s));
    EXPECT_EQ(receiver.Commands(), 2);
    EXPECT_NE(receiver.LastToken(), first);
}

TEST_F(X11WithoutManager, HandOffToAMinimisedWindowLeavesItInPlace) {
    Receiver receiver(m_name, Receiver::Behaviour::AckHandOff, Titled("ぽれみす"));
    SetIconic(receiver.Id());
    Window above = Make(Titled("above"));
    EXPECT_TRUE(m_windows->SendHandOff(receiver.Id(), 5s));
    EXPECT_EQ(receiver.Commands(), 1);
    EXPECT_EQ(Position(m_windows->TopLevelWindows(), above), 0);
}

TEST_F(X11WithoutManager, HandOffWithoutTheRightAckTimesOut) {
    Receiver wrong(m_name, Receiver::Behaviour::AckWrongToken, Titled("ぽれみす"));
    Window silent = Make(Titled("ぽれみす"));
    for (Window window : {wrong.Id(), silent}) {
        auto start = Clock::now();
        EXPECT_FALSE(m_windows->SendHandOff(window, 600ms));
        auto waited = Clock::now() - start;
        EXPECT_GE(waited, 550ms);
        EXPECT_LT(waited, 2s);
    }
    EXPECT_EQ(wrong.Commands(), 1);
}

TEST_F(X11WithManager, HandOffActivatesThroughTheManager) {
    Receiver receiver(m_name, Receiver::Behaviour::AckHandOff, Titled("ぽれみす"));
    WaitManaged(receiver.Id());
    Window above = Make(Titled("above"));
    Activate(above);
    ASSERT_TRUE(Eventually([&] { return Position(m_windows->TopLevelWindows(), above) == 0; }));
    EXPECT_TRUE(m_windows->SendHandOff(receiver.Id(), 5s));
    EXPECT_EQ(receiver.Commands(), 1);
    EXPECT_TRUE(Eventually([&] { return Position(m_windows->TopLevelWindows(), receiver.Id()) == 0; }));
}

TEST_F(X11WithManager, HandOffKeepsAMinimisedWindowMinimised) {
    Receiver receiver(m_name, Receiver::Behaviour::AckHandOff, Titled("ぽれみす"));
    WaitManaged(receiver.Id());
    XIconifyWindow(m_driver, receiver.Id(), DefaultScreen(m_driver));
    XSync(m_driver, False);
    auto iconic = [&] {
        Atom wmState = Intern(m_driver, "WM_STATE");
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        bool result = false;
        if (XGetWindowProperty(m_driver, receiver.Id(), wmState, 0, 2, False, wmState, &type, &format, &items,
                               &after, &data) == Success &&
            data) {
            result = items >= 1 && reinterpret_cast<long*>(data)[0] == IconicState;
            XFree(data);
        }
        return result;
    };
    ASSERT_TRUE(Eventually(iconic));
    EXPECT_TRUE(m_windows->SendHandOff(receiver.Id(), 5s));
    EXPECT_EQ(receiver.Commands(), 1);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(iconic());
}

}  // namespace
}  // namespace poremisu
