// The browser control's events, and the sweep of external browser windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu {
namespace {

using test::FileExists;
using test::OnCloseRequest;
using test::ReadFile;
using test::Rig;
using test::WriteFile;

const std::string kWord = test::U8(u8"ぽれみす");

std::string Link(std::string_view url, std::string_view name) {
    return "<a href=\"" + std::string(url) + "\">" + std::string(name) + "</a><br>\r\n";
}

void Complete(Rig& rig, std::string url, std::string name) {
    rig.browser.locationUrl = std::move(url);
    rig.browser.locationName = std::move(name);
    rig.window.Events().OnDocumentComplete();
}

TEST(PageCompletion, ShowsTheAddressAndTitleAndLogsThePage) {
    Rig rig;
    rig.state.idleTicks = 20;
    Complete(rig, "http://a.example/", "A");
    EXPECT_EQ(rig.state.idleTicks, 0);
    EXPECT_EQ(rig.host.addressBar, "http://a.example/");
    EXPECT_EQ(rig.host.titles, std::vector<std::string>{"A - " + kWord + " > "});
    EXPECT_EQ(rig.History(), Link("http://a.example/", "A"));
    EXPECT_TRUE(rig.browser.navigations.empty());
    EXPECT_FALSE(FileExists(rig.dir / "Favorites.htm"));
}

TEST(PageCompletion, SkipsTheLogOnceAfterBackForwardOrTheHistoryView) {
    for (int command : {cmd::kBack, cmd::kForward, cmd::kTitleHistory}) {
        Rig rig;
        Complete(rig, "http://1/", "one");
        rig.window.OnCommand(command);
        Complete(rig, "http://2/", "two");
        Complete(rig, "http://3/", "three");  // a frame of the same page counts on its own
        Complete(rig, "http://3/", "three");
        EXPECT_EQ(rig.History(), Link("http://1/", "one") + Link("http://3/", "three") + Link("http://3/", "three"))
            << command;
        EXPECT_EQ(rig.state.recordNextPage, 1);
    }
}

TEST(PageCompletion, ListsALocalFolderAndShowsItsListingInstead) {
    Rig rig;
    std::string folder = rig.dir / "a b";
    std::filesystem::create_directories(folder + "/sub");
    WriteFile(folder + "/notes.txt", "");
    std::string url = "file://" + rig.dir.Path() + "/a%20b/";
    Complete(rig, url, "a b");
    std::string page = folder + "/Favorites.htm";
    EXPECT_TRUE(FileExists(page));
    EXPECT_EQ(rig.host.titles.back(), "a b - " + kWord + " > 5");  // . .. sub notes.txt Favorites.htm
    EXPECT_EQ(rig.host.addressBar, page);
    EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{page});
    EXPECT_EQ(test::Cwd(), folder);
    EXPECT_EQ(rig.History(), Link(url, "a b"));

    // The listing page's own completion is logged and goes no further.
    Complete(rig, "file://" + page, "Favorites.htm");
    EXPECT_EQ(rig.browser.navigations.size(), 1u);
    EXPECT_EQ(rig.History(), Link(url, "a b") + Link("file://" + page, "Favorites.htm"));
}

TEST(PageCompletion, ListsNothingForALocalFileOrAMissingFolder) {
    Rig rig;
    test::TempDir current;
    std::filesystem::current_path(current.Path());
    std::filesystem::create_directories(rig.dir / "d");
    for (const char* name : {"d/page.HTM", "d/page.html", "d/notes.txt", "d/x.url"}) {
        WriteFile(rig.dir / name, "");
    }
    for (std::string tail : {"/d/page.HTM", "/d/page.html", "/d/notes.txt", "/d/x.url", "/missing/", "/d/%00/"}) {
        Complete(rig, "file://" + rig.dir.Path() + tail, "x");
        EXPECT_TRUE(rig.browser.navigations.empty()) << tail;
    }
    EXPECT_EQ(test::Cwd(), current.Path());
    EXPECT_FALSE(FileExists(rig.dir / "d/Favorites.htm"));
    EXPECT_FALSE(FileExists(current / "Favorites.htm"));
}

