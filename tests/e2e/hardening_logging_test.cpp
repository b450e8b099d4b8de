// The history under stress: the program killed while it logs page after
// page, and two full instances logging into the same file at once. Every
// completed page keeps its line, whole, in its place.

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

namespace fs = std::filesystem;

// A page that loads itself again with the next number as its query, as fast
// as the engine goes: "<prefix> <n>" is its title, and every load is one
// completion and one history line.
std::string LoopPage(const std::string& prefix) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><script>\n"
           "var n = Number(location.search.slice(1)) || 0;\n"
           "document.title = '" + prefix + " ' + n;\n"
           "window.onload = function () {\n"
           "  setTimeout(function () { location.replace('?' + (n + 1)); }, 5);\n"
           "};\n"
           "</script></head><body></body></html>\n";
}

struct LogCheck {
    std::map<std::string, std::vector<int>> numbers;  // per loop, in the order logged
    std::vector<std::string> malformed;               // whole lines of any other form
    std::string tail;                                 // what follows the last CR LF
};

// Splits the history into its CR LF lines and reads each as a link line of
// one of the loop pages.
LogCheck ReadLoopHistory(const std::string& history) {
    static const std::regex line(R"(<a href="file://[^"<>]*/loop-(\w+)\.htm(\?(\d+))?">(\w+) (\d+)</a><br>)");
    LogCheck check;
    std::size_t begin = 0;
    for (std::size_t end; (end = history.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        std::string text = history.substr(begin, end - begin);
        std::smatch match;
        if (!std::regex_match(text, match, line) || match[1] != match[4]) {
            check.malformed.push_back(text.substr(0, 200));
            continue;
        }
        int fromAddress = match[3].matched ? std::stoi(match[3]) : 0;
        int fromTitle = std::stoi(match[5]);
        // The address and the name are the same load's.
        if (fromAddress != fromTitle) check.malformed.push_back(text);
        check.numbers[match[1]].push_back(fromAddress);
    }
    check.tail = history.substr(begin);
    return check;
}

std::size_t CountLines(const std::string& text) {
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    return lines;
}

// Every loop's numbers run 0, 1, 2, ... without a gap or a repeat: no line of
// a completed page is missing, none is doubled.
void ExpectUnbroken(const LogCheck& check, const std::vector<std::string>& loops, std::size_t atLeast,
                    const std::string& history) {
    for (const std::string& bad : check.malformed) ADD_FAILURE() << "malformed line: " << bad;
    for (const std::string& loop : loops) {
        auto found = check.numbers.find(loop);
        ASSERT_NE(found, check.numbers.end()) << "nothing of loop " << loop << " logged\n" << history.substr(0, 2000);
        const std::vector<int>& numbers = found->second;
        EXPECT_GE(numbers.size(), atLeast) << loop;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (numbers[i] != static_cast<int>(i)) {
                ADD_FAILURE() << "loop " << loop << ": line " << i << " holds load " << numbers[i];
                break;
            }
        }
    }
}

class HistoryCrashTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

// Killed at once, without a chance to finish anything, after a number of
// logged pages: the history holds every line written until then, each whole.
// At most a last line could be cut short; none is.
TEST_P(HistoryCrashTest, KilledWhileLoggingLosesNoCompletedLine) {
    const std::size_t killAfter = static_cast<std::size_t>(GetParam());
    WriteFile(PagePath("loop-a.htm"), LoopPage("a"));
    Process& program = Start({PageUrl("loop-a.htm")});
    ASSERT_TRUE(WaitUntil(40s, [&] { return CountLines(History()) >= killAfter; }))
        << CountLines(History()) << " lines logged\n" << Logs();
    std::mt19937 random(static_cast<unsigned>(killAfter));
    std::this_thread::sleep_for(milliseconds(random() % 40));
    ::kill(program.Pid(), SIGKILL);
    ASSERT_EQ(program.WaitExit(10s), 128 + SIGKILL);

    std::string history = History();
    LogCheck check = ReadLoopHistory(history);
    ExpectUnbroken(check, {"a"}, killAfter, history);
    EXPECT_EQ(check.tail, "") << "a line was cut short";
}

INSTANTIATE_TEST_SUITE_P(AfterLines, HistoryCrashTest, ::testing::Values(1, 40, 300));

class TwoInstancesTest : public ProgramTest {
protected:
    // A second full instance of the same program folder: its own runtime
    // folder hides the first one's lock, as a start that finds no window does.
    std::unique_ptr<Process> StartSecondInstance(const Process& first, const std::vector<std::string>& arguments) {
        fs::path folder = ProgramDir().parent_path();
        fs::path runtime = folder / "runtime-second";
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        // The environment the harness gave the first instance, but the runtime folder.
        std::string environ = ReadFile("/proc/" + std::to_string(first.Pid()) + "/environ");
        Process::Options options;
        for (std::size_t begin = 0, end; begin < environ.size(); begin = end + 1) {
            end = environ.find('\0', begin);
            if (end == std::string::npos) end = environ.size();
            std::string entry = environ.substr(begin, end - begin);
            if (entry.rfind("XDG_RUNTIME_DIR=", 0) == 0) entry = "XDG_RUNTIME_DIR=" + runtime.string();
            options.environment.push_back(entry);
        }
        options.arguments.push_back((ProgramDir() / "poremisu").string());
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.directory = folder / "work";
        options.log = folder / "poremisu-second.log";
        return std::make_unique<Process>(options);
    }
};

// Two instances append to one history as fast as their pages load: no line
// of either is lost, split or mixed into another.
TEST_F(TwoInstancesTest, AppendingAtOnceLoseAndInterleaveNoLine) {
    WriteFile(PagePath("loop-a.htm"), LoopPage("a"));
    WriteFile(PagePath("loop-b.htm"), LoopPage("b"));
    Process& first = Start({PageUrl("loop-a.htm")});
    ASSERT_TRUE(WaitUntil(30s, [&] { return CountLines(History()) >= 3; })) << Logs();
    std::unique_ptr<Process> second = StartSecondInstance(first, {PageUrl("loop-b.htm")});

    constexpr std::size_t kEach = 150;
    bool both = WaitUntil(50s, [&] {
        LogCheck check = ReadLoopHistory(History());
        return check.numbers["a"].size() >= kEach && check.numbers["b"].size() >= kEach;
    });
    EXPECT_EQ(ProgramWindows(X()).size(), 2u) << "the second start did not run a window of its own";
    second->Stop();
    first.Stop();
    ASSERT_TRUE(both) << "the two instances did not both log " << kEach << " pages\n"
                      << Logs() << second->Log().substr(0, 3000);

    std::string history = History();
    LogCheck check = ReadLoopHistory(history);
    ExpectUnbroken(check, {"a", "b"}, kEach, history);
    EXPECT_EQ(check.tail, "");
}

}  // namespace
}  // namespace poremisu::e2e
