// The main window as a user drives it: the system menu's stand-in (Alt+Space
// and the page's context menu), the menu bar, the address dialog and the idle
// watchdog, with real key presses and pointer motion under openbox.

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

// Last: Xlib's macros (None, Bool, ...) must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace poremisu::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDialogTitle = "URL入力";
constexpr std::uint32_t kGreen = 0x00C000;
constexpr int kSlack = 3;  // pixels

// Openbox without key bindings, so Alt+Space reaches the program; new windows
// take the focus, as the keys the tests type must reach them.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
)";

// Keys typed into the menu bar: F10 opens its first menu, Right moves to the
// next one, Down walks the items (separators are skipped).
std::vector<std::string> MenuKeys(int menu, int item) {
    std::vector<std::string> keys{"F10"};
    for (int i = 0; i < menu; ++i) keys.push_back("Right");
    for (int i = 0; i <= item; ++i) keys.push_back("Down");
    keys.push_back("Return");
    return keys;
}
// "表示": menu消す, status, address bar, 全部消す, 全部表示.
const std::vector<std::string> kStatusItem = MenuKeys(1, 1);
const std::vector<std::string> kHideAllItem = MenuKeys(1, 3);
const std::vector<std::string> kShowAllItem = MenuKeys(1, 4);
// "履歴": タイトル履歴.
const std::vector<std::string> kTitleHistoryItem = MenuKeys(2, 0);

// What takes rows of the client area besides the page.
enum class View { Bare, Full, MenuOnly };

const char* Name(View view) {
    switch (view) {
    case View::Bare: return "bare";
    case View::Full: return "full";
    case View::MenuOnly: return "menu bar only";
    }
    return "?";
}

std::optional<long> CardinalProperty(Display* display, XWindow window, const char* name, Atom type,
                                     long index) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<long> value;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 8, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && format == 32 && count > static_cast<unsigned long>(index)) {
        value = reinterpret_cast<long*>(data)[index];
    }
    if (data) XFree(data);
    return value;
}

// WM_STATE as the window manager keeps it: 1 normal, 3 iconic.
std::optional<long> WmState(Display* display, XWindow window) {
    return CardinalProperty(display, window, "WM_STATE", XInternAtom(display, "WM_STATE", False), 0);
}

bool Iconic(Display* display, XWindow window) { return WmState(display, window) == 3; }

// The window with its window manager's decorations.
Rect FrameRect(Display* display, XWindow window) {
    Rect rect = ClientRect(display, window);
    long extents[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        extents[i] = CardinalProperty(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL, i).value_or(0);
    }
    rect.x -= static_cast<int>(extents[0]);
    rect.y -= static_cast<int>(extents[2]);
    rect.width += static_cast<int>(extents[0] + extents[1]);
    rect.height += static_cast<int>(extents[2] + extents[3]);
    return rect;
}

