// The main window as a user drives it under openbox, with real key presses and pointer motion: the
// system menu's stand-in (Alt+Space and the page's context menu), the menu bar, the history page,
// the address dialog and the idle watchdog.

#include <signal.h>

#include <algorithm>
#include <iomanip>
#include <map>
#include <sstream>

#include "e2e/Harness.h"
#include "ui/CommandTable.h"

// Last: Xlib's macros (None, Bool, ...) must not reach the headers above.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace poremisu::e2e {
namespace {

constexpr const char* kDialogTitle = "URL入力";

const std::string kStatusItem = MenuBarKeys(cmd::kToggleStatusBar), kHideAllItem = MenuBarKeys(cmd::kHideAll),
                  kShowAllItem = MenuBarKeys(cmd::kShowAll), kTitleHistoryItem = MenuBarKeys(cmd::kTitleHistory),
                  kResetHistoryItem = MenuBarKeys(cmd::kResetHistory);
constexpr const char* kMenuSet = "alt+space v", *kAddressDialog = "alt+space u";

class UiTest : public ProgramTest {
protected:
    UiTest() : ProgramTest(WindowManager::Openbox) {}

    // Starts the program on a green page and waits until it shows it, focused.
    XWindow StartOnGreenPage(Process** program) {
        XWindow window = StartOn(WritePage("green.htm", "Green Page", "#00c000"), "Green Page", program);
        EXPECT_TRUE(window && Focused(window)) << "the window did not get the focus";
        return HasFailure() ? 0 : window;
    }

    bool Focused(XWindow window) {
        XWindow root = DefaultRootWindow(X());
        return WaitUntil(10s, [&] { return Property32(X(), root, "_NET_ACTIVE_WINDOW") == long(window); });
    }

    // Opens a box with `keys` and closes the window with `close` while the box waits for its answer: the
    // box ends first, as cancelled (the history stays as it was); the window then closes as at any close
    // request, the placement saved.
    void CloseWithABoxOpen(Process& program, const std::string& keys, const char* boxTitle,
                           const std::function<void()>& close) {
        const std::string history = History();
        Keys(keys);
        ASSERT_NE(WaitForTitled(boxTitle), 0u);
        ASSERT_FALSE(SettingsValue("win"));
        close();
        EXPECT_EQ(program.WaitExit(15s), 0) << "the program did not end\n" << Logs();
        EXPECT_EQ(SettingsValue("win").value_or("").rfind("0:1:", 0), 0u) << Settings();
        EXPECT_EQ(History(), history);
    }

    // Whether the window manager lists `state` among the window's _NET_WM_STATE.
    bool HasState(XWindow window, const char* state) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool found = false;
        if (XGetWindowProperty(X(), window, XInternAtom(X(), "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type,
                               &format, &count, &after, &data) == Success && data && format == 32) {
            const Atom wanted = XInternAtom(X(), state, False);
            for (unsigned long i = 0; i < count; ++i) found |= reinterpret_cast<Atom*>(data)[i] == wanted;
        }
        if (data) XFree(data);
        return found;
    }

    int HistoryLines() const { std::string h = History(); return int(std::count(h.begin(), h.end(), '\n')); }
};

// Layout -------------------------------------------------------------------------

constexpr std::uint32_t kFrame = 0xFF0000, kInside = 0x00C000;
constexpr int kFrameWidth = 4;

// "" when the client area shows a green page framed in red, with only bars above and below it, else
// what is wrong; `margins` gets the rows the bars take above the page and below it.
std::string CheckFramedPage(Display* display, XWindow window, std::pair<int, int>& margins) {
    Rect client = ClientRect(display, window);
    const int w = client.width, h = client.height;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!image) return "unreadable";
    auto at = [&](int x, int y) { return std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF); };
    int top = 0, bottom = h;
    while (top < h && at(w / 2, top) != kFrame) ++top;
    while (bottom > top && at(w / 2, bottom - 1) != kFrame) --bottom;
    std::ostringstream wrong;
    auto expect = [&](int x, int y, bool right) {
        if (wrong.tellp() == 0 && !right) wrong << "pixel " << x << "," << y << ": " << std::hex << at(x, y);
    };
    for (int y = top; y < bottom && bottom - top >= 2 * kFrameWidth; ++y) {
        bool edge = y < top + kFrameWidth || y >= bottom - kFrameWidth;
        for (int x : {0, kFrameWidth, w / 2, w - 1 - kFrameWidth, w - 1}) {
            expect(x, y, at(x, y) == (edge || x == 0 || x == w - 1 ? kFrame : kInside));
        }
        for (int x = 0; edge && x < w; ++x) expect(x, y, at(x, y) == kFrame);
    }
    // Outside the page only the bars, drawn: no black and nothing of the page.
    for (int y : {top - 1, bottom}) {
        for (int x = 0; y >= 0 && y < h && x < w; x += 7) {
            expect(x, y, at(x, y) != 0 && at(x, y) != kFrame && at(x, y) != kInside);
        }
    }
    XDestroyImage(image);
    margins = {top, h - bottom};
    return bottom - top < 2 * kFrameWidth ? "no page" : wrong.str();
}

