// The main window's logic: initialisation, start address, layout, view
// state, closing, the command table and the idle watchdog.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/Profile.h"
#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu {
namespace {

using test::CallLog;
using test::ReadFile;
using test::Rig;
using test::U8;
using test::WriteFile;

std::string Shortcut(std::string_view url) { return "[InternetShortcut]\r\nURL=" + std::string(url) + "\r\n"; }

// "$" in a text stands for the rig's program folder.
std::string Expand(const Rig& rig, std::string text) {
    for (auto at = text.find('$'); at != std::string::npos; at = text.find('$', at)) {
        text.replace(at, 1, rig.dir.Path());
    }
    return text;
}

std::optional<std::string> StoredWin(Rig& rig) {
    ProfileValueFinder finder("setting", "win", 100);
    finder.Feed(ReadFile(rig.state.settingsPath));
    finder.Finish();
    return finder.Result();
}

TEST(MainWindowInit, RunsItsStepsInOrderAndStartsBare) {
    Rig rig;
    EXPECT_TRUE(rig.window.OnInitDialog(ShowCommand::Normal));
    EXPECT_EQ(rig.log, (CallLog{"AppendSystemMenuItems", "SetIcon", "Resizable(1)", "Navigate2(about:home)",
                                "StatusBar(1)", "StartTimer(3000)", "CreateStatusBar", "AddressBarCreatedHeight",
                                "StatusBarHeight", "ShowStatusBar(0)"}));
    EXPECT_EQ(rig.host.systemMenuItems,
              (std::vector<std::string>{U8(u8"URL入力 (&U)..."), "MENU SET(&V)", "HELP(&H)"}));
    EXPECT_EQ(std::tuple(rig.state.rowHeight, rig.state.addressBarHeight, rig.state.statusBarHeight,
                         rig.state.statusBarVisible, rig.state.statusBarWindow),
              std::tuple(21, 0, 19, 0, WindowId{77}));
    EXPECT_FALSE(rig.host.hasMenu || rig.host.statusBarShown);
}

TEST(MainWindowInit, StartAddressIsTheArgumentOrTheShortcutsUrl) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "about:home"},
        {"http://example.com/", "http://example.com/"},
        {"\"$/page.htm\"", "\"$/page.htm\""},  // a first start keeps the quotes
        {"$/News.url", "http://news.example/"},
        {"$/Caps.URL", "http://caps.example/"},
        {"\"$/News.url\"", ""},  // resolved with its quotes: no such file
        {"$/Missing.url", ""},
        {"$/notes.txt", "$/notes.txt"},  // only a .url name is read as a shortcut
    };
    for (const auto& [argument, expected] : cases) {
        Rig rig;
        WriteFile(rig.dir / "News.url", Shortcut("http://news.example/"));
        WriteFile(rig.dir / "Caps.URL", Shortcut("http://caps.example/"));
        WriteFile(rig.dir / "notes.txt", Shortcut("http://notes.example/"));
        rig.state.scratchText = Expand(rig, argument);
        rig.window.OnInitDialog(ShowCommand::Normal);
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{Expand(rig, expected)}) << argument;
    }
}

TEST(MainWindowInit, RestoresAStoredPlacementWithTheStartupShowState) {
    const std::pair<std::string, bool> cases[] = {
        {"win=2:3:-1:-1:-8:-8:10:20:330:440", true},
        {"win=2:3:-1:-1:-8:-8:10:20:330", false},
        {"win=2:3:-1:-1:-8:-8:10:20:x:440", false},
        {"win=", false},
        {"", false},
    };
    for (const auto& [line, applied] : cases) {
        Rig rig;
        WriteFile(rig.state.settingsPath, "[setting]\r\n" + line + "\r\n");
        rig.window.OnInitDialog(ShowCommand::ShowMinimized);
        auto expected = applied ? std::vector<WindowPlacement>{{2, 2, -1, -1, -8, -8, 10, 20, 330, 440}}
                                : std::vector<WindowPlacement>{};
        EXPECT_EQ(rig.host.appliedPlacements, expected) << line;
    }
}

