// The settings file at its worst: the program killed while it saves the
// placement, a file of random bytes, a placement of overflowing numbers.

#include <signal.h>

#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

const std::regex kWinLine(R"(win=-?\d+(:-?\d+){9}\r\n)");

class SettingsHardeningTest : public ProgramTest {
protected:
    std::string IniPath() const { return (ProgramDir() / "poremisu.ini").string(); }

    // The new settings file a save writes before renaming it: "poremisu.ini."
    // and six characters (the lock file is "poremisu.ini.lock").
    std::vector<std::filesystem::path> NewFiles() const {
        std::vector<std::filesystem::path> found;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(ProgramDir(), ignored)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("poremisu.ini.", 0) == 0 && name != "poremisu.ini.lock") found.push_back(entry.path());
        }
        return found;
    }
    void WaitUntilNewFile(milliseconds timeout) const {
        auto deadline = Clock::now() + timeout;
        while (NewFiles().empty() && Clock::now() < deadline) std::this_thread::sleep_for(50us);
    }
    // A kill between writing the new file and renaming it leaves it behind;
    // it never takes the settings file's name.
    int RemoveNewFiles() const {
        int removed = 0;
        for (const auto& path : NewFiles()) removed += std::filesystem::remove(path) ? 1 : 0;
        return removed;
    }

    // Starts the program on a page and waits until the page is shown.
    XWindow StartOnPage(Process*& program) {
        program = &Start({WritePage("page.htm", "Page")});
        XWindow window = WaitForWindow();
        if (window && !WaitForTitle(window, BareTitle("Page"))) return 0;
        return window;
    }
};

// A close saves the placement by writing a new file beside the old one and
// renaming it over it. Killed at any moment around that, the program leaves
// the old file or the new one, never a mixture, a part or nothing: killed
// before the close, as soon as the new file appears, while it is written,
// and after.
TEST_F(SettingsHardeningTest, KilledAroundACloseLeavesTheOldOrTheNewFile) {
    // The old value is written in another form than the program's, so that
    // saving the same placement still rewrites the file; the other key makes
    // the rewrite long enough to be hit.
    const std::string before = "[setting]\r\nnewurl=http://kept.example/\r\nwin=0x0:1:-1:-1:-1:-1:40:40:640:480\r\n"
                               "other=" + std::string(3500u << 10, 'o') + "\r\n";
    const std::size_t winAt = before.find("win=");
    const std::size_t winEnd = before.find("\r\n", winAt) + 2;
    enum class When { BeforeTheClose, AsTheNewFileAppears, WhileItIsWritten, Afterwards };
    const struct {
        When when;
        milliseconds delay;
    } kills[] = {{When::BeforeTheClose, 0ms},       {When::AsTheNewFileAppears, 0ms},
                 {When::AsTheNewFileAppears, 0ms},  {When::WhileItIsWritten, 1ms},
                 {When::WhileItIsWritten, 3ms},     {When::WhileItIsWritten, 6ms},
                 {When::Afterwards, 1500ms}};
    int oldSeen = 0, newSeen = 0, leftOver = 0;
    for (const auto& kill : kills) {
        WriteFile(IniPath(), before);
        Process* program = nullptr;
        XWindow window = StartOnPage(program);
        ASSERT_NE(window, 0u) << Logs();
        if (kill.when != When::BeforeTheClose) SendDeleteWindow(X(), window);
        if (kill.when == When::AsTheNewFileAppears || kill.when == When::WhileItIsWritten) {
            WaitUntilNewFile(5s);
        }
        std::this_thread::sleep_for(kill.delay);
        ::kill(program->Pid(), SIGKILL);
        ASSERT_TRUE(program->WaitExit(10s).has_value());
        leftOver += RemoveNewFiles();

        std::string after = Settings();
        if (after == before) {
            ++oldSeen;
            continue;
        }
        // The new file differs in the placement's line alone.
        std::size_t newEnd = after.find("\r\n", winAt);
        ASSERT_NE(newEnd, std::string::npos) << after.size() << " bytes";
        newEnd += 2;
        EXPECT_EQ(after.substr(0, winAt), before.substr(0, winAt));
        EXPECT_TRUE(std::regex_match(after.substr(winAt, newEnd - winAt), kWinLine)) << after.substr(winAt, 80);
        EXPECT_EQ(after.substr(newEnd), before.substr(winEnd)) << "the rest of the file changed";
        ++newSeen;
    }
    // A kill before the close keeps the old file, one after it has the new.
    EXPECT_GE(oldSeen, 1);
    EXPECT_GE(newSeen, 1);
    RecordProperty("old", oldSeen);
    RecordProperty("new", newSeen);
    RecordProperty("interrupted", leftOver);
}

