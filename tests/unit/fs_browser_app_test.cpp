// Start-up: file locations, the single instance and the hand-off of the
// start address to a running instance.

#include <gtest/gtest.h>

#include <string>

#include "app/BrowserApp.h"
#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu {
namespace {

using test::ReadFile;
using test::Rig;

struct FakeRunner : MainWindowRunner {
    explicit FakeRunner(AppState& state) : state(state) {}
    void RunMainWindow(ShowCommand showState) override { runs.push_back(showState), startText = state.scratchText; }
    AppState& state;
    std::vector<ShowCommand> runs;
    std::string startText;
};

// A later start of the program beside the rig's running window.
struct LaterStart {
    explicit LaterStart(Rig& rig) : rig(rig), app(state, rig.texts, rig.services), runner(state) {}
    StartOutcome Start(std::string argument, std::string modulePath = "") {
        if (modulePath.empty()) modulePath = rig.dir / "poremisu";
        return app.Start({modulePath, std::move(argument), ShowCommand::Maximized}, runner);
    }
    Rig& rig;
    AppState state;
    BrowserApp app;
    FakeRunner runner;
};

TEST(BrowserAppStart, FixesTheFileLocationsOrRefusesAFolderTooLongForThem) {
    // The longest joined path is the history's: folder + 18 bytes must stay under 260.
    for (std::size_t folderBytes : {12u, 241u, 242u, 300u}) {
        Rig rig;
        LaterStart start(rig);
        std::string folder = "/" + std::string(folderBytes - 2, 'd') + "/";
        bool fits = folderBytes + 18 < 260;
        EXPECT_EQ(start.Start("x", folder + "poremisu"),
                  fits ? StartOutcome::RanMainWindow : StartOutcome::Refused);
        const AppState& s = start.state;
        std::vector<std::string> expected(4);
        if (fits) {
            expected = {folder, folder + "poremisu.ini", folder + "WindowTitleHis.htm", folder + "readme.txt"};
        }
        EXPECT_EQ((std::vector<std::string>{s.programDir, s.settingsPath, s.historyPath, s.readmePath}), expected)
            << folderBytes;
        EXPECT_EQ(start.runner.runs.size(), fits ? 1u : 0u) << folderBytes;
    }
}

TEST(BrowserAppStart, AFirstInstanceRunsTheWindowWithTheArgumentAsItCame) {
    Rig rig;
    for (std::string argument : {"\"C:\\a b\\News.url\"", ""}) {
        LaterStart start(rig);
        EXPECT_EQ(start.Start(argument), StartOutcome::RanMainWindow);
        EXPECT_EQ(start.runner.runs, std::vector<ShowCommand>{ShowCommand::Maximized});
        EXPECT_EQ(start.runner.startText, argument);
    }
    EXPECT_EQ(rig.process.instanceNames, (std::vector<std::string>{"poremisu", "poremisu"}));
    EXPECT_TRUE(rig.process.handOffLocks.empty());
    EXPECT_FALSE(test::FileExists(rig.state.settingsPath));

    LaterStart longStart(rig);
    longStart.Start(std::string(70000, 'a'));
    EXPECT_EQ(longStart.runner.startText, std::string(59999, 'a'));
}

TEST(BrowserAppHandOff, GoesToTheFirstProgramWindowTitledWithTheProductWord) {
    const std::string word = test::U8(u8"ぽれみす");
    const struct {
        std::string name;
        std::vector<test::FakeWindow> windows;
        std::vector<WindowId> handedTo;
    } cases[] = {
        {"first of two",
         {{10, "notes - " + word + ".txt"}, {11, "Page - " + word + " > ", true}, {12, word, true}},
         {11}},
        {"word in another program only", {{10, "Editor " + word}}, {}},
        {"program window without the word", {{11, "Page", true}}, {}},
        {"word past the title bound", {{11, std::string(59996, 'x') + word, true}}, {}},
        {"word ending at the bound", {{11, std::string(59999 - word.size(), 'x') + word, true}}, {11}},
        {"no windows", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.process.instance = InstanceResult::AlreadyExists;
        rig.windows.windows = c.windows;
        const std::string argument = "\"C:\\a b\\x.url\"";
        const std::string written = "[setting]\r\nnewurl=" + argument + "\r\n";
        std::string fileAtHandOff;
        int locksAtHandOff = 0;
        rig.windows.onHandOff = [&](WindowId) {
            fileAtHandOff = ReadFile(rig.state.settingsPath);
            locksAtHandOff = rig.process.locksHeld;
        };
        LaterStart start(rig);
        StartOutcome outcome = start.Start(argument);

        EXPECT_EQ(ReadFile(rig.state.settingsPath), written);
        EXPECT_EQ(rig.windows.handOffs, c.handedTo);
        for (std::size_t count : rig.windows.titleCounts) EXPECT_EQ(count, 60000u);
        EXPECT_EQ(rig.process.locksHeld, 0);
        bool handed = !c.handedTo.empty();
        EXPECT_EQ(outcome, handed ? StartOutcome::HandedOff : StartOutcome::RanMainWindow);
        EXPECT_EQ(start.runner.runs.size(), handed ? 0u : 1u);
        if (handed) {
            // Written, under the lock, before the command is sent.
            EXPECT_EQ(std::pair(fileAtHandOff, locksAtHandOff), std::pair(written, 1));
        } else {
            EXPECT_EQ(start.runner.startText, argument);
        }
    }
}

TEST(BrowserAppHandOff, TheRunningWindowLoadsTheArgumentWithoutItsQuotes) {
    const std::pair<std::string, std::string> cases[] = {
        {"\"/tmp/a b/page.htm\"", "/tmp/a b/page.htm"},
        {"'http://a/'", "http://a/"},
        {"\"http://a/", "\"http://a/"},
        {"", ""},
    };
    for (const auto& [argument, received] : cases) {
        Rig rig;
        rig.process.instance = InstanceResult::AlreadyExists;
        rig.window.Title().ComposeTitle("");
        rig.windows.Add(test::kMainWindowId, rig.host.titles.back(), true);
        rig.windows.onHandOff = [&](WindowId) { rig.window.OnCommand(cmd::kHandOff); };
        rig.host.addressBar = "before";
        rig.host.minimized = true;
        LaterStart start(rig);
        EXPECT_EQ(start.Start(argument), StartOutcome::HandedOff);
        EXPECT_EQ(rig.host.addressBar, received);
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{received});
        EXPECT_TRUE(rig.host.minimized);  // navigated, not restored
    }
}

TEST(BrowserAppHandOff, AddressesHandedOverWhileOneLoadsAreEachLoadedInTurn) {
    Rig rig;
    rig.process.instance = InstanceResult::AlreadyExists;
    rig.window.Title().ComposeTitle("");
    rig.windows.Add(test::kMainWindowId, rig.host.titles.back(), true);
    rig.windows.onHandOff = [&](WindowId) { rig.window.OnCommand(cmd::kHandOff); };
    for (std::string address : {"http://a/", "http://b/", "http://c/"}) LaterStart(rig).Start(address);
    // Each later start returned at once; only the first address is loading.
    EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{"http://a/"});
    rig.window.Events().OnDocumentComplete();
    EXPECT_EQ(rig.browser.navigations, (std::vector<std::string>{"http://a/", "http://b/"}));
    // A page that never completes holds the next one back for two ticks only.
    for (int tick = 0; tick < 3; ++tick) rig.window.OnTimer();
    EXPECT_EQ(rig.browser.navigations, (std::vector<std::string>{"http://a/", "http://b/", "http://c/"}));
    rig.window.Events().OnDocumentComplete();
    rig.window.Events().OnDocumentComplete();
    EXPECT_EQ(rig.browser.navigations.size(), 3u);
}

}  // namespace
}  // namespace poremisu
