// The main window's logic: initialisation, start address, layout, view
// state, closing, the command table, the address dialog and the idle watchdog.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "app/Placement.h"
#include "fakes/Rig.h"
#include "ui/CommandTable.h"
#include "ui/Title.h"
#include "ui/UrlInputDialog.h"

namespace poremisu::test {
namespace {

// Every start also sets up the system menu, the icon, the frame, the engine's status texts and the timer.
TEST(MainWindowInit, StartsAtTheArgumentOrTheShortcutsUrlAndRestoresAStoredPlacement) {
    const std::vector<std::string> menu = {U8(u8"URL入力 (&U)..."), "MENU SET(&V)", "HELP(&H)"};
    const struct {
        std::string argument, address, win = "";
        bool applied = false;
    } cases[] = {
        {"", "about:home", "2:3:-1:-1:-8:-8:10:20:330:440", true},
        // Saturated, tiny or not wholly on the 1280 x 1024 screen: no placement.
        {"", "about:home", "0:1:-1:-1:-1:-1:-2147483648:-2147483648:2147483647:2147483647", false},
        {"", "about:home", "0:1:-1:-1:-1:-1:10:20:329:440", false},
        {"", "about:home", "0:1:-1:-1:-1:-1:10:300:330:579", false},
        {"", "about:home", "0:1:-1:-1:-1:-1:1000:10:1400:500", false},
        {"", "about:home", "2:1:-1:-1:-1:-1:0:0:1280:1024", true},
        {"\"page.htm\"", "\"page.htm\"", "", false},  // a first start keeps the quotes
        {"News.url", "http://news.example/"},  // relative to the current directory
        {"\"News.url\"", ""},  // resolved with its quotes: no such file
        // Only a file of a shortcut's size is read, so this one holds no start.
        {"Sparse.url", ""},
        {"Padded.url", "http://padded.example/"},
    };
    for (const auto& c : cases) {
        Rig rig;
        // Gigabytes of nothing, with the section at their end.
        std::ofstream(rig.dir / "Sparse.url").seekp(4ll << 30) << "\r\n" + Shortcut("http://sparse.example/");
        WriteFile(rig.dir / "Padded.url", std::string(900 * 1024, ';') + "\r\n" + Shortcut("http://padded.example/"));
        WriteFile(rig.dir / "News.url", Shortcut("http://news.example/"));
        WriteFile(rig.state.settingsPath, "[setting]\r\nwin=" + c.win + "\r\n");
        std::filesystem::current_path(rig.dir.Path());
        rig.state.scratchText = c.argument;
        EXPECT_TRUE(rig.window.OnInitDialog(ShowCommand::ShowMinimized));
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{c.address}) << c.argument;
        // The placement is restored with the show state of this start.
        WindowPlacement stored = ParsePlacement(c.win).value_or(WindowPlacement{});
        stored.showCommand = 2;
        EXPECT_EQ(rig.host.appliedPlacements, std::vector<WindowPlacement>(c.applied, stored)) << c.win;
        EXPECT_EQ(rig.host.systemMenuItems, menu);
        for (std::string step : {"SetIcon", "Resizable(1)", "StatusBar(1)", "StartTimer(3000)", "CreateStatusBar"}) {
            EXPECT_EQ(rig.Calls(step), 1) << step;
        }
    }
}

TEST(MainWindowLayout, GivesThePageWhatTheBarsLeave) {
    Rig rig;
    rig.state.statusBarHeight = 19;
    rig.state.addressBarHeight = 21;
    rig.window.OnSize(800, 600);
    rig.state.statusBarVisible = 1;
    rig.window.OnSize(64, 30);  // lower than its bars: passed as computed
    EXPECT_EQ(rig.log, (CallLog{"Left(0)", "Width(800)", "Top(21)", "Height(579)", "MoveAddressBar(0,0,800,21)",
                                "Left(0)", "Width(64)", "Top(21)", "Height(-10)", "MoveStatusBar(0,11,64,19)",
                                "MoveAddressBar(0,0,64,21)"}));
}

// What a command may change, as "key=value" texts, the program folder as "$".
std::map<std::string, std::string> Snapshot(Rig& rig) {
    auto join = [](const auto& items) {
        std::string out;
        for (const auto& item : items) out += (out.empty() ? "" : "|") + item;
        return out;
    };
    const auto& b = rig.browser;
    const auto& h = rig.host;
    const auto& s = rig.state;
    std::map<std::string, std::string> snapshot = {
        {"nav", join(b.navigations)}, {"text", h.addressBar}, {"doc", join(rig.process.openedDocuments)},
        {"box", join(h.boxes)}, {"title", h.titles.empty() ? "" : h.titles.back()},
        {"ini", ReadFile(s.settingsPath)},
        {"page", std::to_string(b.top) + "," + std::to_string(b.height)}};
    for (const auto& [key, n] : std::map<std::string, int>{
             {"record", s.recordNextPage}, {"ticks", s.idleTicks}, {"menu", h.hasMenu}, {"status", s.statusBarVisible},
             {"shown", h.statusBarShown}, {"height", s.addressBarHeight}, {"full", h.fullScreen},
             {"closed", int(rig.windows.closeRequests.size())}}) {
        snapshot[key] = std::to_string(n);
    }
    for (const char* call : {"GoBack", "GoForward", "GoSearch", "Quit", "Refresh", "DestroyMenu", "AttachBrowserMenu",
                             "Show", "RunUrlInputDialog", "EndBoxes", "EndWindow", "Relayout", "FocusAddressBar"}) {
        snapshot[call] = std::to_string(rig.Calls(call));
    }
    for (auto& [key, value] : snapshot) {
        std::replace(value.begin(), value.end(), '\\', '/');  // one separator on every platform
        const std::string& dir = rig.dir.Path();
        for (std::size_t at; (at = value.find(dir)) != std::string::npos;) value.replace(at, dir.size(), "$");
    }
    return snapshot;
}

// Each command, or short run of commands, from the bare view of a fresh window.
// Below zero: Escape outside the page or in it, a crash of the engine, a close
// request, the window maximised, its placement unreadable, a close request
// that comes while a box is open, a link followed to another page, the focus
// leaving the address bar and the user typing into it; kOutside marks a
// command sent by another process.
constexpr int kEscapeOutside = -1, kEscapeInPage = -2, kCrash = -3, kClose = -4, kMaximise = -5, kForget = -6,
              kCloseInBox = -7, kLink = -8, kLeaveBar = -9, kTypeInBar = -10, kOutside = 1 << 20, kKey = 1 << 21;
TEST(MainWindowCommands, EachCommandHasItsOwnEffect) {
    const std::string full = "Page - " + kWord, bare = full + " > ", path = "box=C:/x|" + U8(u8"パス");
    const std::string saved = "ini=[setting]\r\nwin=", placement = ":1:-1:-1:-8:-8:10:20:330:440\r\n";
    const struct {
        bool system;
        std::vector<int> ids;
        std::string changes;  // the keys that changed, in order, with their new values
        bool opener = true;   // the desktop has a working opener for documents
    } cases[] = {
        {false, {cmd::kOk}, "EndWindow=1"},
        {false, {cmd::kQuit}, "Quit=1"},
        {false, {cmd::kSearch}, "GoSearch=1"},
        {false, {cmd::kVersion}, ""},
        {false, {cmd::kHelp}, "doc=$/readme.txt"},
        // Without an opener the window shows the readme itself.
        {true, {48}, "doc=$/readme.txt nav=about:home|$/readme.txt text=$/readme.txt ticks=0", false},
        {false, {cmd::kRemoveMenu}, "DestroyMenu=1"},
        {false, {cmd::kTitleHistory},
         "nav=about:home|$/WindowTitleHis.htm record=0 text=$/WindowTitleHis.htm ticks=0"},
        {false, {cmd::kCloseIe}, "closed=1"},
        {false, {cmd::kResetHistory}, "box=" + U8(u8"履歴を初期化する") + "|" + kWord},
        {false, {cmd::kFavorites},
         "nav=about:home|$/win/favorites/Favorites.htm text=$/win/favorites/Favorites.htm ticks=0"},
        {false, {cmd::kMenuIe}, "AttachBrowserMenu=1"},
        // The view: every change but the menu's ends in a relayout, which
        // reaches the page even at an unchanged size; only the status bar's recomposes the title.
        {false, {cmd::kToggleAddressBar, cmd::kToggleAddressBar}, "Relayout=2 page=0,600 ticks=0"},
        {false, {cmd::kToggleStatusBar}, "Relayout=1 page=0,581 shown=1 status=1 ticks=0 title=" + full},
        {false, {cmd::kToggleStatusBar, cmd::kToggleStatusBar}, "Relayout=2 page=0,600 ticks=0 title=" + bare},
        {false, {cmd::kShowAll, cmd::kHideAll}, "DestroyMenu=1 Relayout=2 page=0,600 ticks=0"},
        // System commands are compared with their low four bits cleared.
        {true, {16 | 0xF}, "RunUrlInputDialog=1"},
        {true, {32 | 3}, "Relayout=1 height=21 menu=1 page=21,560 shown=1 status=1 ticks=0"},
        {true, {0xF060}, ""},
        // Escape is the window's Cancel outside the page, the page's own in it.
        {true, {kEscapeOutside}, "EndWindow=1"},
        {true, {kEscapeInPage}, ""},
        // A page lost with the engine's process is shown again once per
        // navigation (here to the shortcut the bar names).
        {false, {kCrash, cmd::kNavigate, kCrash, kCrash}, "Refresh=2 nav=about:home|http://go.example/ ticks=0"},
        {false, {kCrash, cmd::kBack, kCrash}, "GoBack=1 Refresh=2 record=0 ticks=0"},
        {false, {kCrash, cmd::kForward, kCrash}, "GoForward=1 Refresh=2 record=0 ticks=0"},
        {false, {kCrash, kCrash, kLink, kCrash, kCrash}, "Refresh=2"},
        // From another process only the hand-off is taken.
        {true, {kOutside | cmd::kShowAll}, ""},
        // A close request saves the placement, flagged when maximised; the box
        // ends first, and the window once the box's loop has returned.
        {false, {kMaximise, kClose}, "EndWindow=1 " + saved + "3" + placement},
        {false, {kForget, kClose}, "EndWindow=1"},
        // Leaving the bar goes only to a text the user typed there, once: not
        // to what Enter, a hand-off or a page put there.
        {false, {kLeaveBar, kLeaveBar}, "nav=about:home|http://go.example/ ticks=0"},
        {false, {cmd::kNavigate, kLeaveBar}, "nav=about:home|http://go.example/ ticks=0"},
        {true, {kOutside | cmd::kHandOff, kLeaveBar}, "nav=about:home| text= ticks=0"},
        {false, {kLeaveBar, kTypeInBar, kLeaveBar}, "nav=about:home|http://go.example/|typed text=typed ticks=0"},
        // The control's keys: Back and Forward as the commands; a reload logs nothing; the
        // address keys go to the bar when it is shown, else to the dialog; the rest is the control's.
        {false, {kKey | int(ControlAction::Back)}, "GoBack=1 record=0 ticks=0"},
        {false, {kKey | int(ControlAction::Reload)}, "Refresh=1 record=0 ticks=0"},
        {false, {kKey | int(ControlAction::FocusAddress)}, "RunUrlInputDialog=1"},
        {false, {cmd::kToggleAddressBar, kKey | int(ControlAction::FocusAddress)},
         "FocusAddressBar=1 Relayout=1 height=21 page=21,579 ticks=0"},
        {true, {kKey | int(ControlAction::ZoomIn)}, ""},
        // Full screen hides the bars; leaving it brings back those that were shown.
        {false, {cmd::kShowAll, kKey | int(ControlAction::FullScreen)}, "DestroyMenu=1 Relayout=2 full=1 page=0,600 ticks=0"},
        {false, {cmd::kShowAll, kKey | int(ControlAction::FullScreen), kKey | int(ControlAction::FullScreen)},
         "DestroyMenu=1 Relayout=3 height=21 menu=1 page=21,560 shown=1 status=1 ticks=0"},
        {false, {cmd::kToggleStatusBar, kKey | int(ControlAction::FullScreen), kKey | int(ControlAction::FullScreen)},
         "DestroyMenu=1 Relayout=3 page=0,581 shown=1 status=1 ticks=0 title=" + full},
        {false, {kCloseInBox, cmd::kPath}, "EndBoxes=1 EndWindow=1 " + path + " " + saved + "1" + placement},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.process.opens = c.opener;
        std::filesystem::create_directories(rig.dir / "win/favorites");
        ScopedEnvironment env("winbootdir", rig.dir / "win");
        rig.window.OnInitDialog(ShowCommand::Normal);
        WriteFile(rig.dir / "Go.URL", Shortcut("http://go.example/"));
        rig.host.addressBar = rig.dir / "Go.URL";
        rig.browser.path = "C:/x";
        rig.browser.locationName = "Page";
        rig.windows.windows.push_back({5, "Internet Explorer"});
        rig.state.idleTicks = 9;
        rig.host.placement = WindowPlacement{1, 1, -1, -1, -8, -8, 10, 20, 330, 440};
        auto before = Snapshot(rig);
        bool handled = true;
        for (int id : c.ids) {
            if (id == kCrash) rig.window.OnEngineCrashed();
            else if (id == kClose) rig.window.OnClose();
            else if (id == kMaximise) rig.host.maximized = true;
            else if (id == kForget) rig.host.placement.reset();
            else if (id == kCloseInBox) rig.host.whileBoxOpen = [&] { rig.window.OnClose(); };
            else if (id == kLink) rig.browser.locationUrl += "next/";
            else if (id == kLeaveBar) rig.window.OnAddressBarFocusOut();
            else if (id == kTypeInBar) rig.host.addressBar = "typed";
            else if (id < 0) handled = rig.window.OnEscape(id == kEscapeInPage);
            else if (id & kOutside) handled = rig.window.OnExternalCommand(id & ~kOutside);
            else if (id & kKey) handled = rig.window.OnControlKey(ControlAction(id & ~kKey));
            else c.system ? handled = rig.window.OnSysCommand(id) : (rig.window.OnCommand(id), 1);
        }
        std::string changes;
        for (const auto& [key, value] : Snapshot(rig)) {
            if (before[key] != value) changes += (changes.empty() ? "" : " ") + key + "=" + value;
        }
        EXPECT_EQ(changes, c.changes) << c.ids[0];
        EXPECT_EQ(handled, c.changes != "" || !c.system) << c.ids[0];
    }
}

// GO takes the address as typed in the dialog, not the page's; Escape (the
// hidden menu button) brings the menu bar back and keeps the dialog open. Three
// rows of text above GO and cancel at the right; never higher than nine rows.
TEST(UrlInputDialog, ShowsThePageAndAnAnchorLaysOutItsRowsAndGoesToTheTypedAddress) {
    const CallLog rows = {"Move(1006,0,0,300,21)",  "Move(1007,0,21,300,21)", "Move(1008,0,42,300,21)",
                          "Move(1,216,63,42,21)", "Move(5,258,63,42,21)"};
    Rig rig;
    rig.state.rowHeight = 21;
    rig.browser.locationUrl = "http://a.example/p";
    // The anchor is held to what a title may hold.
    for (const std::string& name : {std::string(2000, 'n'), std::string("Page")}) {
        rig.browser.locationName = name;
        EXPECT_TRUE(UrlInputDialog(rig.state, rig.browser, rig.window, rig.host, rig.host).OnInitDialog());
        const std::string anchor = "<a href=\"http://a.example/p\">" + name + "</a>";
        EXPECT_EQ(rig.host.dialogFields, (std::map<int, std::string>{{dlg::kAddress, "http://a.example/p"},
                                                                    {dlg::kPageName, name},
                                                                    {dlg::kAnchor, anchor.substr(0, 1023)}}));
    }
    UrlInputDialog dialog{rig.state, rig.browser, rig.window, rig.host, rig.host};
    // The same size again is no size change.
    for (std::int32_t height : {189, 189, 190}) dialog.OnSize(300, height);
    CallLog expected = rows;
    expected.push_back("MoveDialog(0,0,300,189)");
    expected.insert(expected.end(), rows.begin(), rows.end());
    EXPECT_EQ(rig.log, expected);
    // Any other control does nothing.
    rig.host.dialogFields[dlg::kAddress] = "http://typed.example/";
    for (int id : {99, dlg::kMenu}) dialog.OnCommand(id);
    EXPECT_TRUE(rig.host.hasMenu);
    EXPECT_EQ(rig.host.dialogEnds, std::vector<DialogResult>{});
    for (int id : {dlg::kCancel, dlg::kGo}) dialog.OnCommand(id);
    EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{"http://typed.example/"});
    EXPECT_EQ(rig.host.dialogEnds, (std::vector{DialogResult::Cancel, DialogResult::Ok}));
}