TEST(PopUp, LogsAndLoadsTheLastLinkThenSweepsAtTheNextDownloadOnly) {
    for (std::string link : {"Go to http://l.example/", ""}) {
        Rig rig;
        rig.windows.Add(7, "Pop - Internet Explorer");
        rig.state.lastLinkUrl = link;
        rig.window.Events().OnDownloadBegin();  // nothing pending
        EXPECT_TRUE(rig.windows.closeRequests.empty());

        rig.window.Events().OnNewWindow2();
        EXPECT_EQ(rig.History(), "new\t" + link + "\r\n");
        EXPECT_EQ(rig.host.addressBar, link);
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>{link});
        EXPECT_EQ(rig.state.newWindowPending, 1);
        EXPECT_TRUE(rig.windows.closeRequests.empty());

        rig.window.Events().OnDownloadBegin();
        rig.window.Events().OnDownloadBegin();
        EXPECT_EQ(rig.windows.closeRequests, std::vector<WindowId>{7});
        EXPECT_EQ(rig.state.newWindowPending, 0);
        EXPECT_EQ(rig.History(), "new\t" + link + "\r\n(IE)\tPop - Internet Explorer\r\n");
    }
}

struct SweepCase {
    std::string name;
    std::vector<test::FakeWindow> windows;
    bool found;
    std::vector<WindowId> closed;
};

TEST(Sweep, LogsAndClosesEachWindowTitledInternetExplorer) {
    const std::string ie = "Internet Explorer";
    const auto destroy = OnCloseRequest::Destroy;
    const SweepCase cases[] = {
        {"several survivors", {{2, "A - " + ie}, {3, "notes"}, {4, ie + " B"}, {5, "C " + ie}}, true, {2, 4, 5}},
        {"destroyed window ends the walk", {{2, "A - " + ie, false, destroy}, {3, ie}}, true, {2}},
        {"case and blank matter",
         {{2, "internet explorer"}, {3, "InternetExplorer"}, {4, "INTERNET EXPLORER"}},
         false,
         {}},
        {"within the first 599 bytes", {{2, std::string(599 - ie.size(), 'a') + ie}}, true, {2}},
        {"beyond the first 599 bytes", {{2, std::string(600 - ie.size(), 'a') + ie}}, false, {}},
        {"the program's own window is spared",
         {{test::kMainWindowId, "Page " + ie + " - " + kWord, true}, {3, ie}},
         true,
         {3}},
        {"no windows", {}, false, {}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.windows.windows = c.windows;
        std::vector<std::string> logAtRequest;
        rig.windows.onCloseRequest = [&](WindowId) { logAtRequest.push_back(rig.History()); };
        EXPECT_EQ(rig.window.Sweep().SweepExternalBrowsers(), c.found) << c.name;
        EXPECT_EQ(rig.windows.closeRequests, c.closed) << c.name;
        std::string expected;
        for (std::size_t i = 0; i < c.closed.size(); ++i) {
            auto w = std::find_if(c.windows.begin(), c.windows.end(), [&](auto& x) { return x.id == c.closed[i]; });
            expected += "(IE)\t" + w->title + "\r\n";
            EXPECT_EQ(logAtRequest.at(i), expected) << c.name << ": logged before its close request";
        }
        EXPECT_EQ(rig.History(), expected) << c.name;
    }
}

TEST(Sweep, LogsTheFullTitleNotTheTestedPart) {
    Rig rig;
    std::string title = "Internet Explorer " + std::string(70000, 't');
    rig.windows.Add(2, title);
    EXPECT_TRUE(rig.window.Sweep().SweepExternalBrowsers());
    EXPECT_EQ(rig.History(), "(IE)\t" + title.substr(0, 59998) + "\r\n");
}

}  // namespace
}  // namespace poremisu
