// What others hand the program, at its worst: page titles and status texts of
// megabytes, texts with line breaks for the history, shortcut files with huge
// addresses, settings files of random bytes or with overflowing numbers.

#include <gtest/gtest.h>

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

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Lines of a file that ends each with CR LF; the last element holds what
// follows the last CR LF.
std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(text.substr(begin, end - begin));
    }
    lines.push_back(text.substr(begin));
    return lines;
}

struct FakeRunner : MainWindowRunner {
    void RunMainWindow(ShowCommand) override { ++runs; }
    int runs = 0;
};

// However long the page name and the status text, the title stays within its
// bound and keeps the product word, so that a later start still finds the
// window and hands its address over instead of opening a second one.
TEST(HostileTitle, MegabytesOfPageNameAndStatusTextKeepTheWindowFindable) {
    const std::string cp932Word = "\x82\xDB\x82\xEA\x82\xDD\x82\xB7";
    const struct {
        const char* what;
        std::string name, status;
        bool cp932;
    } cases[] = {
        {"10 MB page name", std::string(kTenMegabytes, 'T'), "", false},
        {"10 MB name and link", std::string(kTenMegabytes, 'T'), "http://x/" + std::string(kTenMegabytes, 'a'), false},
        {"10 MB link", "Page", "https://x/" + std::string(kTenMegabytes, 'b'), false},
        {"10 MB of double-byte name", std::string(kTenMegabytes, '\x82'), "", true},
        {"markup and line breaks", std::string(5000, '<') + "\r\n\"", "\n<script>http", false},
    };
    for (const auto& c : cases) {
        for (int barShown : {0, 1}) {
            Rig rig(c.cp932 ? test::EncodeCp932 : test::Identity);
            const std::string& word = rig.texts.productWord;
            ASSERT_EQ(word, c.cp932 ? cp932Word : test::U8(u8"ぽれみす"));
            rig.browser.locationName = c.name;
            rig.state.statusBarVisible = barShown;
            rig.window.Events().OnStatusTextChange(c.status);
            rig.window.Events().OnDocumentComplete();
            ASSERT_FALSE(rig.host.titles.empty()) << c.what;
            for (const std::string& title : rig.host.titles) {
                EXPECT_LE(title.size(), 1023u) << c.what;
                EXPECT_NE(title.find(word), std::string::npos) << c.what << ", bar " << barShown;
            }
            EXPECT_LE(rig.state.lastLinkUrl.size(), 59999u) << c.what;
            if (c.status.find("http") != std::string::npos) {
                EXPECT_EQ(rig.state.lastLinkUrl, c.status.substr(0, 59999)) << c.what;
            }

            // A later start looks for the word in the title the window now has.
            rig.windows.Add(test::kMainWindowId, rig.host.titles.back(), true);
            rig.process.instance = InstanceResult::AlreadyExists;
            AppState laterState;
            BrowserApp later(laterState, rig.texts, rig.services);
            FakeRunner runner;
            EXPECT_EQ(later.Start({rig.dir / "poremisu", "http://handed.example/", ShowCommand::Normal}, runner),
                      StartOutcome::HandedOff)
                << c.what << ", bar " << barShown;
            EXPECT_EQ(runner.runs, 0) << c.what;
        }
    }
}

// Whatever a tag, a text, an address or a page name holds, each call adds
// exactly one line to the history, and no line can be split or added by them.
TEST(HostileHistory, EachCallAddsOneLineWhateverItsTextsHold) {
    const std::string breaks[] = {"\n", "\r", "\r\n", "\n\r", "\r\r\n\n"};
    Rig rig;
    History& history = rig.window.HistoryLog();
    std::size_t calls = 0;
    for (const std::string& b : breaks) {
        history.AppendHistoryLink("http://a/" + b + "x", "Name" + b + "<a href=\"y\">" + b);
        history.AppendHistoryLine("(IE)", "Title" + b + "new\thttp://forged/" + b);
        history.AppendHistoryLine("new" + b, b);
        calls += 3;
    }
    std::vector<std::string> lines = CrLfLines(rig.History());
    ASSERT_EQ(lines.size(), calls + 1) << rig.History();
    EXPECT_EQ(lines.back(), "");
    for (std::size_t i = 0; i < calls; ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        if (i % 3 == 0) {
            EXPECT_EQ(line.rfind("<a href=\"http://a/", 0), 0u) << line;
            EXPECT_EQ(line.find('<', 1), line.size() - 8) << line;  // only "</a><br>" follows
        } else {
            EXPECT_EQ(line.find_first_of("<>\""), std::string::npos) << line;
        }
    }
    EXPECT_EQ(lines[0], "<a href=\"http://a/&#10;x\">Name&#10;&lt;a href=&quot;y&quot;&gt;&#10;</a><br>");
    EXPECT_EQ(lines[4], "(IE)\tTitle&#13;new\thttp://forged/&#13;");
}

TEST(HostileShortcut, AnAddressOf100KilobytesIsCutTo59999Bytes) {
    Rig rig;
    const std::string url = "http://long.example/" + std::string(100 * 1024, 'u');
    std::string path = rig.dir / "Long.url";
    WriteFile(path, "[InternetShortcut]\r\nURL=" + url + "\r\n");
    EXPECT_EQ(ReadShortcutUrl(*rig.files, *rig.profiles, path), url.substr(0, 59999));

    // Typed into the address bar, the shortcut's address is what is loaded.
    rig.host.addressBar = path;
    rig.window.NavigateToAddressBar();
    ASSERT_FALSE(rig.browser.navigations.empty());
    EXPECT_EQ(rig.browser.navigations.back(), url.substr(0, 59999));

    // Listed, its line holds the same cut address.
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", rig.dir.Path()), 4);
    std::string page = ReadFile(rig.dir / "Favorites.htm");
    EXPECT_NE(page.find("<a href=\"" + url.substr(0, 59999) + "\">Long</a><br>\r\n"), std::string::npos);
}

