// The main window as a user drives it under openbox, with real key presses and pointer motion: the
// system menu's stand-in (Alt+Space and the page's context menu), the menu bar, the history page,
// the address dialog and the idle watchdog.

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "e2e/Harness.h"

// Last: Xlib's macros (None, Bool, ...) must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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
constexpr const char* kFull = "bar page bar ";

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

// The page fills exactly what the bars leave of the client area, after every change of the
// view, the window's size or state, a covering window and a hand-off, in one long session:
// a green page framed in red must show its frame on the edges of that rectangle.
// Each rectangle as the rows the bars take: above the page, below it.
struct Margins {
    int top = 0, bottom = 0;
    bool operator==(const Margins&) const = default;
};

constexpr std::uint32_t kFrame = 0xFF0000, kInside = 0x00C000;
constexpr int kFrameWidth = 4;

// "" when the client area shows the framed page between the margins, else what is wrong.
std::string CheckFramedPage(Display* display, XWindow window, Margins& margins) {
    Rect client = ClientRect(display, window);
    XImage* image = XGetImage(display, window, 0, 0, unsigned(client.width), unsigned(client.height), AllPlanes,
                              ZPixmap);
    if (!image) return "unreadable";
    auto at = [&](int x, int y) { return std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF); };
    const int w = client.width, h = client.height, mid = w / 2;
    int top = 0, bottom = h;
    while (top < h && at(mid, top) != kFrame) ++top;
    while (bottom > top && at(mid, bottom - 1) != kFrame) --bottom;
    std::ostringstream wrong;
    auto expect = [&](int x, int y, std::uint32_t colour) {
        if (wrong.tellp() == 0 && at(x, y) != colour) {
            wrong << std::hex << "pixel " << std::dec << x << "," << y << " is " << std::hex << at(x, y);
        }
    };
    for (int y = top; y < bottom; ++y) {
        bool edge = y < top + kFrameWidth || y >= bottom - kFrameWidth;
        expect(mid, y, edge ? kFrame : kInside);
        expect(0, y, kFrame);
        expect(w - 1, y, kFrame);
        if (!edge) expect(kFrameWidth, y, kInside), expect(w - 1 - kFrameWidth, y, kInside);
    }
    for (int x = 0; x < w; ++x) expect(x, top, kFrame), expect(x, bottom - 1, kFrame);
    // Outside the page only the bars, drawn: no black and nothing of the page.
    for (int y : {top - 1, bottom}) {
        if (y < 0 || y >= h) continue;
        for (int x = 0; x < w; x += 7) {
            std::uint32_t c = at(x, y);
            if (wrong.tellp() == 0 && (c == 0 || c == kFrame || c == kInside)) {
                wrong << "bar row " << y << " at " << x << " is " << std::hex << c;
            }
        }
    }
    XDestroyImage(image);
    margins = {top, h - bottom};
    std::string problem = wrong.str();
    return problem.empty() && bottom - top < 2 * kFrameWidth ? "no page" : problem;
}