// A status text with "http" is kept as the last link; each text goes to the bar, or else the title.
TEST(ShowStatusText, KeepsTheLastTextWithHttpAndShowsEachInTheBarOrElseTheTitle) {
    const std::string huge = "http://" + std::string(70000, 'x');
    const auto load = StatusOrigin::LoadProgress, control = StatusOrigin::Control;
    // A stand-in's own progress texts are never links, whatever they quote.
    const std::tuple<std::string, StatusOrigin, bool> cases[] = {
        {"Go to https://b.example/ now", control, true}, {"xhttpx", control, true},
        {"HTTP://C.EXAMPLE/", control, false}, {"", control, false}, {huge, control, true},
        {"http://127.0.0.1/popups " + U8(u8"を開いています..."), load, false}};
    Rig rig;
    rig.browser.locationName = "Page";
    std::string link = rig.state.lastLinkUrl = "earlier http text";
    std::vector<std::string> titles, barTexts;
    for (bool bar : {false, true}) {
        rig.state.statusBarVisible = bar;
        for (const auto& [text, origin, captured] : cases) {
            rig.window.Events().OnStatusTextChange(text, origin);
            if (captured) link = text.substr(0, 59999);
            EXPECT_EQ(rig.state.lastLinkUrl, link) << text.substr(0, 40);
            (bar ? barTexts : titles).push_back(bar ? text : FormatTitle("Page", kWord, text, false));
        }
    }
    EXPECT_EQ(rig.host.titles, titles);
    EXPECT_EQ(rig.host.statusTexts, barTexts);
}

