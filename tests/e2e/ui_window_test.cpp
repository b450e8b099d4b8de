// The main window as a user drives it under openbox, with real key presses and pointer motion: the
// system menu's stand-in (Alt+Space and the page's context menu), the menu bar, the history page,
// the address dialog and the idle watchdog.

#include <signal.h>

#include <algorithm>

#include "e2e/Harness.h"

// Last: Xlib's macros (None, Bool, ...) must not reach the headers above.
#include <X11/Xlib.h>

namespace poremisu::e2e {
namespace {

constexpr const char* kDialogTitle = "URL入力";

// Keys through the menu bar: F10 opens its first menu, Right moves to the next one, Down walks the
// items (separators are skipped). "表示": menu消す, status, address bar, 全部消す, 全部表示.
constexpr const char* kStatusItem = "F10 Right Down Down Return";
constexpr const char* kHideAllItem = "F10 Right Down Down Down Down Return";
constexpr const char* kShowAllItem = "F10 Right Down Down Down Down Down Return";
// "履歴": タイトル履歴, 履歴初期化.
constexpr const char* kTitleHistoryItem = "F10 Right Right Down Return";
constexpr const char* kResetHistoryItem = "F10 Right Right Down Down Return";
constexpr const char* kMenuSet = "alt+space v", *kAddressDialog = "alt+space u";
// Whether the page shows at the top row, the middle and the bottom row of the
// client area: the menu bar and the status bar each take a row at an edge.
constexpr const char* kBare = "page page page ", *kFull = "bar page bar ", *kMenuOnly = "bar page page ";

// The first 32-bit item of a window's property, or -1.
long Property32(Display* display, XWindow window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long value = -1;
    Atom atom = XInternAtom(display, name, False), any = AnyPropertyType;
    if (XGetWindowProperty(display, window, atom, 0, 1, False, any, &type, &format, &count, &after, &data) ==
            Success && data && format == 32 && count) {
        value = *reinterpret_cast<long*>(data);
    }
    if (data) XFree(data);
    return value;
}

// WM_STATE as the window manager keeps it: 3 is iconic.
bool Iconic(Display* display, XWindow window) { return Property32(display, window, "WM_STATE") == 3; }

class UiTest : public ProgramTest {
protected:
    UiTest() : ProgramTest(WindowManager::Openbox) {}

    // Starts the program on a green page and waits until it shows it, focused and logged once.
    XWindow StartOnGreenPage(Process** program = nullptr, const std::string& title = "Green Page") {
        XWindow window = StartOn(WritePage("green.htm", title, "#00c000"), title, program);
        EXPECT_TRUE(window && Focused(window)) << "the window did not get the focus";
        EXPECT_TRUE(WaitUntil(10s, [&] { return HistoryLines() == 1; })) << "not logged once: " << History();
        return HasFailure() ? 0 : window;
    }

    bool Focused(XWindow window) {
        XWindow root = DefaultRootWindow(X());
        return WaitUntil(10s, [&] { return Property32(X(), root, "_NET_ACTIVE_WINDOW") == long(window); });
    }

    // The program's window titled `title` (the address dialog, a message box), once it is on screen.
    XWindow WaitForBox(const std::string& title) {
        XWindow found = 0;
        WaitUntil(15s, [&] {
            for (XWindow window : ProgramWindows(X())) {
                if (WindowTitle(X(), window) == title) found = window;
            }
            return found != 0;
        });
        if (!found) ADD_FAILURE() << "\"" << title << "\" did not open\n" << Logs();
        return found;
    }

    // The rows seen near the left edge (clear of the address dialog) once they are `rows`, or at 10 s.
    std::string Rows(XWindow window, const std::string& rows) {
        std::string seen;
        WaitUntil(10s, [&] {
            int height = ClientRect(X(), window).height;
            seen.clear();
            for (std::uint32_t colour : Pixels(X(), window, {{8, 1}, {8, height / 2}, {8, height - 2}})) {
                seen += colour == 0x00C000 ? "page " : "bar ";
            }
            return seen == rows;
        });
        return seen;
    }