// The page fills exactly what the bars leave of the client area, after every change of the view, the
// window's size or state and a hand-off, in one long session. Each step names the bars it leaves
// shown: m(enu), a(ddress), s(tatus). The address dialog open at a hang-up (SIGHUP) ends the session:
// the dialog ends first, as cancelled; the window then closes as at any close request: the placement
// is saved and the program ends, no box left behind.
TEST_F(UiTest, ThePageFillsWhatTheBarsLeaveAfterEveryChangeOfViewSizeAndStateUntilAHangUp) {
    for (const std::string name : {"framed", "handed"}) {
        const char* frame = "<div style=\"position:fixed;inset:0;border:4px solid #f00\"></div>";
        WriteFile(PagePath(name + ".htm"), Page(name, frame, "#00c000"));
    }
    // The idle watchdog, ticking every 200 ms, minimises the window once it is left alone for 11 s.
    const bool watchdog = UseTestHooks(200);
    Process* program = nullptr;
    XWindow window = StartOn(PageUrl("framed.htm"), "framed", &program);
    ASSERT_NE(window, 0u);
    const std::string id = std::to_string(window);
    auto minimise = [&] {
        Xdotool({"windowminimize", id});
        ASSERT_TRUE(WaitUntil(10s, [&] { return Iconic(X(), window); })) << "not minimised";
    };
    auto restore = [&] {
        Xdotool({"windowactivate", id});
        ASSERT_TRUE(WaitUntil(10s, [&] { return !Iconic(X(), window) && Viewable(X(), window); }));
        // Keys typed next go to the focused window: wait until it is ours again.
        ASSERT_TRUE(Focused(window)) << "the restored window did not get the focus";
    };
    auto resize = [&](int width, int height) {
        Xdotool({"windowmove", id, "60", "40", "windowsize", id, std::to_string(width), std::to_string(height)});
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
    auto keys = [&](std::string sequence) { return [this, sequence] { Keys(sequence); }; };
    const std::vector<std::tuple<const char*, std::function<void()>, std::string>> steps = {
        {"start", [] {}, ""},
        {"F10, MENU SET", keys("F10 Down Return"), "mas"},
        {"status off", keys(kStatusItem), "ma"},
        {"status on", keys(kStatusItem), "mas"},
        {"address bar off", keys(MenuBarKeys(cmd::kToggleAddressBar)), "ms"},
        {"resize 600x480", [&] { resize(600, 480); }, "ms"},
        {"maximise", [&] { maximise(true); }, "ms"},
        {"status off maximised", keys(kStatusItem), "m"},
        {"unmaximise", [&] { maximise(false); }, "m"},
        {"minimise, restore", [&] { minimise(), restore(); }, "m"},
        {"show all", keys(kShowAllItem), "mas"},
        {"resize 500x400", [&] { resize(500, 400); }, "mas"},
        {"minimised by the watchdog, hand-off, restore",
         [&] {
             if (!watchdog) minimise();
             ASSERT_TRUE(WaitUntil(30s, [&] { return Iconic(X(), window); })) << "not minimised";
             HandOff(PageUrl("handed.htm"));
             // The title in its shorter form: the status bar is shown.
             ASSERT_TRUE(WaitForTitle(window, std::string("handed - ") + kProductWord));
             // Still minimised, its task entry asking for attention.
             EXPECT_TRUE(Iconic(X(), window));
             EXPECT_TRUE(WaitUntil(5s, [&] { return HasState(window, "_NET_WM_STATE_DEMANDS_ATTENTION"); }));
             restore();
         },
         "mas"},
        {"covered by another program's window, hand-off",
         [&] {
             // A window of another client, which the manager gives the focus.
             XWindow other = XCreateSimpleWindow(X(), DefaultRootWindow(X()), 0, 0, 1200, 1000, 0, 0, 0x808080);
             XMapRaised(X(), other);
             XSync(X(), False);
             ASSERT_TRUE(WaitUntil(10s, [&] {
                 return Property32(X(), DefaultRootWindow(X()), "_NET_ACTIVE_WINDOW") == long(other);
             }));
             HandOff(PageUrl("framed.htm"));
             EXPECT_TRUE(Focused(window)) << "the hand-off left the window behind another";
             XDestroyWindow(X(), other);
             XSync(X(), False);
         },
         "mas"},
        {"hide all", keys(kHideAllItem), ""},
        {"Shift+F10, URL入力, Escape, cancel",  // Escape brings the menu bar, cancel ends the dialog
         [&] {
             Keys("shift+F10 u");
             XWindow dialog = WaitForTitled(kDialogTitle);
             ASSERT_TRUE(dialog && Focused(dialog));
             // Both windows have the same decorations: their client areas share a centre as their frames do.
             Rect owner = ClientRect(X(), window), box = ClientRect(X(), dialog);
             EXPECT_NEAR(box.x + box.width / 2, owner.x + owner.width / 2, 3);
             EXPECT_NEAR(box.y + box.height / 2, owner.y + owner.height / 2, 3);
             Keys("Escape Tab Tab Return");
             ASSERT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); })) << "the dialog stayed open";
         },
         "m"},
        {"Menu key, MENU SET", keys("Menu v"), "mas"},
        {"minimise, restore, hide all", [&] { minimise(), restore(), Keys(kHideAllItem); }, ""},
        {"resize 640x480", [&] { resize(640, 480); }, ""},
    };
    std::map<std::string, std::pair<int, int>> seen;  // the margins each set of bars left before
    for (const auto& [step, act, bars] : steps) {
        SCOPED_TRACE(step);
        act();
        ASSERT_FALSE(HasFatalFailure());
        std::pair<int, int> margins;
        std::string problem;
        WaitUntil(5s, [&] { return (problem = CheckFramedPage(X(), window, margins)).empty(); });
        EXPECT_EQ(problem, "");
        // No bar, no margin; the same bars, the same margins every time.
        EXPECT_EQ(margins.first > 0, bars.find_first_of("ma") != std::string::npos) << margins.first;
        EXPECT_EQ(margins.second > 0, bars.find('s') != std::string::npos) << margins.second;
        EXPECT_EQ(seen.emplace(bars, margins).first->second, margins);
    }

    // The terminal the program was started from goes away.
    CloseWithABoxOpen(*program, kAddressDialog, kDialogTitle, [&] { ::kill(program->Pid(), SIGHUP); });
}