bool Viewable(Display* display, XWindow window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

class UiTest : public ProgramTest {
protected:
    UiTest() : ProgramTest(WindowManager::Off) {}

    // The idle timer's period for the test-hooks build, or 0 for the program itself.
    virtual int TickMs() const { return 0; }

    void SetUp() override {
        if (TickMs() > 0) {
#if defined(POREMISU_TESTHOOKS_EXE)
            // The program's environment is taken from this process's now.
            ::setenv("POREMISU_TEST_TICK_MS", std::to_string(TickMs()).c_str(), 1);
#else
            GTEST_SKIP() << "poremisu_testhooks is not built (configure with -DPOREMISU_TEST_HOOKS=ON)";
#endif
        }
        ProgramTest::SetUp();
        ::unsetenv("POREMISU_TEST_TICK_MS");
        if (HasFatalFailure()) return;
#if defined(POREMISU_TESTHOOKS_EXE)
        if (TickMs() > 0) {
            fs::copy_file(POREMISU_TESTHOOKS_EXE, ProgramDir() / "poremisu",
                          fs::copy_options::overwrite_existing);
        }
#endif
        StartOpenbox();
    }

    void TearDown() override {
        m_xdotool.reset();
        // Before the X server goes, so it ends by its own request.
        m_openbox.reset();
        ProgramTest::TearDown();
    }

    fs::path Folder() const { return ProgramDir().parent_path(); }

    std::vector<std::string> ToolEnvironment() const {
        std::string home = (Folder() / "home").string();
        const char* path = std::getenv("PATH");
        return {"DISPLAY=" + std::string(DisplayString(X())), "HOME=" + home,
                "XDG_CONFIG_HOME=" + home + "/.config", "XDG_CACHE_HOME=" + home + "/.cache",
                "PATH=" + std::string(path ? path : "/usr/bin:/bin")};
    }

    void StartOpenbox() {
        fs::path config = Folder() / "openbox-rc.xml";
        WriteFile(config, kOpenboxConfig);
        Process::Options options{{"openbox", "--sm-disable", "--config-file", config.string()},
                                 ToolEnvironment(), Folder(), Folder() / "openbox.log"};
        m_openbox = std::make_unique<Process>(options);
        // Openbox announces itself before it manages windows: wait until a probe gets a frame.
        Display* x = X();
        bool ready = WaitUntil(15s, [&] {
            XWindow root = DefaultRootWindow(x);
            XWindow probe = XCreateSimpleWindow(x, root, 0, 0, 10, 10, 0, 0, 0);
            XMapWindow(x, probe);
            XFlush(x);
            bool framed = WaitUntil(1s, [&] {
                XWindow itsRoot = 0, parent = 0;
                XWindow* children = nullptr;
                unsigned count = 0;
                if (!XQueryTree(x, probe, &itsRoot, &parent, &children, &count)) return false;
                if (children) XFree(children);
                return parent != root;
            });
            XDestroyWindow(x, probe);
            XSync(x, False);
            return framed;
        });
        ASSERT_TRUE(ready) << "openbox did not start: " << m_openbox->Log();
    }

    // Runs xdotool to its end.
    void Xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        Process tool(Process::Options{arguments, ToolEnvironment(), Folder(), Folder() / "xdotool.log"});
        EXPECT_EQ(tool.WaitExit(30s), 0) << "xdotool failed: " << tool.Log();
    }
    void Keys(const std::vector<std::string>& keys) {
        std::vector<std::string> arguments{"key", "--delay", "60"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Xdotool(arguments);
    }
    // Starts xdotool and leaves it running; ended with the test.
    Process& XdotoolInBackground(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        m_xdotool = std::make_unique<Process>(
            Process::Options{arguments, ToolEnvironment(), Folder(), Folder() / "xdotool-background.log"});
        return *m_xdotool;
    }

    // Starts the program on a green page and waits until it shows it, focused.
    XWindow StartOnGreenPage(Process** program = nullptr) {
        std::string url = WritePage("green.htm", "Green Page", "#00c000");
        Process& started = Start({url});
        if (program) *program = &started;
        XWindow window = WaitForWindow();
        if (!window || !WaitForTitle(window, BareTitle("Green Page")) || !WaitForFocus(window)) return 0;
        // The page's line in the history, which the counts of the tests start from.
        if (!WaitUntil(10s, [&] { return HistoryLines() == 1; })) {
            ADD_FAILURE() << "the start page was not logged once: " << History();
            return 0;
        }
        return window;
    }

    bool WaitForFocus(XWindow window) {
        XWindow root = DefaultRootWindow(X());
        auto active = [&] { return CardinalProperty(X(), root, "_NET_ACTIVE_WINDOW", XA_WINDOW, 0); };
        if (WaitUntil(10s, [&] { return active() == static_cast<long>(window); })) return true;
        ADD_FAILURE() << "the window did not get the focus";
        return false;
    }

    // The address dialog, once it is on screen.
    XWindow WaitForDialog() {
        XWindow found = 0;
        WaitUntil(15s, [&] {
            for (XWindow window : ProgramWindows(X())) {
                if (WindowTitle(X(), window) == kDialogTitle) found = window;
            }
            return found != 0;
        });
        if (!found) ADD_FAILURE() << "the address dialog did not open\n" << Logs();
        return found;
    }

    // The colours near the left edge at the top row, the middle and the bottom
    // row: clear of the address dialog, which opens over the middle.
    std::vector<std::uint32_t> Edges(XWindow window) {
        Rect client = ClientRect(X(), window);
        return Pixels(X(), window, {{8, 1}, {8, client.height / 2}, {8, client.height - 2}});
    }

    // Menu bar and status bar each take a row at an edge; the page fills the rest.
    bool WaitForView(XWindow window, View view) {
        bool pageAtTop = view == View::Bare;
        bool pageAtBottom = view != View::Full;
        std::vector<std::uint32_t> seen;
        if (WaitUntil(10s, [&] {
                seen = Edges(window);
                return (seen[0] == kGreen) == pageAtTop && seen[1] == kGreen &&
                       (seen[2] == kGreen) == pageAtBottom;
            })) {
            return true;
        }
        std::ostringstream colours;
        for (std::uint32_t colour : seen) colours << " #" << std::hex << colour;
        ADD_FAILURE() << "expected the " << Name(view) << " view; top, middle, bottom:" << colours.str();
        return false;
    }

    int HistoryLines() const {
        std::string history = History();
        return static_cast<int>(std::count(history.begin(), history.end(), '\n'));
    }

private:
    std::unique_ptr<Process> m_openbox;
    std::unique_ptr<Process> m_xdotool;
};

// Menus ------------------------------------------------------------------------

struct ViewStep {
    const char* what;
    std::vector<std::string> keys;
    View view;
    const char* title;  // the title expected at once, or nullptr when the step leaves it alone
};

TEST_F(UiTest, SystemMenuAndViewMenuMoveBetweenBareAndFullViews) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForView(window, View::Bare));

    const std::string bare = BareTitle("Green Page");
    const std::string shown = std::string("Green Page - ") + kProductWord;
    const std::vector<ViewStep> steps = {
        {"Alt+Space, MENU SET(&V)", {"alt+space", "v"}, View::Full, nullptr},
        // Hiding the status bar puts the title into its longer form at once.
        {"status (hide)", kStatusItem, View::MenuOnly, bare.c_str()},
        {"全部表示", kShowAllItem, View::Full, nullptr},
        {"全部消す", kHideAllItem, View::Bare, nullptr},
        {"Alt+Space, MENU SET(&V) again", {"alt+space", "v"}, View::Full, nullptr},
        {"status (hide)", kStatusItem, View::MenuOnly, bare.c_str()},
        {"status (show)", kStatusItem, View::Full, shown.c_str()},
    };
    for (const ViewStep& step : steps) {
        SCOPED_TRACE(step.what);
        Keys(step.keys);
        ASSERT_TRUE(WaitForView(window, step.view));
        if (step.title) {
            ASSERT_TRUE(WaitForTitle(window, step.title));
        }
    }
}