    int HistoryLines() const { std::string h = History(); return int(std::count(h.begin(), h.end(), '\n')); }
};

// Menus --------------------------------------------------------------------------

TEST_F(UiTest, SystemMenuAndViewMenuMoveBetweenBareAndFullViews) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    ASSERT_EQ(Rows(window, kBare), kBare);
    // Hiding the status bar puts the title into its longer form at once, showing it the shorter.
    const std::string bare = BareTitle("Green Page"), shown = std::string("Green Page - ") + kProductWord;
    const std::vector<std::tuple<const char*, const char*, std::string>> steps = {
        {kMenuSet, kFull, ""},  // Alt+Space, MENU SET(&V)
        {kStatusItem, kMenuOnly, bare},
        {kStatusItem, kFull, shown},
        {kStatusItem, kMenuOnly, bare},
        {kShowAllItem, kFull, ""},
        {kHideAllItem, kBare, ""},
    };
    for (const auto& [keys, rows, title] : steps) {
        SCOPED_TRACE(keys);
        Keys(keys);
        ASSERT_EQ(Rows(window, rows), rows);
        if (!title.empty()) {
            ASSERT_TRUE(WaitForTitle(window, title));
        }
    }
}

// Markup that renames its page as soon as it is parsed as markup.
constexpr const char* kProbeName = "<img src=x onerror=document.title='pwned'>";
constexpr const char* kProbeEscaped = "&lt;img src=x onerror=document.title=&#39;pwned&#39;&gt;";

// The history page, from the menu bar: every completed page is a link on it,
// in order, and a page name is shown as text, never run as markup. The page
// itself is not logged; the next one, typed into the address dialog, is.
TEST_F(UiTest, TitleHistoryShowsThePagesAsTextWithoutLoggingItself) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    std::vector<std::string> urls{PageUrl("green.htm")};
    for (const std::string name : {"Tom's \"Q&A\" <Page>", kProbeName, "Last"}) {
        HandOff(urls.emplace_back(WritePage(std::to_string(urls.size()) + ".htm", name, "#00c000")));
        ASSERT_TRUE(WaitForTitle(window, BareTitle(name)));
    }
    Keys(kMenuSet);
    ASSERT_EQ(Rows(window, kFull), kFull);
    ASSERT_TRUE(WaitUntil(10s, [&] { return HistoryLines() == 4; })) << History();

    // The history page has no title of its own: the title is the separator and the product word.
    Keys(kTitleHistoryItem);
    ASSERT_TRUE(WaitForTitle(window, std::string(" - ") + kProductWord));
    std::this_thread::sleep_for(1s);
    std::string history = History();
    EXPECT_EQ(HistoryLines(), 4) << history;
    EXPECT_NE(history.find(kProbeEscaped), std::string::npos) << history;
    EXPECT_EQ(history.find(kProbeName), std::string::npos) << history;
    EXPECT_NE(history.find("Tom&#39;s &quot;Q&amp;A&quot; &lt;Page&gt;"), std::string::npos) << history;

    // Status bar off: the address of the link under the pointer goes to the title.
    Keys(kStatusItem);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("")));
    std::vector<std::string> shown;
    for (int y = 2; y < 260; y += 4) {
        PointAt(window, 20, y);
        std::this_thread::sleep_for(80ms);
        std::string title = WindowTitle(X(), window);
        ASSERT_EQ(title.rfind(BareTitle(""), 0), 0u) << "the page name ran as markup: " << title;
        std::string address = title.substr(BareTitle("").size());
        if (!address.empty() && (shown.empty() || shown.back() != address)) shown.push_back(address);
    }
    EXPECT_EQ(shown, urls);

    // The probe as markup, typed into the address dialog and sent with GO,
    // does rename its page: the probe would have shown it.
    WriteFile(PagePath("unescaped.htm"), std::string("<!DOCTYPE html><body>") + kProbeName + "</body>\n");
    Keys(kAddressDialog);
    ASSERT_NE(WaitForBox(kDialogTitle), 0u);
    Keys("Tab ctrl+a");
    Xdotool({"type", "--delay", "5", PageUrl("unescaped.htm")});
    Keys("shift+Tab Return");  // back on GO, which Enter presses
    EXPECT_TRUE(WaitForTitle(window, BareTitle("pwned")));
    EXPECT_TRUE(WaitUntil(5s, [&] { return History().find(PageUrl("unescaped.htm")) != std::string::npos; }))
        << History();
    EXPECT_EQ(History().find("WindowTitleHis.htm"), std::string::npos) << History();
}

