// Later starts while an instance runs: each hands its argument over through
// the settings file and a message to the running window, then exits.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

class HandOffTest : public ProgramTest {};

TEST_F(HandOffTest, LaterStartHandsItsQuotedPathToTheRunningWindowAndExits) {
    Process& first = Start({WritePage("alpha.htm", "Alpha")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Alpha")));

    WritePage("beta.htm", "Beta");
    // The whole argument in double quotes, as a desktop launcher passes a path with blanks.
    std::string quoted = "\"" + PagePath("beta.htm").string() + "\"";
    auto started = Clock::now();
    Process& second = Start({quoted});
    std::optional<int> status = second.WaitExit(15s);
    ASSERT_TRUE(status.has_value()) << "the later start did not exit\n" << Logs();
    EXPECT_EQ(*status, 0) << Logs();
    EXPECT_LT(Clock::now() - started, 10s);

    // The settings file keeps the argument as it came, quotes included; the
    // running window reads it without them and loads the page.
    EXPECT_EQ(SettingsValue("newurl"), quoted) << Settings();
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Beta")));
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(ProgramWindows(X()).size(), 1u) << "the later start opened a window of its own";
}

// The later starts take turns: each one's "newurl" is read by the running
// window before the next one overwrites it, so every page arrives and is logged.
TEST_F(HandOffTest, TwentyLaterStartsAtOnceAllArrive) {
    constexpr int kStarts = 20;
    Start({WritePage("receiver.htm", "Receiver")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Receiver")));

    std::vector<std::string> links;
    std::vector<Process*> starts;
    for (int i = 1; i <= kStarts; ++i) {
        char name[32], title[32];
        std::snprintf(name, sizeof name, "h%02d.htm", i);
        std::snprintf(title, sizeof title, "Handed %02d", i);
        links.push_back("<a href=\"" + PageUrl(name) + "\">" + title + "</a><br>");
        WritePage(name, title);
    }
    for (int i = 1; i <= kStarts; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "h%02d.htm", i);
        starts.push_back(&Start({PageUrl(name)}));
    }
    WaitUntil(60s, [&] {
        return std::none_of(starts.begin(), starts.end(), [](Process* start) { return start->Running(); });
    });
    for (Process* start : starts) {
        std::optional<int> status = start->WaitExit(0ms);
        ASSERT_TRUE(status.has_value()) << "later start " << start->Pid() << " did not exit\n" << Logs();
        EXPECT_EQ(*status, 0) << Logs();
    }
    EXPECT_EQ(ProgramWindows(X()).size(), 1u) << "a later start opened a window of its own";

    std::vector<std::string> missing;
    WaitUntil(20s, [&] {
        std::string history = History();
        missing.clear();
        for (const std::string& link : links) {
            if (history.find(link) == std::string::npos) missing.push_back(link);
        }
        return missing.empty();
    });
    for (const std::string& link : missing) ADD_FAILURE() << "not logged: " << link;
    if (!missing.empty()) ADD_FAILURE() << "history:\n" << History();
}

}  // namespace
}  // namespace poremisu::e2e