// A file the program did not write, of random bytes: the program starts with
// its defaults, and its close adds the section and keeps every byte.
TEST_F(SettingsHardeningTest, AFileOfRandomBytesGivesTheDefaultsAndKeepsItsBytes) {
    std::mt19937 random(5);
    std::string junk(32 * 1024, '\0');
    for (char& c : junk) {
        c = static_cast<char>(random());
        if (c == '[') c = '{';  // no section may arise by chance
    }
    if (junk.back() == '\n') junk.back() = '.';
    WriteFile(IniPath(), junk);

    Process* program = nullptr;
    XWindow window = StartOnPage(program);
    ASSERT_NE(window, 0u) << Logs();
    SendDeleteWindow(X(), window);
    ASSERT_EQ(program->WaitExit(15s), 0) << Logs();

    std::string after = Settings();
    ASSERT_GE(after.size(), junk.size());
    EXPECT_EQ(after.substr(0, junk.size()), junk) << "the foreign bytes were not kept";
    std::string added = after.substr(junk.size());
    EXPECT_TRUE(std::regex_match(added, std::regex(R"(\r\n\[setting\]\r\nwin=-?\d+(:-?\d+){9}\r\n)"))) << added;
}

// Numbers past 32 bits saturate when read. The window that gets such a
// placement opens on the screen (1280 x 1024 here), no larger than it, and
// closes saving a placement that reads.
TEST_F(SettingsHardeningTest, AnOverflowingPlacementStillOpensOnTheScreen) {
    const char* const values[] = {
        "0:1:-1:-1:-1:-1:-2147483648:-2147483648:2147483647:2147483647",
        "0:1:-1:-1:-1:-1:99999999999:99999999999:-99999999999:-99999999999",
        "0:1:-1:-1:-1:-1:2147483000:2147483000:2147483600:2147483400",
        "0:1:-1:-1:-1:-1:-2147483000:500:-2147482500:900",
    };
    for (const char* win : values) {
        WriteFile(IniPath(), std::string("[setting]\r\nwin=") + win + "\r\n");
        Process* program = nullptr;
        XWindow window = StartOnPage(program);
        ASSERT_NE(window, 0u) << win << "\n" << Logs();
        Rect rect;
        bool onScreen = WaitUntil(5s, [&] {
            rect = ClientRect(X(), window);
            return rect.width > 0 && rect.height > 0 && rect.x < 1280 && rect.y < 1024 &&
                   rect.x + rect.width > 0 && rect.y + rect.height > 0;
        });
        EXPECT_TRUE(onScreen) << win << ": " << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
        EXPECT_LE(rect.width, 1280) << win;
        EXPECT_LE(rect.height, 1024) << win;
        ASSERT_TRUE(program->Running()) << win << "\n" << Logs();
        SendDeleteWindow(X(), window);
        ASSERT_EQ(program->WaitExit(15s), 0) << win << "\n" << Logs();
        std::smatch line;
        std::string after = Settings();
        EXPECT_TRUE(std::regex_search(after, line, kWinLine)) << after;
    }
}

}  // namespace
}  // namespace poremisu::e2e