// The sweep command, from the menu bar, on a desktop where the program's own
// title names the stray windows' mark too. Ignoring their requests keeps the
// stray windows in the walk, so the walk goes on to the program's window; twenty
// of them hold the window no more than about two seconds in all.
TEST_F(UiTest, SweepClosesOtherWindowsButNeverTheProgramsOwn) {
    std::vector<std::unique_ptr<StrayWindow>> strays;
    for (int i = 0; i < 20; ++i) {
        strays.push_back(std::make_unique<StrayWindow>(DisplayName(), "Stray " + std::to_string(i) +
                                                                          " - Internet Explorer",
                                                       OnCloseRequest::Ignore));
    }
    const std::string ownName = "Own page - Internet Explorer";
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program, ownName);
    ASSERT_NE(window, 0u);
    Keys(kMenuSet);
    ASSERT_EQ(Rows(window, kFull), kFull);
    // Help > Tabs? > close IE: the last menu of the bar, its fourth item, the second item of that.
    Keys("F10 Left Down Down Down Down Right Down Return");
    auto asked = [&] {
        return std::count_if(strays.begin(), strays.end(), [](auto& stray) { return stray->CloseRequests() >= 1; });
    };
    ASSERT_TRUE(WaitUntil(10s, [&] { return asked() >= 1; })) << "no sweep\n" << Logs();
    auto firstAsked = Clock::now();
    EXPECT_TRUE(WaitUntil(10s, [&] { return asked() == 20; })) << asked() << " asked\n" << Logs();
    EXPECT_LT(Clock::now() - firstAsked, 3500ms) << "the sweep held the window too long";

    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(program->Running()) << "the program closed its own window\n" << History();
    EXPECT_EQ(ProgramWindows(X()).size(), 1u);
    std::string history = History();
    for (int i = 0; i < 20; ++i) {
        std::string line = "(IE)\tStray " + std::to_string(i) + " - Internet Explorer\r\n";
        auto at = history.find(line);
        EXPECT_TRUE(at != std::string::npos && history.find(line, at + 1) == std::string::npos) << history;
    }
    EXPECT_EQ(history.find("(IE)\t" + ownName), std::string::npos) << history;
}

// The address dialog -----------------------------------------------------------------

class AddressDialogOpening : public UiTest, public ::testing::WithParamInterface<bool> {};

// Opened centred over the main window, with the focus on GO: Enter goes to the address shown.
TEST_P(AddressDialogOpening, EnterRightAfterOpeningLoadsTheAddressShown) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    if (GetParam()) {  // the first item of the page's context menu: "URL入力 (&U)..."
        PointAt(window, 200, 200);
        Xdotool({"click", "3"});
        std::this_thread::sleep_for(500ms);
        Keys("Down Return");
    } else {
        Keys(kAddressDialog);
    }
    XWindow dialog = WaitForBox(kDialogTitle);
    ASSERT_TRUE(dialog && Focused(dialog)) << "the dialog did not get the focus";
    // Both windows have the same decorations: their client areas share a centre as their frames do.
    Rect owner = ClientRect(X(), window), box = ClientRect(X(), dialog);
    EXPECT_NEAR(box.x + box.width / 2, owner.x + owner.width / 2, 3);
    EXPECT_NEAR(box.y + box.height / 2, owner.y + owner.height / 2, 3);

    Keys("Return");
    EXPECT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); })) << "the dialog stayed open";
    EXPECT_TRUE(WaitUntil(10s, [&] { return HistoryLines() == 2; })) << "not loaded again\n" << History();
    EXPECT_EQ(WindowTitle(X(), window), BareTitle("Green Page"));
}