TEST_F(UiTest, TitleHistoryIsShownWithoutLoggingItselfAndTheNextPageIsLogged) {
    std::string blue = WritePage("blue.htm", "Blue Page", "#0000c0");
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    Keys({"alt+space", "v"});
    ASSERT_TRUE(WaitForView(window, View::Full));
    const int before = HistoryLines();

    // The history page has no title of its own: the title is the separator and the product word.
    Keys(kTitleHistoryItem);
    ASSERT_TRUE(WaitForTitle(window, std::string(" - ") + kProductWord));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(HistoryLines(), before) << History();

    // The next page, typed into the address dialog, is logged again.
    Keys({"alt+space", "u"});
    ASSERT_NE(WaitForDialog(), 0u);
    Keys({"Tab", "ctrl+a"});
    Xdotool({"type", "--delay", "5", blue});
    Keys({"shift+Tab", "Return"});  // back on GO, which Enter presses
    ASSERT_TRUE(WaitForTitle(window, std::string("Blue Page - ") + kProductWord));
    EXPECT_TRUE(WaitUntil(5s, [&] { return HistoryLines() == before + 1; })) << History();
    EXPECT_NE(History().find("<a href=\"" + blue + "\">Blue Page</a><br>\r\n"), std::string::npos)
        << History();
    EXPECT_EQ(History().find("WindowTitleHis.htm"), std::string::npos) << History();
}

// The address dialog ---------------------------------------------------------------

struct Opening {
    const char* name;
    bool contextMenu;  // the page's context menu, else Alt+Space
};

void PrintTo(const Opening& opening, std::ostream* out) { *out << opening.name; }

class AddressDialogOpening : public UiTest, public ::testing::WithParamInterface<Opening> {};

// Opened centred over the main window, with the focus on GO: Enter goes to the address shown.
TEST_P(AddressDialogOpening, EnterRightAfterOpeningLoadsTheAddressShown) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    const int before = HistoryLines();
    if (GetParam().contextMenu) {
        Rect client = ClientRect(X(), window);
        Xdotool({"mousemove", std::to_string(client.x + client.width / 3),
                 std::to_string(client.y + client.height / 3), "click", "3"});
        std::this_thread::sleep_for(500ms);
        Keys({"Down", "Return"});  // the first item: "URL入力 (&U)..."
    } else {
        Keys({"alt+space", "u"});
    }
    XWindow dialog = WaitForDialog();
    ASSERT_NE(dialog, 0u);
    ASSERT_TRUE(WaitForFocus(dialog));

    Rect owner = FrameRect(X(), window), box = FrameRect(X(), dialog);
    EXPECT_NEAR(box.x + box.width / 2, owner.x + owner.width / 2, kSlack);
    EXPECT_NEAR(box.y + box.height / 2, owner.y + owner.height / 2, kSlack);

    Keys({"Return"});
    EXPECT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); })) << "the dialog stayed open";
    EXPECT_TRUE(WaitUntil(10s, [&] { return HistoryLines() == before + 1; }))
        << "the page was not loaded again\n"
        << History();
    EXPECT_EQ(WindowTitle(X(), window), BareTitle("Green Page"));
}