TEST_F(UiTest, ThePageFillsWhatTheBarsLeaveAfterEveryChangeOfViewSizeAndState) {
    const std::string framed = "<div style=\"position:fixed;inset:0;border:4px solid #f00\"></div>";
    WriteFile(PagePath("framed.htm"), "<!DOCTYPE html><html style=\"background:#00c000\"><head><title>Framed"
                                      "</title></head><body>" + framed + "</body></html>\n");
    WriteFile(PagePath("handed.htm"), "<!DOCTYPE html><html style=\"background:#00c000\"><head><title>Handed"
                                      "</title></head><body>" + framed + "</body></html>\n");
    // The idle watchdog, ticking every 200 ms, minimises the window once it is left alone for 11 s.
    const bool watchdog = UseTestHooks(200);
    XWindow window = StartOn(PageUrl("framed.htm"), "Framed");
    ASSERT_NE(window, 0u);
    auto minimise = [&] {
        Xdotool({"windowminimize", std::to_string(window)});
        ASSERT_TRUE(WaitUntil(10s, [&] { return Iconic(X(), window); })) << "not minimised";
    };
    auto restore = [&] {
        Xdotool({"windowactivate", std::to_string(window)});
        ASSERT_TRUE(WaitUntil(10s, [&] { return !Iconic(X(), window) && Viewable(X(), window); }));
        // Keys typed next go to the focused window: wait until it is ours again.
        ASSERT_TRUE(Focused(window)) << "the restored window did not get the focus";
    };
    auto resize = [&](int width, int height) {
        MoveResize(X(), window, {60, 40, width, height});
        ASSERT_TRUE(WaitUntil(10s, [&] {
            Rect r = ClientRect(X(), window);
            return r.width == width && r.height == height;
        }));
    };
    auto maximise = [&](bool on) {
        SendClientMessage(X(), window, "_NET_WM_STATE",
                          {on ? 1 : 0, long(XInternAtom(X(), "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                           long(XInternAtom(X(), "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 1},
                          DefaultRootWindow(X()));
        ASSERT_TRUE(WaitUntil(10s, [&] { return (ClientRect(X(), window).width > 1000) == on; }));
    };
    auto cover = [&] {
        // Another program's window over the whole of it, taking the focus, then closed.
        Rect r = ClientRect(X(), window);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = r.x - 20, hints.y = r.y - 40, hints.width = r.width + 40, hints.height = r.height + 60;
        XWindow over = XCreateSimpleWindow(X(), DefaultRootWindow(X()), hints.x, hints.y, unsigned(hints.width),
                                           unsigned(hints.height), 0, 0, 0x202020);
        XSetWMNormalHints(X(), over, &hints);
        XMapRaised(X(), over);
        XSync(X(), False);
        EXPECT_TRUE(WaitUntil(10s, [&] { return Viewable(X(), over); }));
        std::this_thread::sleep_for(700ms);
        XDestroyWindow(X(), over);
        XSync(X(), False);
        Xdotool({"windowactivate", std::to_string(window)});
    };
    const std::vector<std::tuple<const char*, std::function<void()>, bool, bool, bool>> steps = {
        {"start", [] {}, false, false, false},
        {"F10, MENU SET", [&] { Keys("F10 Down Return"); }, true, true, true},
        {"status off", [&] { Keys(kStatusItem); }, true, true, false},
        {"status on", [&] { Keys(kStatusItem); }, true, true, true},
        {"address bar off", [&] { Keys("F10 Right Down Down Down Return"); }, true, false, true},
        {"resize 600x480", [&] { resize(600, 480); }, true, false, true},
        {"maximise", [&] { maximise(true); }, true, false, true},
        {"status off maximised", [&] { Keys(kStatusItem); }, true, false, false},
        {"unmaximise", [&] { maximise(false); }, true, false, false},
        {"minimise, restore", [&] { minimise(), restore(); }, true, false, false},
        {"covered", cover, true, false, false},
        {"show all", [&] { Keys(kShowAllItem); }, true, true, true},
        {"resize 500x400", [&] { resize(500, 400); }, true, true, true},
        {"minimised by the watchdog, hand-off, restore",
         [&] {
             if (!watchdog) minimise();
             ASSERT_TRUE(WaitUntil(30s, [&] { return Iconic(X(), window); })) << "not minimised";
             HandOff(PageUrl("handed.htm"));
             ASSERT_TRUE(WaitForTitle(window, std::string("Handed - ") + kProductWord));  // the status bar is shown
             restore();
         },
         true, true, true},
        {"hide all", [&] { Keys(kHideAllItem); }, false, false, false},
        {"Shift+F10, URL入力, Escape, cancel",  // Escape brings the menu bar, cancel ends the dialog
         [&] {
             Keys("shift+F10 u");
             XWindow dialog = WaitForTitled(kDialogTitle);
             ASSERT_TRUE(dialog && Focused(dialog));
             Keys("Escape Tab Tab Return");
             ASSERT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); })) << "the dialog stayed open";
         },
         true, false, false},
        {"Menu key, MENU SET", [&] { Keys("Menu v"); }, true, true, true},
        {"minimise, restore, hide all", [&] { minimise(), restore(), Keys(kHideAllItem); }, false, false, false},
        {"resize 640x480", [&] { resize(640, 480); }, false, false, false},
    };
    std::map<std::tuple<bool, bool, bool>, Margins> seen;
    int shot = 0;
    for (const auto& [step, act, menu, address, status] : steps) {
        SCOPED_TRACE(step);
        act();
        ASSERT_FALSE(HasFatalFailure());
        Margins margins;
        std::string problem;
        WaitUntil(5s, [&] { return (problem = CheckFramedPage(X(), window, margins)).empty(); });
        EXPECT_EQ(problem, "");
        // No bar, no margin; the same bars, the same margins every time.
        EXPECT_EQ(margins.top > 0, menu || address) << margins.top;
        EXPECT_EQ(margins.bottom > 0, status) << margins.bottom;
        auto [known, fresh] = seen.emplace(std::tuple(menu, address, status), margins);
        EXPECT_TRUE(fresh || known->second == margins) << margins.top << "+" << margins.bottom << " now, "
                                                        << known->second.top << "+" << known->second.bottom
                                                        << " before";
        if (const char* shots = std::getenv("POREMISU_E2E_SHOTS")) {
            Xdotool({"exec", "--sync", "import", "-window", "root",
                     std::string(shots) + "/" + std::to_string(++shot) + ".png"});
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

    // Status bar off: the title in its longer form, the address of the link under the pointer in it.
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
    // Status bar on again: the title in its shorter form at once.
    Keys(kStatusItem);
    ASSERT_TRUE(WaitForTitle(window, std::string(" - ") + kProductWord));

    // The probe as markup, typed into the address dialog and sent with GO,
    // does rename its page: the probe would have shown it.
    WriteFile(PagePath("unescaped.htm"), std::string("<!DOCTYPE html><body>") + kProbeName + "</body>\n");
    Keys(kAddressDialog);
    ASSERT_NE(WaitForTitled(kDialogTitle), 0u);
    Keys("Tab ctrl+a");
    Xdotool({"type", "--delay", "5", PageUrl("unescaped.htm")});
    Keys("shift+Tab Return");  // back on GO, which Enter presses
    EXPECT_TRUE(WaitForTitle(window, std::string("pwned - ") + kProductWord));
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

// The first item of the page's context menu, "URL入力 (&U)...", opens the dialog centred over the
// main window, with the focus on GO: Enter goes to the address shown.
TEST_F(UiTest, TheContextMenusAddressDialogOpensCentredAndEnterLoadsTheAddressShown) {
    XWindow window = StartOnGreenPage();
    ASSERT_NE(window, 0u);
    PointAt(window, 200, 200);
    Xdotool({"click", "3"});
    std::this_thread::sleep_for(500ms);
    Keys("Down Return");
    XWindow dialog = WaitForTitled(kDialogTitle);
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
    ASSERT_NE(WaitForTitled(GetParam().messageBox ? kProductWord : kDialogTitle), 0u);
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

// Input inside the page (the web view's own windows) counts as activity; an untouched window is
// minimised, then closed, and saves its placement.
class WatchdogPageInput : public WatchdogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WatchdogPageInput, KeepsTheWindowOpenUntilItStops) {
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
    // Once the input stops, the watchdog goes on as before. Re-showing the minimised window at later
    // ticks must not restart the count, or the close would never come.
    ASSERT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised after the input";
    if (input != "Keys") return;  // the close that follows is the same after any input
    Clock::time_point minimisedAt = Clock::now();
    ASSERT_EQ(program->WaitExit(20s), 0) << "not closed after the minimisation\n" << Logs();
    EXPECT_GE(Clock::now() - minimisedAt, milliseconds(61 * 50) - 500ms)
        << "closed too early: the minimisation did not restart the count";
    EXPECT_EQ(SettingsValue("win").value_or("").rfind("0:2:", 0), 0u)
        << "the saved placement is not the minimised one: " << Settings();
}

INSTANTIATE_TEST_SUITE_P(Inputs, WatchdogPageInput, ::testing::Values("PointerMotion", "Wheel", "Keys"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace poremisu::e2e