INSTANTIATE_TEST_SUITE_P(From, AddressDialogOpening, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "ContextMenu" : "AltSpace"; });

// The box ends first, then the window closes as at any close request: the
// placement is saved and the program ends, no box left behind, and the box
// ended as cancelled (the history was not reset).
struct CloseCase {
    const char* name;
    bool messageBox;  // "履歴初期化"'s question, else the address dialog
    bool terminate;   // SIGTERM, else the window manager's close request
};

class CloseWithBoxOpen : public UiTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseWithBoxOpen, EndsTheBoxThenClosesAndSavesThePlacement) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    const std::string history = History();
    if (GetParam().messageBox) {
        Keys(kMenuSet);
        ASSERT_EQ(Rows(window, kFull), kFull);
        Keys(kResetHistoryItem);
    } else {
        Keys(kAddressDialog);
    }
    ASSERT_NE(WaitForBox(GetParam().messageBox ? kProductWord : kDialogTitle), 0u);
    ASSERT_FALSE(SettingsValue("win"));

    if (GetParam().terminate) {
        ::kill(program->Pid(), SIGTERM);
    } else {
        SendDeleteWindow(X(), window);
    }
    EXPECT_EQ(program->WaitExit(15s), 0) << "the program did not end\n" << Logs();
    EXPECT_EQ(SettingsValue("win").value_or("").rfind("0:1:", 0), 0u) << Settings();
    EXPECT_EQ(History(), history);
}

INSTANTIATE_TEST_SUITE_P(Requests, CloseWithBoxOpen,
                         ::testing::Values(CloseCase{"DialogWindowManager", false, false},
                                           CloseCase{"DialogSigterm", false, true},
                                           CloseCase{"MessageBoxWindowManager", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The idle watchdog ------------------------------------------------------------------

// One tick is 50 ms: minimised 56 ticks (2.8 s) after the last activity,
// closed 61 ticks (3.05 s) after the minimisation.
class WatchdogTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        if (!HasFatalFailure() && !UseTestHooks(50)) GTEST_SKIP() << "needs -DPOREMISU_TEST_HOOKS=ON";
    }
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
    EXPECT_GE(Clock::now() - minimised, milliseconds(61 * 50) - 500ms)
        << "closed too early: the minimisation did not restart the count";
    EXPECT_EQ(SettingsValue("win").value_or("").rfind("0:2:", 0), 0u)
        << "the saved placement is not the minimised one: " << Settings();
}

// Input inside the page (the web view's own windows) counts as activity.
class WatchdogPageInput : public WatchdogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WatchdogPageInput, KeepsTheWindowOpen) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    Rect client = ClientRect(X(), window);
    const int x = client.x + client.width / 2, y = client.y + client.height / 2;

    // About 4 s of input over the page: 80 ticks, far past the minimisation's 56.
    const std::string input = GetParam();
    std::vector<std::string> chain{"xdotool", "mousemove", std::to_string(x), std::to_string(y)};
    for (int i = 0; i < 80; ++i) {
        if (input == "PointerMotion") {
            chain.insert(chain.end(), {"mousemove", std::to_string(x + (i % 2) * 15), std::to_string(y)});
        }
        if (input == "Wheel") chain.insert(chain.end(), {"click", "--delay", "0", i % 2 ? "4" : "5"});
        if (input == "Keys") chain.insert(chain.end(), {"key", i % 2 ? "Up" : "Down"});
        chain.insert(chain.end(), {"sleep", "0.05"});
    }
    Process& tool = Spawn(chain);
    bool minimised = false;
    while (tool.Running() && !minimised) {
        minimised = Iconic(X(), window);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(minimised) << "minimised during the input";
    EXPECT_TRUE(program->Running());
    // Once the input stops, the watchdog goes on as before.
    EXPECT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised after the input";
}

INSTANTIATE_TEST_SUITE_P(Inputs, WatchdogPageInput, ::testing::Values("PointerMotion", "Wheel", "Keys"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace poremisu::e2e
