// What reaches the running program: a later start and its hand-off, the
// browser control's events, and the sweep of external browser windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/BrowserApp.h"
#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu::test {
namespace {

// A later start of the program beside the rig's running window.
struct LaterStart : MainWindowRunner {
    explicit LaterStart(Rig& rig) : app(state, rig.texts, rig.services) {}
    StartOutcome Start(std::string argument, std::string modulePath) {
        return app.Start({std::move(modulePath), std::move(argument), ShowCommand::Maximized}, *this);
    }
    void RunMainWindow(ShowCommand show) override { runs.push_back(show), startText = state.scratchText; }

    AppState state;
    BrowserApp app;
    std::vector<ShowCommand> runs;
    std::string startText;
};

TEST(BrowserAppStart, AFirstInstanceRunsTheWindowWithTheArgumentAsItCameUnlessItsFolderIsTooLong) {
    // The longest joined path is the history's: folder + 18 bytes must stay under 260.
    const std::pair<std::size_t, std::string> cases[] = {
        {12, "\"C:\\a b\\News.url\""}, {241, ""}, {12, std::string(70000, 'a')}, {242, "x"}};
    for (const auto& [folderBytes, argument] : cases) {
        Rig rig;
        LaterStart start(rig);
        std::string folder = "/" + std::string(folderBytes - 2, 'd') + "/";
        bool fits = folderBytes + 18 < 260;
        auto outcome = start.Start(argument, folder + "poremisu");
        const AppState& s = start.state;
        std::vector<std::string> paths = {s.programDir, s.settingsPath, s.historyPath, s.readmePath};
        EXPECT_EQ(outcome, fits ? StartOutcome::RanMainWindow : StartOutcome::Refused);
        std::vector<std::string> expected = {folder, folder + "poremisu.ini", folder + "WindowTitleHis.htm",
                                             folder + "readme.txt"};
        EXPECT_EQ(paths, fits ? expected : std::vector<std::string>(4));
        EXPECT_EQ(start.runs, std::vector<ShowCommand>(fits, ShowCommand::Maximized));
        EXPECT_EQ(start.startText, fits ? argument.substr(0, 59999) : "");
        EXPECT_EQ(rig.process.instances, std::vector<std::string>(fits, s.instanceName));
        EXPECT_EQ(s.instanceName.substr(0, 9), fits ? "poremisu-" : "");
    }
}

// A later start reports success only when the running window of its own copy
// of the program took the address it wrote; when that instance has gone it
// runs a window of its own.
TEST(BrowserAppHandOff, GoesToTheFirstProgramWindowOfItsCopyTitledWithTheProductWord) {
    enum Setup { Plain, SettingsUnwritable, HandOffLockStuck, InstanceEndsMeanwhile, ShownLate, NeverShown,
                 BreaksAround, BreakInside };
    using O = StartOutcome;
    const struct {
        std::string name;
        std::vector<FakeWindow> windows;
        std::vector<WindowId> handedTo;
        StartOutcome outcome;
        Setup setup = Plain;
        std::string reason = "";
    } cases[] = {
        {"first of two",
         {{10, "notes - " + kWord + ".txt"}, {11, "Page - " + kWord + " > ", true}, {12, kWord, true}},
         {11}, O::HandedOff},
        {"word past the title bound", {{11, std::string(59996, 'x') + kWord, true}}, {}, O::RanMainWindow},
        {"word ending at the bound", {{11, std::string(59999 - kWord.size(), 'x') + kWord, true}}, {11}, O::HandedOff},
        {"no windows", {}, {}, O::RanMainWindow},
        // The running instance's program started a moment before: its window is waited for, within a bound.
        {"window shown at the last look", {{11, kWord, true}}, {11}, O::HandedOff, ShownLate},
        {"window never shown", {{11, kWord, true}}, {}, O::RanMainWindow, NeverShown},
        {"window not answering", {{11, kWord, true, false, true}}, {11}, O::HandOffFailed, Plain, "within 5 seconds"},
        {"window gone with its program", {{11, kWord, true, false, true}}, {11}, O::RanMainWindow, InstanceEndsMeanwhile},
        {"settings not writable", {{11, kWord, true}}, {}, O::HandOffFailed, SettingsUnwritable,
         "poremisu.ini: "},  // and the system's reason
        {"another start stuck handing over", {{11, kWord, true}}, {}, O::HandOffFailed, HandOffLockStuck, "still"},
        // The settings file keeps a value to its line's end.
        {"line breaks around the address", {{11, kWord, true}}, {11}, O::HandedOff, BreaksAround},
        {"a line break inside it", {{11, kWord, true}}, {}, O::HandOffFailed, BreakInside, "line break"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.process.instance = InstanceResult::AlreadyExists;
        rig.process.handOffLockStuck = c.setup == HandOffLockStuck;
        if (c.setup == SettingsUnwritable) std::filesystem::create_directory(rig.state.settingsPath);
        rig.windows.unshownFor = c.setup == ShownLate ? kWindowLooks - 1 : c.setup == NeverShown ? kWindowLooks : 0;
        rig.windows.windows = c.windows;
        const std::string address = "\"/tmp/a b/page.htm\"";
        const std::string argument = c.setup == BreaksAround  ? "\n \r\n" + address + "\r\n"
                                     : c.setup == BreakInside ? address + "\r\nb"
                                                              : address;
        const std::string written = "[setting]\r\nnewurl=" + address + "\r\n";
        std::pair<std::string, int> atHandOff;  // the file and the locks held
        // The rig's window stands for the running one: it loads what it is handed at once.
        rig.host.minimized = true;
        rig.windows.onHandOff = [&](WindowId id) {
            atHandOff = {ReadFile(rig.state.settingsPath), rig.process.locksHeld};
            if (c.setup == InstanceEndsMeanwhile) rig.process.instance = InstanceResult::First;
            if (!rig.windows.Find(id)->silent) rig.window.OnCommand(cmd::kHandOff);
        };
        LaterStart start(rig);
        StartOutcome outcome = start.Start(argument, rig.dir / "poremisu");

        bool wrote = c.setup != SettingsUnwritable && c.setup != HandOffLockStuck && c.setup != BreakInside;
        EXPECT_EQ(ReadFile(rig.state.settingsPath), wrote ? written : "");
        EXPECT_EQ(rig.windows.handOffs, c.handedTo);
        EXPECT_EQ(outcome, c.outcome);
        // Written, under the lock, before the command is sent.
        EXPECT_EQ(atHandOff, c.handedTo.empty() ? std::pair(std::string(), 0) : std::pair(written, 1));
        EXPECT_EQ(start.startText, outcome == O::RanMainWindow ? argument : "");
        // Only a start whose running window went holds the instance; the others' windows take it later.
        EXPECT_EQ(start.state.instanceHeld, c.setup == InstanceEndsMeanwhile);
        // The running window takes off a matching pair of quotes and is not restored.
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>(outcome == O::HandedOff, "/tmp/a b/page.htm"));
        EXPECT_TRUE(rig.host.minimized);
        EXPECT_NE(start.app.FailureReason().find(c.reason), std::string::npos) << start.app.FailureReason();
        EXPECT_EQ(start.app.FailureReason().empty(), c.reason.empty());
    }
    // Two copies in one folder share its settings file, so their later starts take turns.
    Rig rig;
    rig.process.instance = InstanceResult::AlreadyExists;
    for (const char* copy : {"poremisu", "poremisu2"}) LaterStart(rig).Start("x", rig.dir / copy);
    ASSERT_EQ(rig.process.handOffLocks.size(), 2u);
    EXPECT_EQ(rig.process.handOffLocks[0], rig.process.handOffLocks[1]);
    // A window run beside another takes the instance over at a tick once that one has gone, and keeps it.
    rig.process.instances.clear();
    for (InstanceResult other : {InstanceResult::AlreadyExists, InstanceResult::First, InstanceResult::First}) {
        rig.process.instance = other;
        rig.window.OnTimer();
    }
    EXPECT_EQ(rig.process.instances.size(), 2u);
    // The copy's name: the program's name and a digest of its folder.
    EXPECT_EQ(InstanceNameOf("/opt/a/poremisu", "/", false), InstanceNameOf("/opt/a/poremisu.bin", "/", false));
    EXPECT_NE(InstanceNameOf("/opt/a/poremisu", "/", false), InstanceNameOf("/opt/b/poremisu", "/", false));
    EXPECT_NE(InstanceNameOf("/opt/A/poremisu", "/", false), InstanceNameOf("/opt/a/poremisu", "/", false));
    EXPECT_EQ(InstanceNameOf("C:\\A\\POREMISU.EXE", "\\/", true), InstanceNameOf("c:\\a\\poremisu.exe", "\\/", true));
    // "ア" and "ヂ" in CP932: their second bytes are "A" and "a".
    EXPECT_NE(InstanceNameOf("C:\\\x83\x41\\poremisu.exe", "\\/", true),
              InstanceNameOf("C:\\\x83\x61\\poremisu.exe", "\\/", true));
}

void Complete(Rig& rig, std::string url, std::string name) {
    rig.browser.locationUrl = std::move(url);
    rig.browser.locationName = std::move(name);
    rig.window.Events().OnDocumentComplete();
}

// A completed page shows its address and title and is logged, but for the one
// after a step back; a local folder is listed and its listing shown instead,
// while a local file and a folder named like a page are left alone.
TEST(PageCompletion, ShowsAndLogsThePageButAfterASkipAndListsALocalFolderInstead) {
    const std::pair<std::string, bool> cases[] = {
        {"/a%20b/", true}, {"/a%20b/x.url", false}, {"/a%20b/e.htm", false}, {"/a%20b/%00/", false}};
    const std::string title = "a b - " + kWord + " > ";
    for (const auto& [tail, listed] : cases) {
        SCOPED_TRACE(tail);
        Rig rig;
        TempDir current;
        std::filesystem::current_path(current.Path());
        const std::string folder = rig.dir / "a b", page = folder + "/Favorites.htm";
        std::filesystem::create_directories(folder + "/e.htm");
        WriteFile(folder + "/x.url", "");
        const std::string url = "file://" + rig.dir.Path() + tail;
        rig.window.OnCommand(cmd::kBack);
        Complete(rig, "http://skipped/", "");
        rig.state.idleTicks = 20;
        Complete(rig, url, "a b");
        EXPECT_EQ(rig.state.idleTicks, 0);
        EXPECT_EQ(rig.browser.navigations, listed ? std::vector<std::string>{page} : std::vector<std::string>{});
        // The count: . .. e.htm x.url Favorites.htm
        // An untitled page goes by its address.
        std::vector<std::string> titles = {"http://skipped/ - " + kWord + " > ", title, title + "5"};
        EXPECT_EQ(rig.host.titles, std::vector(titles.begin(), titles.end() - !listed));
        EXPECT_EQ(Cwd(), listed ? folder : current.Path());
        // The listing page's own completion is logged and goes no further; a frame counts on its own.
        Complete(rig, "file://" + page, "Favorites.htm");
        Complete(rig, "file://" + page, "");
        EXPECT_EQ(rig.History(), Link(url, "a b") + "\r\n" + Link("file://" + page, "Favorites.htm") + "\r\n" +
                                     Link("file://" + page) + "\r\n");
    }
}

// A pop-up is logged and loaded in the window: the address the page asked for,
// else the last link; never a local one for a page that is not local itself.
// At the next download, and only then, each stray browser window is logged,
// then asked to close, within two seconds in all.
TEST(PopUp, LoadsTheLastLinkThenClosesEachWindowTitledInternetExplorerAtTheNextDownloadOnly) {
    const std::string ie = "Internet Explorer", link = "http://l.example/", web = "http://page.example/";
    const std::string local = "file:///h/WindowTitleHis.htm", file = "file:///h/docs/#http";
    std::vector<FakeWindow> stubborn;
    std::vector<WindowId> stubbornIds;
    for (WindowId id = 2; id < 22; ++id) stubborn.push_back({id, ie, false, false, true}), stubbornIds.push_back(id);
    const struct {
        std::string name;
        std::vector<FakeWindow> windows;
        std::vector<WindowId> closed;
        std::string opener = "", requested = "", lastLink = "", loaded = "";  // the last two: link by default
        int times = 1;          // the request made so often in a row
        bool numbered = false;  // each time with its number after the address
        bool input = false;     // the user's input before each
    } cases[] = {
        {"the address asked for", {}, {}, web, "https://asked.example/a"},
        {"a blank window takes the last link", {}, {}, web, "about:blank"},
        {"no local link for a web page", {}, {}, web, "about:blank", file, "-"},
        {"no local address asked by a web page", {}, {}, web, "FILE:///etc/", "", "-"},
        {"a local page opens what it likes", {}, {}, local, "", file},
        {"the start page too", {}, {}, "about:home", "about:home"},
        // A page that asks again and again fills no disk: one line per address, a few addresses per page.
        {"the same one again", {}, {}, web, "", "", "", 50},
        {"ever new ones", {}, {}, web, "http://x.example/", "", "", 50, true},
        {"each after the user's input", {}, {}, web, "", "", "", 6, false, true},
        {"several survivors", {{2, "A - " + ie}, {3, "notes"}, {4, ie + " B"}, {5, "C " + ie}}, {2, 4, 5}},
        {"destroyed window ends the walk", {{2, "A - " + ie, false, true}, {3, ie}}, {2}},
        {"case and blank matter", {{2, "internet explorer"}, {3, "InternetExplorer"}}, {}},
        // The title is judged by its first 599 bytes, and logged whole.
        {"within the first 599 bytes", {{2, std::string(599 - ie.size(), 'a') + ie + std::string(70000, 't')}}, {2}},
        {"beyond the first 599 bytes", {{2, std::string(600 - ie.size(), 'a') + ie}}, {}},
        {"the program's own window spared", {{kMainWindowId, ie + kWord, true}, {3, ie}}, {3}},
        {"twenty that ignore their requests", stubborn, stubbornIds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.windows.windows = c.windows;
        rig.state.lastLinkUrl = c.lastLink.empty() ? link : c.lastLink;
        rig.browser.locationUrl = c.opener;
        const std::string loaded = c.loaded.empty() ? c.requested.empty() || c.requested == "about:blank"
                                                          ? rig.state.lastLinkUrl
                                                          : c.requested
                                                    : c.loaded == "-" ? "" : c.loaded;
        std::vector<std::string> logAtRequest;
        rig.windows.onCloseRequest = [&](WindowId) { logAtRequest.push_back(rig.History()); };
        rig.window.Events().OnDownloadBegin();  // nothing pending
        std::vector<std::string> navigations;
        std::string expected;
        for (int i = 0; i < c.times; ++i) {
            if (c.input) rig.window.OnInput();
            const std::string number = c.numbered ? std::to_string(i) : "";
            rig.window.Events().OnNewWindow2(c.requested + number);
            const bool kept = c.input || (c.numbered && i < kPopUpsPerPage) || i == 0;
            if (kept && !loaded.empty()) navigations.push_back(loaded + number), expected += "new\t" + loaded + number + "\r\n";
        }
        EXPECT_EQ(rig.browser.navigations, navigations);
        auto started = std::chrono::steady_clock::now();
        rig.window.Events().OnDownloadBegin();
        rig.window.Events().OnDownloadBegin();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
        EXPECT_EQ(rig.windows.closeRequests, c.closed);
        rig.windows.windows = c.windows;  // destroyed ones too, for their titles
        for (std::size_t i = 0; i < c.closed.size(); ++i) {
            expected += "(IE)\t" + rig.windows.Find(c.closed[i])->title.substr(0, 59998) + "\r\n";
            EXPECT_EQ(logAtRequest.at(i), expected) << "logged before its close request";
        }
        EXPECT_EQ(rig.History(), expected);
        // Windows that ignored their requests are asked again at the next
        // pop-up's download, without a wait, and not logged again.
        if (!c.windows.empty() && std::ranges::all_of(c.windows, &FakeWindow::silent)) {
            rig.window.Events().OnNewWindow2(c.requested);
            started = std::chrono::steady_clock::now();
            rig.window.Events().OnDownloadBegin();
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
            EXPECT_EQ(rig.windows.closeRequests.size(), 2 * c.closed.size());
            EXPECT_EQ(rig.History(), expected);
        }
        // A sweep tells whether it found any; the stubborn ones answer at once now.
        for (FakeWindow& w : rig.windows.windows) w.silent = false;
        History log(rig.state, rig.texts, rig.services.files);
        EXPECT_EQ(ExternalBrowserSweep(rig.state, rig.windows, log).SweepExternalBrowsers(), !c.closed.empty());
    }
}

}  // namespace
}  // namespace poremisu::test
