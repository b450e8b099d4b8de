// The program at its worst: killed while it logs, megabytes of title and handed-over text, its page
// process killed, and foreign command messages from other clients of the display.

#include <signal.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

constexpr std::size_t kTenMegabytes = 10u << 20;

std::vector<std::string> CrLfLines(const std::string& text, std::string* tail = nullptr) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(text.substr(begin, end - begin));
    }
    if (tail) *tail = text.substr(begin);
    return lines;
}

// Loads itself again with the next number as its query, as fast as the engine goes: every load is
// one completion titled "Load <n>" and one history line.
std::string LoopPage() {
    return Page("", "<script>var n = Number(location.search.slice(1)) || 0; document.title = 'Load ' + n;\n"
                    "window.onload = function () { setTimeout(function () {"
                    " location.replace('?' + (n + 1)); }, 5); };</script>");
}

using HardeningTest = ProgramTest;

// The program logs as fast as its pages load and is killed while it does: no completed page's line
// is lost, doubled, cut or mixed with another's. Two processes appending at once are the file tests'
// concern.
TEST_F(HardeningTest, KilledWhileLoggingItLosesCutsAndMixesNoLine) {
    WriteFile(PagePath("loop.htm"), LoopPage());
    Process& program = Start({PageUrl("loop.htm")});
    const bool logged = WaitUntil(50s, [&] { return History().find("loop.htm?150\"") != std::string::npos; });
    ::kill(program.Pid(), SIGKILL);
    EXPECT_EQ(program.WaitExit(10s), 128 + SIGKILL);
    ASSERT_TRUE(logged) << Logs();
    // The loads run 0, 1, 2, ...; each line's address and name are of the same load.
    static const std::regex line(R"(<a href="file://[^"<>]*/loop\.htm(\?(\d+))?">Load (\d+)</a><br>)");
    std::string tail;
    const std::vector<std::string> lines = CrLfLines(History(), &tail);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        const bool whole = std::regex_match(lines[i], m, line);
        EXPECT_TRUE(whole && std::stoul(m[3]) == i && (i ? m[2] == std::to_string(i) : !m[1].matched))
            << "line " << i << ": " << lines[i].substr(0, 200);
    }
    EXPECT_EQ(tail, "") << "a line was cut short";
}

// The window at its worst. A title of 10 MB of three-byte characters is cut to 1023 bytes in the page
// name and keeps the product word, so later starts find the window. Any client of the display can send
// the program's command message: the window takes the hand-off alone, and that only loads the address
// its own settings file holds. A later start whose argument text is a megabyte hands it all over and
// exits (the window takes what it can). When the engine's page process is killed the window stays,
// shows its page again, and still takes the next hand-off. The status text's bound, a link's among
// them, is the title table's concern.
TEST_F(HardeningTest, HugeTextsForeignCommandsAndAKilledPageProcessLeaveTheWindowFindableAndAnswering) {
    const std::string repeat = ".repeat(" + std::to_string(kTenMegabytes / 3) + ")";
    WriteFile(PagePath("huge.htm"), Page("", "<script>document.title = '\u3042'" + repeat + ";</script>"));
    Process& program = Start({PageUrl("huge.htm")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u) << Logs();
    const std::string tail = std::string(" - ") + kProductWord + " > ";
    std::string name;
    while (name.size() + 3 + tail.size() <= 1023) name += "あ";
    ASSERT_TRUE(WaitForTitle(window, name + tail, 40s));
    // The title is set just before the page's history line is written.
    ASSERT_TRUE(WaitUntil(5s, [&] { return CrLfLines(History()).size() == 1; })) << Logs();
    const std::string historyBefore = History();

    auto send = [&](long command) { SendClientMessage(X(), window, "_POREMISU_COMMAND", {command, 7}); };
    // OK, Cancel, the reset, the sweep, Back, the favorites command, and no command at all.
    for (long command : {1L, 2L, 32778L, 32777L, 3L, 32780L, -1L, 0L}) send(command);
    std::this_thread::sleep_for(1500ms);
    // A window that ended has no title.
    EXPECT_EQ(WindowTitle(X(), window), name + tail) << Logs();
    EXPECT_EQ(History(), historyBefore);

    // One argument may hold 128 KiB: ten of 100 KiB make the megabyte, joined by blanks.
    std::vector<std::string> arguments(10, std::string(100 * 1024, 'h'));
    arguments[0].insert(0, "http://x.invalid/");
    std::string whole = arguments[0];
    for (std::size_t i = 1; i < arguments.size(); ++i) whole += " " + arguments[i];
    ASSERT_EQ(Start(arguments).WaitExit(20s), 0) << Logs();
    EXPECT_EQ(SettingsValue("newurl"), whole);
    WriteFile(ProgramDir() / "poremisu.ini", "[setting]\r\nnewurl=" + WritePage("stored.htm", "Stored") + "\r\n");
    send(32772);
    ASSERT_TRUE(WaitUntil(10s, [&] { return History().find(">Stored</a>") != std::string::npos; }))
        << History();

    std::vector<pid_t> pageProcesses = DescendantsOf(program.Pid());
    std::erase_if(pageProcesses, [](pid_t pid) {
        return ReadFile("/proc/" + std::to_string(pid) + "/comm").rfind("WebKitWebProces", 0) != 0;
    });
    ASSERT_FALSE(pageProcesses.empty()) << "no page process found";
    const std::size_t logged = CrLfLines(History()).size();
    for (pid_t pid : pageProcesses) ::kill(pid, SIGKILL);
    EXPECT_TRUE(WaitUntil(20s, [&] { return CrLfLines(History()).size() > logged; }))
        << "the page was not shown again\n" << History() << Logs();
    EXPECT_EQ(ProgramWindows(X()).size(), 1u) << Logs();
    HandOff(WritePage("second.htm", "Second"));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Second")));
}

}  // namespace
}  // namespace poremisu::e2e