INSTANTIATE_TEST_SUITE_P(From, AddressDialogOpening,
                         ::testing::Values(Opening{"ContextMenu", true}, Opening{"AltSpace", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UiTest, AddressDialogEscapeBringsTheMenuBarAndOnlyCancelEndsIt) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    const int before = HistoryLines();
    Keys({"alt+space", "u"});
    XWindow dialog = WaitForDialog();
    ASSERT_NE(dialog, 0u);
    ASSERT_TRUE(WaitForFocus(dialog));

    // Escape attaches the menu bar, nothing else; the dialog stays.
    Keys({"Escape"});
    ASSERT_TRUE(WaitForView(window, View::MenuOnly));
    EXPECT_TRUE(Viewable(X(), dialog));

    // The close box is refused.
    SendDeleteWindow(X(), dialog);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(Viewable(X(), dialog));

    // GO, address, cancel: cancel ends it without loading anything.
    Keys({"Tab", "Tab", "Return"});
    EXPECT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); })) << "cancel did not end the dialog";
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(HistoryLines(), before) << History();
    EXPECT_TRUE(WaitForView(window, View::MenuOnly));
}

// Closing with a box open -----------------------------------------------------------

enum class Box { AddressDialog, MessageBox };
enum class CloseBy { WindowManager, Terminate };

struct CloseCase {
    const char* name;
    Box box;
    CloseBy request;
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

class CloseWithBoxOpen : public UiTest, public ::testing::WithParamInterface<CloseCase> {
protected:
    // Opens the box and returns its window.
    XWindow OpenBox(XWindow window, Box box) {
        if (box == Box::AddressDialog) {
            Keys({"alt+space", "u"});
            return WaitForDialog();
        }
        // "履歴初期化" asks first, in a message box captioned with the product word.
        Keys({"alt+space", "v"});
        if (!WaitForView(window, View::Full)) return 0;
        Keys(MenuKeys(2, 1));
        XWindow found = 0;
        WaitUntil(15s, [&] {
            for (XWindow candidate : ProgramWindows(X())) {
                if (WindowTitle(X(), candidate) == kProductWord) found = candidate;
            }
            return found != 0;
        });
        if (!found) ADD_FAILURE() << "the message box did not open\n" << Logs();
        return found;
    }
};

// The box ends first, then the window closes as at any close request: the
// placement is saved and the program ends, no box left behind.
TEST_P(CloseWithBoxOpen, EndsTheBoxThenClosesAndSavesThePlacement) {
    const CloseCase& c = GetParam();
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    const std::string history = History();
    ASSERT_NE(OpenBox(window, c.box), 0u);
    ASSERT_FALSE(SettingsValue("win"));

    if (c.request == CloseBy::WindowManager) {
        SendDeleteWindow(X(), window);
    } else {
        ::kill(program->Pid(), SIGTERM);
    }
    EXPECT_EQ(program->WaitExit(15s), 0) << "the program did not end\n" << Logs();
    std::optional<std::string> placement = SettingsValue("win");
    ASSERT_TRUE(placement) << Settings();
    EXPECT_EQ(placement->rfind("0:1:", 0), 0u) << *placement;
    // The box ended as cancelled: the history was not reset.
    EXPECT_EQ(History(), history);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CloseWithBoxOpen,
    ::testing::Values(CloseCase{"DialogWindowManager", Box::AddressDialog, CloseBy::WindowManager},
                      CloseCase{"DialogSigterm", Box::AddressDialog, CloseBy::Terminate},
                      CloseCase{"MessageBoxWindowManager", Box::MessageBox, CloseBy::WindowManager}),
    [](const auto& info) { return std::string(info.param.name); });

// The idle watchdog -------------------------------------------------------------------

// One tick is 50 ms: minimised 56 ticks (2.8 s) after the last activity,
// closed 61 ticks (3.05 s) after the minimisation.
class WatchdogTest : public UiTest {
protected:
    int TickMs() const override { return 50; }
    static constexpr milliseconds kCloseAfterMinimise{61 * 50};
};

TEST_F(WatchdogTest, UntouchedWindowIsMinimisedThenClosedAndSavesItsPlacement) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised\n" << Logs();
    Clock::time_point minimised = Clock::now();