// A settings file the program did not write: it starts with its defaults,
// and saving either adds its section and keeps every byte, or leaves a file
// too large to be a settings file alone.
TEST(HostileSettings, AForeignFileReadsAsDefaultsAndIsNeverDamaged) {
    std::string noSection = RandomBytes(64 * 1024, 1);
    for (char& c : noSection) {
        if (c == '[') c = ' ';  // random bytes that happen to open a section would be a section
    }
    const struct {
        const char* what;
        std::string content;
        bool rewritten;
    } cases[] = {
        {"64 KB of random bytes", noSection, true},
        {"random bytes ending in a line feed", noSection + "\n", true},
        {"a zero byte and a half line", std::string("\0win=1:2", 8), true},
        {"5 MB of random bytes", RandomBytes(5u << 20, 2), false},
    };
    const WindowPlacement saved{0, 1, -1, -1, -1, -1, 10, 20, 510, 420};
    for (const auto& c : cases) {
        Rig rig;
        WriteFile(rig.state.settingsPath, c.content);
        Settings settings(rig.state, *rig.profiles);
        EXPECT_EQ(settings.ReadNewUrl(), "") << c.what;
        rig.window.OnInitDialog(ShowCommand::Normal);
        EXPECT_TRUE(rig.host.appliedPlacements.empty()) << c.what;

        settings.SavePlacement(saved);
        std::string after = ReadFile(rig.state.settingsPath);
        if (!c.rewritten) {
            EXPECT_EQ(after, c.content) << c.what;
            continue;
        }
        std::string separator = c.content.back() == '\n' ? "" : "\r\n";
        EXPECT_EQ(after, c.content + separator + "[setting]\r\nwin=0:1:-1:-1:-1:-1:10:20:510:420\r\n") << c.what;
        EXPECT_EQ(settings.ReadPlacement(), saved) << c.what;
    }
}

// An editor may save the file with a byte-order mark before its first
// section: a write must still land in that section, where reads look first.
TEST(HostileSettings, AByteOrderMarkBeforeTheSectionDoesNotHideIt) {
    Rig rig;
    const std::string bom = "\xEF\xBB\xBF";
    WriteFile(rig.state.settingsPath, bom + "[setting]\r\nnewurl=http://old.example/\r\n");
    Settings settings(rig.state, *rig.profiles);
    settings.WriteNewUrl("http://new.example/");
    EXPECT_EQ(settings.ReadNewUrl(), "http://new.example/");
    EXPECT_EQ(ReadFile(rig.state.settingsPath), bom + "[setting]\r\nnewurl=http://new.example/\r\n");
}

// A section line padded past what the reader takes of a name is not the
// section for the reader: a write must not go there, where it would be lost.
TEST(HostileSettings, ASectionNamePaddedPastTheReadersBoundIsNotWrittenInto) {
    Rig rig;
    const std::string padded = "[" + std::string(1100, ' ') + "setting]\r\nnewurl=http://unread.example/\r\n";
    WriteFile(rig.state.settingsPath, padded);
    Settings settings(rig.state, *rig.profiles);
    EXPECT_EQ(settings.ReadNewUrl(), "");
    settings.WriteNewUrl("http://new.example/");
    EXPECT_EQ(settings.ReadNewUrl(), "http://new.example/");
    EXPECT_EQ(ReadFile(rig.state.settingsPath), padded + "[setting]\r\nnewurl=http://new.example/\r\n");
}

// Numbers past 32 bits saturate; the window gets the saturated placement
// (the toolkit's layer keeps it on screen) and nothing overflows on the way.
TEST(HostileSettings, OverflowingPlacementNumbersSaturate) {
    const struct {
        std::string win;
        std::optional<WindowPlacement> applied;
    } cases[] = {
        {"99999999999999999999:1:-1:-1:-1:-1:-99999999999999999999:0:99999999999999999999:0x7FFFFFFFFFFF",
         WindowPlacement{INT32_MAX, 1, -1, -1, -1, -1, INT32_MIN, 0, INT32_MAX, INT32_MAX}},
        {"0:1:-1:-1:-1:-1:" + std::string(100000, '9') + ":0:1:1",
         WindowPlacement{0, 1, -1, -1, -1, -1, INT32_MAX, 0, 1, 1}},
        {"0:1:-1:-1:-1:-1:-2147483648:-2147483648:2147483647:2147483647",
         WindowPlacement{0, 1, -1, -1, -1, -1, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}},
    };
    for (const auto& c : cases) {
        Rig rig;
        WriteFile(rig.state.settingsPath, "[setting]\r\nwin=" + c.win + "\r\n");
        rig.window.OnInitDialog(ShowCommand::Normal);
        // The value is read with a bound of 100 bytes, as the buffer it had.
        std::optional<WindowPlacement> expected = c.win.size() < 100 ? c.applied : std::nullopt;
        if (expected) {
            ASSERT_EQ(rig.host.appliedPlacements.size(), 1u) << c.win.substr(0, 60);
            EXPECT_EQ(rig.host.appliedPlacements[0], *expected) << c.win.substr(0, 60);
        } else {
            EXPECT_TRUE(rig.host.appliedPlacements.empty()) << c.win.substr(0, 60);
        }
    }
}

}  // namespace
}  // namespace poremisu