// The history page, the address dialog and closing with a box open ----------------------

// Markup that renames its page as soon as it is parsed as markup.
constexpr const char* kProbeName = "<img src=x onerror=document.title='pwned'>";

// The history page, from the menu bar: a page name is shown on it as text, never run as markup, and
// the page itself is not logged. The address dialog opened over it shows its address: one letter typed
// at its end names a page where the same name is markup, GO loads it, and the name does run there (that
// the page after the history page is logged again is the core's page completion table's). The question
// of "履歴初期化", open at the window manager's close request, ends first, as cancelled (the history is
// not reset); the window then closes as at any close request: the placement is saved and the program
// ends, no box left behind.
TEST_F(UiTest, TitleHistoryShowsThePagesAsTextWithoutLoggingItselfAndACloseCancelsItsReset) {
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    HandOff(WritePage("probe.htm", kProbeName, "#00c000"));
    ASSERT_TRUE(WaitForTitle(window, BareTitle(kProbeName)));
    Keys(kMenuSet);  // the bars: the menu bar then covers the green page's top row
    ASSERT_TRUE(WaitUntil(10s, [&] {
        const int middle = ClientRect(X(), window).height / 2;
        XImage* column = XGetImage(X(), window, 8, 0, 1, unsigned(middle + 1), AllPlanes, ZPixmap);
        bool covered = column && (XGetPixel(column, 0, 1) & 0xFFFFFF) != 0x00C000 &&
                       (XGetPixel(column, 0, middle) & 0xFFFFFF) == 0x00C000;
        if (column) XDestroyImage(column);
        return covered;
    }));
    ASSERT_TRUE(WaitUntil(10s, [&] { return HistoryLines() == 2; })) << History();

    // The history page has no title of its own: it goes by its address.
    const std::string titled = std::string(" - ") + kProductWord;
    const std::string untitled = "file://" + (ProgramDir() / "WindowTitleHis.htm").string() + titled;
    Keys(kTitleHistoryItem);
    ASSERT_TRUE(WaitForTitle(window, untitled));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(WindowTitle(X(), window), untitled) << "the page name ran as markup";
    EXPECT_EQ(HistoryLines(), 2) << History();

    WriteFile(ProgramDir() / "WindowTitleHis.html", std::string("<!DOCTYPE html>") + kProbeName + "\n");
    Keys(kAddressDialog);
    ASSERT_NE(WaitForTitled(kDialogTitle), 0u);
    Keys("Tab End l shift+Tab Return");  // the focus starts on GO, which Enter presses
    EXPECT_TRUE(WaitForTitle(window, "pwned" + titled));

    CloseWithABoxOpen(*program, kResetHistoryItem, kProductWord, [&] { SendDeleteWindow(X(), window); });
}