// Minimised at the 56th tick since the last reset, asked to close at the 61st
// after the minimisation; re-showing a minimised window resets nothing.
TEST(IdleWatchdog, MinimisesAtTick56AndClosesAt61TicksAfterTheMinimisation) {
    const struct {
        std::string name;
        void (*reset)(Rig&);
        int ticksToClose;
    } cases[] = {
        {"a status text is none", [](Rig& r) { r.window.Events().OnStatusTextChange("x", StatusOrigin::Control); }, 56 + 61 - 40},
        {"input", [](Rig& r) { r.window.OnInput(); }, 56 + 61},
        {"input to a box is none",
         [](Rig& r) { r.host.whileBoxOpen = [&r] { r.window.OnInput(); }, r.window.OnCommand(cmd::kPath); },
         56 + 61 - 40},
        {"the user minimises", [](Rig& r) { r.host.Show(ShowCommand::Minimize); }, 61},
    };
    for (const auto& c : cases) {
        Rig rig;
        for (int tick = 0; tick < 40; ++tick) rig.window.OnTimer();
        c.reset(rig);
        int ticks = 0;
        for (; rig.Calls("SendClose") == 0 && ticks < 1000; ++ticks) rig.window.OnTimer();
        EXPECT_EQ(ticks, c.ticksToClose) << c.name;
        // Minimised, then re-shown at idle ticks 56 to 61.
        EXPECT_EQ(rig.Calls("Show"), 7) << c.name;
    }
}

}  // namespace
}  // namespace poremisu::test