TEST(MainWindowLayout, GivesThePageWhatTheBarsLeave) {
    using test::Rect;
    const struct {
        std::int32_t addressBar, statusVisible, w, h, top, height;
        std::optional<Rect> statusBar;
    } cases[] = {
        {0, 0, 800, 600, 0, 600, std::nullopt},
        {21, 0, 800, 600, 21, 579, std::nullopt},
        {0, 1, 800, 600, 0, 581, Rect{0, 581, 800, 19}},
        {21, 1, 640, 480, 21, 440, Rect{0, 461, 640, 19}},
        {21, 1, 640, 30, 21, -10, Rect{0, 11, 640, 19}},  // lower than its bars: passed as computed
        {21, 1, 0, 0, 21, -40, Rect{0, -19, 0, 19}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.state.statusBarHeight = 19;
        rig.state.addressBarHeight = c.addressBar;
        rig.state.statusBarVisible = c.statusVisible;
        rig.state.idleTicks = 30;
        rig.window.OnSize(c.w, c.h);
        auto call = [](const char* name, int v) { return std::string(name) + "(" + std::to_string(v) + ")"; };
        EXPECT_EQ(rig.log, (CallLog{"Left(0)", call("Width", c.w), call("Top", c.top), call("Height", c.height)}));
        EXPECT_EQ(rig.host.statusBarRect, c.statusBar);
        EXPECT_EQ(rig.host.addressBarRect, (Rect{0, 0, c.w, c.addressBar}));
        EXPECT_EQ(rig.state.idleTicks, 0);
    }
}

TEST(MainWindowView, OperationsMoveBetweenBareAndFullView) {
    const std::map<char, void (MainWindow::*)()> ops = {
        {'a', &MainWindow::ToggleAddressBar}, {'s', &MainWindow::ToggleStatusBar}, {'S', &MainWindow::ShowAll},
        {'H', &MainWindow::HideAll},          {'m', &MainWindow::RemoveMenu},
    };
    const struct {
        std::string ops;
        std::int32_t addressBar;
        bool statusBar, menu;
    } cases[] = {
        {"a", 21, false, false}, {"aa", 0, false, false}, {"s", 0, true, false},   {"ss", 0, false, false},
        {"S", 21, true, true},   {"Ss", 21, false, true}, {"Sss", 21, true, true}, {"Sm", 21, true, false},
        {"SH", 0, false, false},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.window.OnInitDialog(ShowCommand::Normal);
        for (char op : c.ops) {
            rig.host.shows.clear();
            (rig.window.*ops.at(op))();
        }
        // Every operation but RemoveMenu ends in the minimise-and-restore relayout.
        EXPECT_EQ(rig.host.shows.size(), c.ops.back() == 'm' ? 0u : 2u) << c.ops;
        EXPECT_EQ(rig.state.addressBarHeight, c.addressBar) << c.ops;
        EXPECT_EQ(rig.state.statusBarVisible, c.statusBar ? 1 : 0) << c.ops;
        EXPECT_EQ(rig.host.statusBarShown, c.statusBar) << c.ops;
        EXPECT_EQ(rig.host.hasMenu, c.menu) << c.ops;
        // The relayout reached the page with the new view.
        EXPECT_EQ(rig.browser.top, c.addressBar) << c.ops;
        EXPECT_EQ(rig.browser.height, 600 - c.addressBar - (c.statusBar ? 19 : 0)) << c.ops;
    }
}

TEST(MainWindowView, ToggleStatusBarRecomposesTheTitleAndShowAllDoesNot) {
    Rig rig;
    rig.browser.locationName = "Page";
    rig.window.OnInitDialog(ShowCommand::Normal);
    rig.window.ShowAll();
    EXPECT_TRUE(rig.host.titles.empty());
    rig.window.ToggleStatusBar();
    rig.window.ToggleStatusBar();
    const std::string word = U8(u8"ぽれみす");
    EXPECT_EQ(rig.host.titles, (std::vector<std::string>{"Page - " + word + " > ", "Page - " + word}));
}

TEST(MainWindowClose, SavesThePlacementOnlyOnACloseRequest) {
    const struct {
        std::string name;
        bool readable, maximized;
        int command;  // 0: a close request
        std::optional<std::string> win;
    } cases[] = {
        {"close", true, false, 0, "1:1:-1:-1:-8:-8:10:20:330:440"},
        {"close maximised", true, true, 0, "3:1:-1:-1:-8:-8:10:20:330:440"},
        {"placement unreadable", false, false, 0, std::nullopt},
        {"OK", true, false, cmd::kOk, std::nullopt},
        {"Cancel", true, true, cmd::kCancel, std::nullopt},
    };
    for (const auto& c : cases) {
        Rig rig;
        if (c.readable) rig.host.placement = WindowPlacement{1, 1, -1, -1, -8, -8, 10, 20, 330, 440};
        rig.host.maximized = c.maximized;
        c.command ? rig.window.OnCommand(c.command) : rig.window.OnClose();
        EXPECT_EQ(rig.host.endWindows, 1) << c.name;
        EXPECT_EQ(StoredWin(rig), c.win) << c.name;
    }
}

// What a command may change, as "key=value" texts.
std::map<std::string, std::string> Snapshot(Rig& rig) {
    auto join = [](const auto& items) {
        std::string out;
        for (const auto& item : items) out += (out.empty() ? "" : "|") + std::string(item);
        return out;
    };
    auto& b = rig.browser;
    auto& h = rig.host;
    auto& s = rig.state;
    std::vector<std::string> closed;
    for (WindowId id : rig.windows.closeRequests) closed.push_back(std::to_string(id));
    std::map<std::string, std::string> snapshot = {
        {"back", std::to_string(b.backs)},   {"fwd", std::to_string(b.forwards)},
        {"search", std::to_string(b.searches)}, {"quit", std::to_string(b.quits)},
        {"nav", join(b.navigations)},        {"bar", h.addressBar},
        {"record", std::to_string(s.recordNextPage)}, {"ticks", std::to_string(s.idleTicks)},
        {"menu", std::to_string(h.hasMenu)}, {"destroys", std::to_string(h.menuDestroys)},
        {"menuIe", std::to_string(h.browserMenus)}, {"status", std::to_string(s.statusBarVisible)},
        {"height", std::to_string(s.addressBarHeight)}, {"shows", std::to_string(h.shows.size())},
        {"box", h.boxes.empty() ? "" : h.boxes.back().text + "|" + h.boxes.back().caption},
        {"doc", join(rig.process.openedDocuments)}, {"closed", join(closed)},
        {"dialog", std::to_string(h.urlDialogRuns)}, {"end", std::to_string(h.endWindows)},
    };
    for (auto& [key, value] : snapshot) {
        for (auto at = value.find(rig.dir.Path()); at != std::string::npos; at = value.find(rig.dir.Path())) {
            value.replace(at, rig.dir.Path().size(), "$");
        }
    }
    return snapshot;
}

TEST(MainWindowCommands, EachCommandHasItsOwnEffect) {
    const std::string word = U8(u8"ぽれみす");
    const struct {
        bool system;
        int id;
        std::string changes;  // the keys that changed, in order, with their new values
    } cases[] = {
        {false, cmd::kOk, "end=1"},
        {false, cmd::kCancel, "end=1"},
        {false, cmd::kBack, "back=1 record=0 ticks=0"},
        {false, cmd::kForward, "fwd=1 record=0 ticks=0"},
        {false, cmd::kNavigate, "nav=about:home|typed ticks=0"},
        {false, cmd::kQuit, "quit=1"},
        {false, cmd::kSearch, "search=1"},
        {false, cmd::kVersion, ""},
        {false, cmd::kHelp, "doc=$/readme.txt"},
        {false, cmd::kHandOff, "bar= nav=about:home| ticks=0"},
        {false, cmd::kTabPlus, ""},
        {false, cmd::kRemoveMenu, "destroys=1"},
        {false, cmd::kTitleHistory,
         "bar=$/WindowTitleHis.htm nav=about:home|$/WindowTitleHis.htm record=0 ticks=0"},
        {false, cmd::kCloseIe, "closed=5"},
        {false, cmd::kResetHistory, "box=" + U8(u8"履歴を初期化する") + "|" + word},
        {false, cmd::kPath, "box=C:\\x|" + U8(u8"パス")},
        {false, cmd::kFavorites,
         "bar=$/win/favorites/Favorites.htm nav=about:home|$/win/favorites/Favorites.htm ticks=0"},
        {false, cmd::kToggleAddressBar, "height=21 shows=2 ticks=0"},
        {false, cmd::kMenuIe, "menuIe=1"},
        {false, cmd::kHideAll, "destroys=1 shows=2 ticks=0"},
        {false, cmd::kToggleStatusBar, "shows=2 status=1 ticks=0"},
        {false, cmd::kShowAll, "height=21 menu=1 shows=2 status=1 ticks=0"},
        {false, 99999, ""},
        // System commands are compared with their low four bits cleared.
        {true, 16, "dialog=1"},
        {true, 16 | 0xF, "dialog=1"},
        {true, 32 | 3, "height=21 menu=1 shows=2 status=1 ticks=0"},
        {true, 48, "doc=$/readme.txt"},
        {true, 0xF060, ""},
    };
    for (const auto& c : cases) {
        Rig rig;
        std::filesystem::create_directories(rig.dir / "win/favorites");
        test::ScopedEnvironment env("winbootdir", rig.dir / "win");
        rig.window.OnInitDialog(ShowCommand::Normal);
        rig.host.addressBar = "typed";
        rig.browser.path = "C:\\x";
        rig.windows.Add(5, "Internet Explorer");
        rig.state.idleTicks = 9;
        auto before = Snapshot(rig);
        bool handled = c.system ? rig.window.OnSysCommand(c.id) : (rig.window.OnCommand(c.id), true);
        std::string changes;
        for (const auto& [key, value] : Snapshot(rig)) {
            if (before[key] != value) changes += (changes.empty() ? "" : " ") + key + "=" + value;
        }
        EXPECT_EQ(changes, c.changes) << c.id;
        EXPECT_EQ(handled, c.changes != "" || !c.system) << c.id;
    }
}

TEST(MainWindowNavigation, AddressBarNavigatesOnEnterAndOnLeavingIt) {
    Rig rig;
    WriteFile(rig.dir / "Go.URL", Shortcut("http://go.example/"));
    rig.host.addressBar = rig.dir / "Go.URL";
    rig.state.idleTicks = 12;
    rig.window.OnAddressBarActivate();
    EXPECT_EQ(rig.state.idleTicks, 0);
    rig.host.addressBar = "http://typed.example/";
    rig.window.OnAddressBarFocusOut();
    EXPECT_EQ(rig.browser.navigations, (std::vector<std::string>{"http://go.example/", "http://typed.example/"}));
    EXPECT_EQ(rig.host.addressBar, "http://typed.example/");  // not rewritten until the page completes
}

// Ticks the timer until the window is asked to close; the number of ticks.
int TicksUntilClose(Rig& rig) {
    for (int tick = 1; tick <= 1000; ++tick) {
        rig.window.OnTimer();
        if (rig.host.sendCloses > 0) return tick;
    }
    return -1;
}

TEST(IdleWatchdog, MinimisesAtTick56AndClosesAt61TicksAfterTheMinimisation) {
    Rig rig;
    rig.host.placement = WindowPlacement{0, 1, -1, -1, -1, -1, 0, 0, 640, 480};
    for (int tick = 1; tick <= 55; ++tick) rig.window.OnTimer();
    EXPECT_TRUE(rig.host.shows.empty());
    rig.window.OnTimer();
    EXPECT_EQ(rig.host.shows, std::vector<ShowCommand>{ShowCommand::ShowMinimized});
    EXPECT_EQ(rig.state.idleTicks, 0);  // the minimisation was a size change
    EXPECT_EQ(TicksUntilClose(rig), 61);
    EXPECT_EQ(rig.host.shows.size(), 1u + 6u);  // ticks 56 to 61 re-show it without effect
    EXPECT_EQ(rig.host.endWindows, 1);
    EXPECT_EQ(StoredWin(rig), "0:1:-1:-1:-1:-1:0:0:640:480");  // the ordinary close path
}

TEST(IdleWatchdog, CountsFromTheLastResetWhateverItWas) {
    const struct {
        std::string name;
        std::function<void(Rig&)> reset;
        int ticksToClose;
    } cases[] = {
        {"user minimises", [](Rig& r) { r.host.Show(ShowCommand::Minimize); }, 61},
        {"restored", [](Rig& r) { r.host.Show(ShowCommand::Minimize), r.host.Show(ShowCommand::Normal); }, 56 + 61},
        {"input", [](Rig& r) { r.window.OnInput(); }, 56 + 61},
        {"navigation", [](Rig& r) { r.window.NavigateToAddressBar(); }, 56 + 61},
        {"page completion", [](Rig& r) { r.window.Events().OnDocumentComplete(); }, 56 + 61},
        {"a status text is none", [](Rig& r) { r.window.Events().OnStatusTextChange("x"); }, 56 + 61 - 40},
    };
    for (const auto& c : cases) {
        Rig rig;
        for (int tick = 0; tick < 40; ++tick) rig.window.OnTimer();
        c.reset(rig);
        EXPECT_EQ(TicksUntilClose(rig), c.ticksToClose) << c.name;
    }
}

}  // namespace
}  // namespace poremisu