    // Re-showing the minimised window at later ticks must not restart the
    // count, or the close would never come.
    ASSERT_EQ(program->WaitExit(20s), 0) << "not closed after the minimisation\n" << Logs();
    EXPECT_GE(Clock::now() - minimised, kCloseAfterMinimise - 500ms)
        << "closed too early: the minimisation did not restart the count";
    std::optional<std::string> placement = SettingsValue("win");
    ASSERT_TRUE(placement) << Settings();
    EXPECT_EQ(placement->rfind("0:2:", 0), 0u)
        << "the saved placement is not the minimised one: " << *placement;
}

TEST_F(WatchdogTest, RestoringTheMinimisedWindowStartsTheCountAgain) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised\n" << Logs();

    // Half-way to the close, the user brings the window back.
    std::this_thread::sleep_for(1500ms);
    Xdotool({"windowactivate", std::to_string(window)});
    ASSERT_TRUE(WaitUntil(10s, [&] { return WmState(X(), window) == 1; })) << "not restored";
    Clock::time_point restored = Clock::now();
    // Counting from the restore, the window is minimised again after 56
    // ticks; counting on from the first minimisation, it would be 30 ticks earlier.
    ASSERT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window) || !program->Running(); }));
    EXPECT_TRUE(program->Running()) << "closed instead of being minimised again";
    EXPECT_GE(Clock::now() - restored, milliseconds(56 * 50) - 500ms)
        << "the restore did not restart the count";
}

// Input inside the page (the web view's own windows) counts as activity.
enum class PageInput { PointerMotion, Wheel, Keys };

void PrintTo(PageInput input, std::ostream* out) {
    *out << (input == PageInput::PointerMotion ? "PointerMotion"
             : input == PageInput::Wheel       ? "Wheel"
                                               : "Keys");
}

class WatchdogPageInput : public WatchdogTest, public ::testing::WithParamInterface<PageInput> {};

TEST_P(WatchdogPageInput, KeepsTheWindowOpen) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    Rect client = ClientRect(X(), window);
    const int x = client.x + client.width / 2, y = client.y + client.height / 2;

    // About 4 s of input over the page: 80 ticks, far past the minimisation's 56.
    std::vector<std::string> chain{"mousemove", std::to_string(x), std::to_string(y)};
    for (int i = 0; i < 80; ++i) {
        switch (GetParam()) {
        case PageInput::PointerMotion:
            chain.insert(chain.end(), {"mousemove", std::to_string(x + (i % 2) * 15), std::to_string(y)});
            break;
        case PageInput::Wheel: chain.insert(chain.end(), {"click", "--delay", "0", i % 2 ? "4" : "5"}); break;
        case PageInput::Keys: chain.insert(chain.end(), {"key", i % 2 ? "Up" : "Down"}); break;
        }
        chain.insert(chain.end(), {"sleep", "0.05"});
    }
    Process& input = XdotoolInBackground(chain);
    bool minimised = false;
    while (input.Running() && !minimised) {
        minimised = Iconic(X(), window);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(minimised) << "minimised during the input";
    EXPECT_TRUE(program->Running());

    // Once the input stops, the watchdog goes on as before.
    EXPECT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); }))
        << "not minimised after the input stopped";
}

INSTANTIATE_TEST_SUITE_P(Inputs, WatchdogPageInput,
                         ::testing::Values(PageInput::PointerMotion, PageInput::Wheel, PageInput::Keys),
                         [](const auto& info) {
                             std::ostringstream name;
                             PrintTo(info.param, &name);
                             return name.str();
                         });

TEST_F(WatchdogTest, CloseWithTheAddressDialogOpenEndsTheDialogFirst) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    Keys({"alt+space", "u"});
    ASSERT_NE(WaitForDialog(), 0u);

    // The open dialog changes nothing for the watchdog: minimised and closed as if untouched.
    EXPECT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised\n" << Logs();
    ASSERT_EQ(program->WaitExit(20s), 0) << "not closed with the dialog open\n" << Logs();
    std::optional<std::string> placement = SettingsValue("win");
    ASSERT_TRUE(placement) << Settings();
    EXPECT_EQ(placement->rfind("0:2:", 0), 0u) << *placement;
}

}  // namespace
}  // namespace poremisu::e2e