// Painting ----------------------------------------------------------------------------

// Pages of one colour each: what the window must show left of a white column on the right, which
// holds a magenta field (typing r, g, b or y turns the page that colour) and links to the four pages.
constexpr std::pair<char, std::uint32_t> kColours[] = {
    {'r', 0xE00000}, {'g', 0x00C000}, {'b', 0x0000E0}, {'y', 0xE0E000}};
constexpr std::uint32_t kField = 0xFF00FF;
constexpr int kColumn = 260, kLinksTop = 110, kLinkHeight = 80;

std::string ColourPage(std::uint32_t rgb) {
    std::ostringstream page;
    page << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>paint</title><style>body{margin:0;"
         << "background:#" << std::hex << std::setw(6) << std::setfill('0') << rgb << std::dec
         << "}#c{position:fixed;right:0;top:0;width:" << kColumn << "px;background:#fff}"
         << "input{display:block;box-sizing:border-box;margin:30px 10px 0;width:200px;height:40px;"
         << "background:#f0f}"
         << "a{display:block;height:" << kLinkHeight << "px}</style></head><body><div id=c>"
         << "<input oninput=\"var c={r:'#e00000',g:'#00c000',b:'#0000e0',y:'#e0e000'}[this.value.slice(-1)];"
         << "if(c)document.body.style.background=c\"><div style=\"height:" << kLinksTop - 70 << "px\"></div>";
    for (auto [c, ignored] : kColours) page << "<a href=\"" << c << ".htm\">" << c << "</a>";
    page << "</div></body></html>";
    return page.str();
}

// "" when the part of the client area left of the column, below the bars (at most 70 rows above and
// 40 below), is all `colour`; else the first pixel that is not.
std::string PageShows(Display* display, XWindow window, std::uint32_t colour) {
    Rect client = ClientRect(display, window);
    const int width = client.width - kColumn - 10, height = client.height - 110;
    if (width <= 0 || height <= 0) return "too small";
    XImage* image = XGetImage(display, window, 0, 70, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return "unreadable";
    std::ostringstream wrong;
    for (int y = 0; y < height && wrong.tellp() == 0; y += 7) {
        for (int x = 0; x < width && wrong.tellp() == 0; x += 7) {
            std::uint32_t seen = XGetPixel(image, x, y) & 0xFFFFFF;
            if (seen != colour) wrong << "pixel " << x << "," << y + 70 << " is " << std::hex << seen;
        }
    }
    XDestroyImage(image);
    return wrong.str();
}

// The first row of the client area's column `x` that shows `colour`, 200 if none above it: where the
// page or the field begins under the bars, whatever a closing menu left above it a moment longer.
int FirstRow(Display* display, XWindow window, int x, std::uint32_t colour) {
    XImage* column = XGetImage(display, window, x, 0, 1, 200, AllPlanes, ZPixmap);
    int top = 0;
    while (column && top < 200 && (XGetPixel(column, 0, top) & 0xFFFFFF) != colour) ++top;
    if (column) XDestroyImage(column);
    return top;
}

// What the window shows is what the page shows, for minutes, under openbox, with a session bus and the
// Japanese locale, with the bars shown and hidden: after typing into a field, following a link, a
// window passing over the page, a menu closing over it and the bars changing. A page that is no longer
// redrawn keeps its old colour, or the colour of what passed over it. POREMISU_SOAK_SECONDS runs it
// longer.
TEST_F(UiTest, WhatThePageShowsIsOnScreenAfterEveryKindOfChangeForMinutes) {
    std::map<char, std::uint32_t> colours(std::begin(kColours), std::end(kColours));
    for (auto [c, rgb] : kColours) WriteFile(PagePath(std::string(1, c) + ".htm"), ColourPage(rgb));
    SetEnvironment("LANG=ja_JP.UTF-8");
    Spawn({"dbus-run-session", "--", (ProgramDir() / "poremisu").string(), PageUrl("g.htm")});
    XWindow window = WaitForWindow();
    ASSERT_TRUE(window && WaitForTitle(window, BareTitle("paint")));
    const std::string id = std::to_string(window);
    Xdotool({"windowsize", "--sync", id, "900", "720"});
    ASSERT_TRUE(Focused(window));
    std::string problem;
    EXPECT_TRUE(WaitUntil(10s, [&] { return (problem = PageShows(X(), window, colours['g'])).empty(); })) << problem;

    char shown = 'g';
    bool bars = false;
    auto column = [&] { return ClientRect(X(), window).width - kColumn / 2; };
    auto top = [&] { return FirstRow(X(), window, 4, colours[shown]); };
    auto cover = [&] {
        // Another program's window over the page, then gone.
        Rect client = ClientRect(X(), window);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0x808080;
        XWindow other = XCreateWindow(X(), DefaultRootWindow(X()), client.x + 20, client.y + 60, 600, 500, 0,
                                      CopyFromParent, InputOutput, CopyFromParent,
                                      CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(X(), other);
        XSync(X(), False);
        std::this_thread::sleep_for(700ms);
        XDestroyWindow(X(), other);
        XSync(X(), False);
    };
    const std::vector<std::pair<const char*, std::function<void(char)>>> steps = {
        {"type", [&](char c) {
             int field = 200;
             ASSERT_TRUE(WaitUntil(5s, [&] { return (field = FirstRow(X(), window, column(), kField)) < 200; }))
                 << "no field shown";
             PointAt(window, column(), field + 20);
             Xdotool({"click", "1"});
             Keys(std::string(1, c));
             shown = c;
         }},
        {"link", [&](char c) {
             const int index = int(std::string("rgby").find(c));
             PointAt(window, column(), top() + kLinksTop + index * kLinkHeight + kLinkHeight / 2);
             Xdotool({"click", "1"});
             shown = c;
         }},
        {"covered", [&](char) { cover(); }},
        {"menu", [&](char) {
             // The menu bar's second menu, or without the bar the window's own menu, over the page;
             // closed by Escape, which the menu takes. Nothing else moves over the page meanwhile.
             Keys("F10");
             std::this_thread::sleep_for(500ms);
             if (bars) Keys("Right"), std::this_thread::sleep_for(500ms);
             // The menu bar stays active once its menu has closed: a second Escape leaves it.
             Keys(bars ? "Escape Escape" : "Escape");
         }},
        {"bars", [&](char) {
             Keys(bars ? kHideAllItem : "F10 Down Return"), bars = !bars;
             EXPECT_TRUE(WaitUntil(5s, [&] { return (top() > 0) == bars; })) << "the bars did not change";
         }},
    };
    const char* soak = std::getenv("POREMISU_SOAK_SECONDS");
    const auto length = std::chrono::seconds(soak ? std::atoi(soak) : 100);
    const Clock::time_point start = Clock::now();
    unsigned random = 12345;
    for (int step = 0; Clock::now() - start < length; ++step) {
        random = random * 1103515245u + 12345u;
        // Every kind in turn, the bars changing last; the colours at random.
        const auto& [name, act] = steps[std::size_t(step) % steps.size()];
        const char next = "rgby"[(random >> 8) % 4];
        SCOPED_TRACE(std::string(name) + " " + next + " at step " + std::to_string(step) + ", bars " +
                     (bars ? "shown" : "hidden"));
        act(next);
        ASSERT_FALSE(HasFatalFailure());
        WaitUntil(5s, [&] { return (problem = PageShows(X(), window, colours[shown])).empty(); });
        if (!problem.empty()) Spawn({"import", "-window", id, (Folder() / "unpainted.png").string()}).WaitExit(10s);
        ASSERT_EQ(problem, "") << "the page shows " << shown << " after "
                               << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()
                               << " s";
    }
}

// The idle watchdog ------------------------------------------------------------------

// Input inside the page (the web view's own windows) counts as activity, each kind on its own; an
// untouched window is minimised, then closed, and saves its placement. One tick is 50 ms: minimised
// 56 ticks (2.8 s) after the last activity, closed 61 ticks (3.05 s) after the minimisation.
TEST_F(UiTest, InputInThePageKeepsTheWindowOpenUntilItStopsThenTheWatchdogMinimisesAndClosesIt) {
    if (!UseTestHooks(50)) GTEST_SKIP() << "needs -DPOREMISU_TEST_HOOKS=ON";
    Process* program = nullptr;
    XWindow window = StartOnGreenPage(&program);
    ASSERT_NE(window, 0u);
    Rect client = ClientRect(X(), window);
    const int x = client.x + client.width / 2, y = client.y + client.height / 2;

    // About 4 s of each kind over the page: 80 ticks, far past the minimisation's 56.
    for (const std::string input : {"PointerMotion", "Wheel", "Keys"}) {
        SCOPED_TRACE(input);
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
        ASSERT_FALSE(minimised) << "minimised during the input";
    }
    // Once the input stops, the watchdog goes on as before. Re-showing the minimised window at later
    // ticks must not restart the count, or the close would never come.
    ASSERT_TRUE(WaitUntil(20s, [&] { return Iconic(X(), window); })) << "not minimised after the input";
    Clock::time_point minimisedAt = Clock::now();
    ASSERT_EQ(program->WaitExit(20s), 0) << "not closed after the minimisation\n" << Logs();
    EXPECT_GE(Clock::now() - minimisedAt, milliseconds(61 * 50) - 500ms)
        << "closed too early: the minimisation did not restart the count";
    EXPECT_EQ(SettingsValue("win").value_or("").rfind("0:2:", 0), 0u)
        << "the saved placement is not the minimised one: " << Settings();
}

// The control's keys and mouse buttons, in one session, each step's effect read back from the title,
// the server's log or the window shown: Back and Forward as the window's own commands (never logged),
// never from a text field, reloads, zoom, the address keys, print and Escape stopping a load.
TEST_F(UiTest, TheControlsKeysDoWhatTheControlDoes) {
    HttpServer site({{"/a", Page("PageA")},
                     {"/b", Page("PageB", "<input id=f value=abc style='position:absolute;left:300px;top:0'>"
                                          "<button onclick='document.documentElement.requestFullscreen()' "
                                          "style='position:absolute;left:300px;top:60px;width:200px;height:100px'>full</button>"
                                          "<p style='margin-top:200px'>a needle here, a needle there</p><script>"
                                          "document.addEventListener('selectionchange', () => fetch('/sel?' + "
                                          "getSelection().toString().length))</script>"
                                          "<script>addEventListener('resize', () => fetch('/width?' + "
                                          "innerWidth + '&' + innerHeight))</script>")}});
    Process* program = nullptr;
    XWindow window = StartOn(site.Url("/a"), "PageA", &program);
    ASSERT_NE(window, 0u);
    HandOff(site.Url("/b"));
    ASSERT_TRUE(WaitForTitle(window, BareTitle("PageB")));
    const std::string logged = History();
    auto count = [&](const std::string& prefix) {
        const std::vector<std::string> asked = site.Requests();
        return std::count_if(asked.begin(), asked.end(), [&](const std::string& p) { return p.starts_with(prefix); });
    };
    auto widths = [&] {
        std::vector<int> seen;
        for (const std::string& p : site.Requests()) {
            if (p.starts_with("/width?")) seen.push_back(std::atoi(p.c_str() + 7));
        }
        return seen;
    };
    PointAt(window, 100, 100);
    Xdotool({"click", "1"});
    const struct {
        const char* keys;        // xdotool keys, or "button N" for a mouse button
        const char* title;       // the page then shown
        const char* reloaded;    // a page asked again of the server, if any
    } steps[] = {
        {"BackSpace", "PageA", nullptr},        {"alt+Right", "PageB", nullptr},
        {"alt+Left", "PageA", nullptr},         {"button 9", "PageB", nullptr},
        {"button 8", "PageA", nullptr},         {"shift+BackSpace", "PageB", nullptr},
        {"F5", "PageB", "/b"},                  {"ctrl+r", "PageB", "/b"},
        {"ctrl+shift+r", "PageB", "/b"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.keys);
        const auto before = step.reloaded ? count(step.reloaded) : 0;
        if (std::string(step.keys).starts_with("button ")) {
            Xdotool({"click", std::string(step.keys).substr(7)});
        } else {
            Keys(step.keys);
        }
        EXPECT_TRUE(WaitForTitle(window, BareTitle(step.title), 10s));
        if (step.reloaded) {
            EXPECT_TRUE(WaitUntil(5s, [&] { return count(step.reloaded) > before; }));
        }
    }
    // Neither going back and forth nor reloading logs a page again.
    EXPECT_EQ(History(), logged);

    // In a text field Backspace edits the field: the page stays.
    PointAt(window, 320, 10);
    Xdotool({"click", "1"});
    Keys("End BackSpace");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(WindowTitle(X(), window), BareTitle("PageB"));
    PointAt(window, 100, 100);
    Xdotool({"click", "1"});

    // Zoom in steps and back: the page is laid out narrower, then as wide as at first.
    const std::size_t resizes = widths().size();
    Keys("ctrl+plus");
    ASSERT_TRUE(WaitUntil(5s, [&] { return widths().size() > resizes; }));
    const int zoomed = widths().back();
    Keys("ctrl+0");
    ASSERT_TRUE(WaitUntil(5s, [&] { return widths().size() > resizes + 1; }));
    EXPECT_GT(widths().back(), zoomed);
    Keys("ctrl+minus");
    ASSERT_TRUE(WaitUntil(5s, [&] { return widths().size() > resizes + 2; }));
    EXPECT_GT(widths().back(), widths()[widths().size() - 2]);
    Keys("ctrl+0");
    ASSERT_TRUE(WaitUntil(5s, [&] { return widths().size() > resizes + 3; }));
    // Ctrl+wheel up zooms in as Ctrl+plus does.
    Xdotool({"keydown", "ctrl", "click", "4", "keyup", "ctrl"});
    ASSERT_TRUE(WaitUntil(5s, [&] { return widths().size() > resizes + 4; }));
    EXPECT_EQ(widths().back(), zoomed);
    Keys("ctrl+0");

    // Ctrl+F finds as the user types, F3 the next match; Escape closes the find bar, never the window.
    const auto selections = count("/sel?6");
    Keys("ctrl+f n e e d l e");
    EXPECT_TRUE(WaitUntil(5s, [&] { return count("/sel?6") > selections; }));
    Keys("F3");
    EXPECT_TRUE(WaitUntil(5s, [&] { return count("/sel?6") > selections + 1; }));
    Keys("Escape");
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(program->Running());
    EXPECT_EQ(History(), logged);

    // The address keys open the address dialog while the bar is hidden.
    Keys("ctrl+l");
    XWindow dialog = WaitForTitled(kDialogTitle);
    ASSERT_TRUE(dialog && Focused(dialog));
    Keys("Escape Tab Tab Return");  // the menu bar back, then cancel
    ASSERT_TRUE(WaitUntil(10s, [&] { return !Viewable(X(), dialog); }));

    // F11 fills the screen with the page alone; again, the window and its menu bar are back.
    auto lastHeight = [&] {
        std::string last;
        for (const std::string& p : site.Requests()) {
            if (p.starts_with("/width?")) last = p;
        }
        return std::atoi(last.c_str() + last.find('&') + 1);
    };
    // The page laid out over the whole screen, or below the bars again.
    auto fullScreen = [&](bool on) {
        EXPECT_TRUE(WaitUntil(5s, [&] { return HasState(window, "_NET_WM_STATE_FULLSCREEN") == on; }));
        EXPECT_TRUE(WaitUntil(5s, [&] {
            const int height = lastHeight();
            return on ? height == 1024 : height > 0 && height < ClientRect(X(), window).height;
        })) << lastHeight() << " of " << ClientRect(X(), window).height;
    };
    Keys("F11");
    fullScreen(true);
    Keys("F11");
    fullScreen(false);

    // So does the page's own request for the whole screen, until Escape.
    PointAt(window, 400, 130);
    Xdotool({"click", "1"});
    fullScreen(true);
    Keys("Escape");
    fullScreen(false);
    EXPECT_TRUE(program->Running());

    // Ctrl+P asks how to print.
    Keys("ctrl+p");
    XWindow print = WaitForTitled("Print");
    ASSERT_NE(print, 0u);
    SendDeleteWindow(X(), print);
    ASSERT_TRUE(WaitUntil(5s, [&] { return ProgramWindows(X()).size() == 1; })) << [&] {
        std::string t;
        for (XWindow w : ProgramWindows(X())) t += WindowTitle(X(), w) + "|";
        return t;
    }();
    EXPECT_TRUE(program->Running());

    // Escape in the page stops a load that never ends; the window stays.
    SilentServer silent;
    HandOff(silent.Url("/slow"));
    ASSERT_TRUE(WaitUntil(10s, [&] { return WindowTitle(X(), window).find("/slow") != std::string::npos; }));
    PointAt(window, 100, 100);
    Xdotool({"click", "1"});
    Keys("Escape");
    EXPECT_TRUE(WaitUntil(5s, [&] { return WindowTitle(X(), window).find("/slow") == std::string::npos; }))
        << WindowTitle(X(), window);
    EXPECT_TRUE(program->Running());
}

// What a page asks of the user comes in the user's language, under the page's host: alert, confirm
// and prompt answer the page as the user chose; a page that opens dialog after dialog can be stopped
// from the third on; a server's question for a password is asked; a permission is refused, and the
// status text says so. A certificate that is not trusted is explained, and the user may go on.
TEST_F(UiTest, APagesDialogsAndUntrustedCertificatesSpeakTheUsersLanguageAndNoneTrapsTheUser) {
    SetEnvironment("LANG=ja_JP.UTF-8");
    auto button = [](int top, const std::string& script) {
        return "<button style='position:absolute;left:0;top:" + std::to_string(top) +
               "px;width:300px;height:40px' onclick=\"" + script + "\">b</button>";
    };
    HttpServer site({{"/d", Page("Dialogs", button(0, "alert('hello')") +
                                                button(50, "fetch('/c?' + confirm('sure?'))") +
                                                button(100, "fetch('/p?' + prompt('name?', 'def'))") +
                                                button(150, "for (let i = 0; i < 50; ++i) alert(i); fetch('/done')") +
                                                button(200, "navigator.geolocation.getCurrentPosition(() => "
                                                            "fetch('/geo?ok'), e => fetch('/geo?' + e.code))"))},
                     {"/secret", "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"vault\"\r\n"
                                 "Content-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"}});
    Process* program = nullptr;
    XWindow window = StartOn(site.Url("/d"), "Dialogs", &program);
    ASSERT_NE(window, 0u);
    auto asked = [&](const std::string& path) {
        const std::vector<std::string> all = site.Requests();
        return std::find(all.begin(), all.end(), path) != all.end();
    };
    const std::string pageTitle = "127.0.0.1 のページ";
    auto press = [&](int top, const std::string& keys) {
        PointAt(window, 150, top + 20);
        Xdotool({"click", "1"});
        XWindow box = WaitForTitled(pageTitle);
        ASSERT_NE(box, 0u) << "no dialog titled " << pageTitle;
        std::this_thread::sleep_for(300ms);
        Keys(keys);
        ASSERT_TRUE(WaitUntil(5s, [&] { return ProgramWindows(X()).size() == 1; }));
    };
    press(0, "Return");
    press(50, "Escape");
    EXPECT_TRUE(WaitUntil(5s, [&] { return asked("/c?false"); }));
    press(100, "Return");
    EXPECT_TRUE(WaitUntil(5s, [&] { return asked("/p?def"); }));
    // Fifty alerts in a row: two answered, the third stops the rest.
    PointAt(window, 150, 170);
    Xdotool({"click", "1"});
    for (const char* keys : {"Return", "Return", "alt+d Return"}) {
        SCOPED_TRACE(keys);
        ASSERT_NE(WaitForTitled(pageTitle), 0u);
        std::this_thread::sleep_for(300ms);
        Keys(keys);
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(WaitUntil(5s, [&] { return asked("/done"); }));
    EXPECT_EQ(ProgramWindows(X()).size(), 1u);
    // Where the user is: refused, and said so.
    PointAt(window, 150, 220);
    Xdotool({"click", "1"});
    EXPECT_TRUE(WaitUntil(5s, [&] { return asked("/geo?1"); }));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Dialogs") + "127.0.0.1 からの現在地の求めを断りました", 5s))
        << WindowTitle(X(), window);
    // The server's question for a password, cancelled.
    HandOff(site.Url("/secret"));
    XWindow login = WaitForTitled("127.0.0.1 へのログイン");
    ASSERT_NE(login, 0u);
    Keys("Escape");
    EXPECT_TRUE(WaitUntil(5s, [&] { return ProgramWindows(X()).size() == 1; }));
    EXPECT_TRUE(program->Running());

    // A certificate the engine does not trust: the program's page says why, nothing of the site is
    // logged; the user goes on by its link, for this run, and the page is logged as it loads.
    const std::filesystem::path tls = Folder() / "tls";
    std::filesystem::create_directories(tls);
    WriteFile(tls / "page.htm", Page("Secret"));
    Process keys({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", (tls / "k.pem").string(),
                  "-out", (tls / "c.pem").string(), "-days", "2", "-subj", "/CN=example.test"},
                 {}, tls, tls / "req.log");
    ASSERT_EQ(keys.WaitExit(30s), 0) << ReadFile(tls / "req.log");
    std::string base;
    {
        SilentServer probe;  // a free port, let go again for the TLS server
        base = probe.Url("");
    }
    Process server({"openssl", "s_server", "-quiet", "-accept", base.substr(base.rfind(':') + 1), "-cert",
                    (tls / "c.pem").string(), "-key", (tls / "k.pem").string(), "-WWW"},
                   {}, tls, tls / "server.log");
    std::this_thread::sleep_for(1s);
    const std::string secure = "https" + base.substr(4) + "/page.htm";
    const std::string before = History();
    HandOff(secure);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(History(), before) << "the site was logged before the user chose";
    PointAt(window, 150, 300);
    Xdotool({"click", "1"});
    Keys("Tab Return");
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Secret"), 10s)) << WindowTitle(X(), window);
    EXPECT_NE(History().find(HistoryLink(secure, "Secret")), std::string::npos) << History();
}

}  // namespace
}  // namespace poremisu::e2e
