// What others hand the program at its worst: titles and status texts of megabytes, texts with line
// breaks for the history, shortcuts with huge addresses, settings files it did not write.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "app/BrowserApp.h"
#include "app/Settings.h"
#include "fakes/Rig.h"
#include "pages/Shortcut.h"

namespace poremisu {
namespace {

using test::ReadFile;
using test::Rig;
using test::WriteFile;

constexpr std::size_t kTenMegabytes = 10u << 20;

std::string RandomBytes(std::size_t size, unsigned seed, char avoid = '\0') {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    if (avoid) std::replace(bytes.begin(), bytes.end(), avoid, ' ');
    return bytes;
}

struct FakeRunner : MainWindowRunner { void RunMainWindow(ShowCommand) override { ++runs; } int runs = 0; };

// However long the page name and status text, the title stays within 1023 bytes and keeps the
// product word, so a later start still finds the window and hands its address over.
TEST(HostileTitle, MegabytesOfPageNameAndStatusTextKeepTheWindowFindable) {
    const struct {
        std::string name, status;
        bool cp932;
    } cases[] = {
        {std::string(kTenMegabytes, 'T'), "http://x/" + std::string(kTenMegabytes, 'a'), false},
        {"Page", "https://x/" + std::string(kTenMegabytes, 'b'), false},
        {std::string(kTenMegabytes, '\x82'), "", true},  // a double-byte lead with no end
        {std::string(5000, '<') + "\r\n\"", "\n<script>http", false},
    };
    for (const auto& c : cases) {
        for (int barShown : {0, 1}) {
            SCOPED_TRACE(c.name.substr(0, 8) + ", bar " + std::to_string(barShown));
            Rig rig(c.cp932 ? test::EncodeCp932 : test::Identity);
            rig.browser.locationName = c.name;
            rig.state.statusBarVisible = barShown;
            rig.window.Events().OnStatusTextChange(c.status);
            rig.window.Events().OnDocumentComplete();
            ASSERT_FALSE(rig.host.titles.empty());
            for (const std::string& title : rig.host.titles) {
                EXPECT_LE(title.size(), 1023u);
                EXPECT_NE(title.find(rig.texts.productWord), std::string::npos);
            }
            if (!c.status.empty()) { EXPECT_EQ(rig.state.lastLinkUrl, c.status.substr(0, 59999)); }

            rig.windows.Add(test::kMainWindowId, rig.host.titles.back(), true);
            rig.process.instance = InstanceResult::AlreadyExists;
            AppState laterState;
            BrowserApp later(laterState, rig.texts, rig.services);
            FakeRunner runner;
            EXPECT_EQ(later.Start({rig.dir / "poremisu", "http://handed.example/", ShowCommand::Normal}, runner),
                      StartOutcome::HandedOff);
            EXPECT_EQ(runner.runs, 0);
        }
    }
}

// Whatever a tag, text, address or page name holds, each call adds exactly one history line.
TEST(HostileHistory, EachCallAddsOneLineWhateverItsTextsHold) {
    Rig rig;
    History& history = rig.window.HistoryLog();
    for (const std::string b : {"\n", "\r", "\r\n", "\n\r", "\r\r\n\n"}) {
        history.AppendHistoryLink("http://a/" + b + "x", "Name" + b + "<a href=\"y\">" + b);
        history.AppendHistoryLine("(IE)", "Title" + b + "new\thttp://forged/" + b);
        history.AppendHistoryLine("new" + b, b);
    }
    const std::string text = rig.History();
    std::size_t breaks = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++breaks;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // Only CR LF breaks lines, and only a link line carries markup, and only its own.
    const std::pair<char, long> counts[] = {{'\r', 15}, {'\n', 15}, {'<', 15}, {'>', 15}, {'"', 10}};
    EXPECT_EQ(breaks, 15u) << text;
    for (auto [c, n] : counts) EXPECT_EQ(std::count(text.begin(), text.end(), c), n) << c << "\n" << text;
    EXPECT_EQ(text.substr(0, text.find("\r\n", text.find("\r\n") + 2) + 2),
              "<a href=\"http://a/&#10;x\">Name&#10;&lt;a href=&quot;y&quot;&gt;&#10;</a><br>\r\n"
              "(IE)\tTitle&#10;new\thttp://forged/&#10;\r\n");
}

// A shortcut's address of 100 KB is cut to 59999 bytes: read, typed into the address bar, listed.
TEST(HostileShortcut, AnAddressOf100KilobytesIsCutTo59999Bytes) {
    Rig rig;
    const std::string url = "http://long.example/" + std::string(100 * 1024, 'u'), cut = url.substr(0, 59999);
    const std::string path = rig.dir / "Long.url";
    WriteFile(path, test::Shortcut(url));
    EXPECT_EQ(ReadShortcutUrl(*rig.files, *rig.profiles, path), cut);
    rig.host.addressBar = path;
    rig.window.NavigateToAddressBar();
    EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{cut});
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", rig.dir.Path()), 4);
    EXPECT_NE(ReadFile(rig.dir / "Favorites.htm").find("<a href=\"" + cut + "\">Long</a><br>\r\n"), std::string::npos);
}

// A settings file the program did not write reads as the defaults; saving adds the section and keeps
// every byte, or leaves alone a file too large to be a settings file.
TEST(HostileSettings, AForeignFileReadsAsDefaultsAndIsNeverDamaged) {
    const std::string noSection = RandomBytes(64 * 1024, 1, '[');  // a '[' could open a section
    const std::string added = "[setting]\r\nwin=0:1:-1:-1:-1:-1:10:20:510:420\r\n", zero("\0win=1:2", 8);
    const std::pair<std::string, std::string> cases[] = {  // the file, and what a save leaves
        {noSection, noSection + "\r\n" + added}, {noSection + "\n", noSection + "\n" + added},
        {zero, zero + "\r\n" + added}, {RandomBytes(5u << 20, 2), ""}};
    const WindowPlacement placement{0, 1, -1, -1, -1, -1, 10, 20, 510, 420};
    for (const auto& [content, saved] : cases) {
        SCOPED_TRACE(content.size());
        Rig rig;
        WriteFile(rig.state.settingsPath, content);
        Settings settings(rig.state, *rig.profiles);
        EXPECT_EQ(settings.ReadNewUrl(), "");
        rig.window.OnInitDialog(ShowCommand::Normal);
        EXPECT_TRUE(rig.host.appliedPlacements.empty());
        settings.SavePlacement(placement);
        EXPECT_EQ(ReadFile(rig.state.settingsPath), saved.empty() ? content : saved);  // too large: left alone
        if (!saved.empty()) { EXPECT_EQ(settings.ReadPlacement(), placement); }
    }
}

// Files an editor left: a byte-order mark before the first section, a section name padded past what
// the reader takes. A write lands where reads look, never where it would be lost.
TEST(HostileSettings, AWriteLandsInTheSectionTheReaderFinds) {
    const std::string bom = "\xEF\xBB\xBF", padded = "[" + std::string(1100, ' ') + "setting]\r\nnewurl=x\r\n";
    const std::string cases[][2] = {
        {bom + "[setting]\r\nnewurl=http://old/\r\n", bom + "[setting]\r\nnewurl=http://new/\r\n"},
        {padded, padded + "[setting]\r\nnewurl=http://new/\r\n"},
    };
    for (const auto& [before, after] : cases) {
        Rig rig;
        WriteFile(rig.state.settingsPath, before);
        Settings settings(rig.state, *rig.profiles);
        settings.WriteNewUrl("http://new/");
        EXPECT_EQ(settings.ReadNewUrl(), "http://new/");
        EXPECT_EQ(ReadFile(rig.state.settingsPath), after);
    }
}

// Placement numbers past 32 bits saturate when read; a rectangle smaller than the template, inverted
// or not wholly on a screen (the fake's 1280 x 1024, template 320 x 280) is no placement, as a value
// past the 100 bytes the reader takes is not: the window opens at its template's size, centred.
TEST(HostileSettings, AnOverflowingTinyOrOffScreenPlacementOpensAtTheTemplateSizeCentred) {
    const std::nullopt_t centred = std::nullopt;
    const struct {
        std::string win;
        std::optional<WindowPlacement> applied;
    } cases[] = {
        {"99999999999999999999:1:-1:-1:-1:-1:-99999999999999999999:0:99999999999999999999:0x7FFFFFFFFFFF",
         centred},
        {"0:1:-1:-1:-1:-1:-2147483648:-2147483648:2147483647:2147483647", centred},
        {"0:1:-1:-1:-1:-1:99999999999:99999999999:99999999999999:9999999999999", centred},
        {"0:1:-1:-1:-1:-1:500:500:100:100", centred},       // inverted
        {"0:1:-1:-1:-1:-1:0:0:1:1", centred},               // a speck
        {"0:1:-1:-1:-1:-1:10:20:329:440", centred},         // a pixel narrower than the template
        {"0:1:-1:-1:-1:-1:1000:10:1400:500", centred},      // partly off the screen
        {"2:1:-1:-1:-1:-1:0:0:1280:1024", WindowPlacement{2, 1, -1, -1, -1, -1, 0, 0, 1280, 1024}},
        {"0:1:-1:-1:-1:-1:" + std::string(100000, '9') + ":0:1:1", std::nullopt},
    };
    for (const auto& c : cases) {
        Rig rig;
        WriteFile(rig.state.settingsPath, "[setting]\r\nwin=" + c.win + "\r\n");
        rig.window.OnInitDialog(ShowCommand::Normal);
        EXPECT_EQ(rig.host.appliedPlacements,
                  c.applied ? std::vector<WindowPlacement>{*c.applied} : std::vector<WindowPlacement>{})
            << c.win.substr(0, 60);
    }
}

}  // namespace
}  // namespace poremisu
