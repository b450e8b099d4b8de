// Pop-up containment: a page's request for a new window sends the main window
// to the last link address the status text showed, and the next download
// start closes the stray browser windows and logs them; the program's own
// window is never one of them, and a window that will not close holds
// nothing up.

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pages_support.h"

namespace poremisu::e2e {
namespace {

// The link's address carries a byte that the log must escape.
constexpr const char* kTargetPath = "/target.htm?from=popup&x=1";
constexpr const char* kTargetEscaped = "/target.htm?from=popup&amp;x=1";
constexpr const char* kLinkStyle = "display:block;width:500px;height:250px;font-size:40px";

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head><body style=\"margin:0\">" + body + "</body></html>\n";
}

std::string LinkToTarget(const std::string& attributes) {
    return std::string("<a id=\"link\" href=\"") + kTargetPath + "\" " + attributes + " style=\"" +
           kLinkStyle + "\">Target</a>";
}

// The pop-up comes a moment after the pointer reaches the link, so the
// status text has carried the link's address by then.
const std::string kScriptPage =
    Page("Script Popup", LinkToTarget("") +
                             "<script>\n"
                             "let opened = false;\n"
                             "document.getElementById('link').onmouseover = () => {\n"
                             "  if (opened) return;\n"
                             "  opened = true;\n"
                             "  setTimeout(() => window.open('/elsewhere.htm'), 300);\n"
                             "};\n</script>");
const std::string kBlankPage = Page("Blank Popup", LinkToTarget("target=\"_blank\""));

std::map<std::string, std::string> Site() {
    return {{"/popup-script.htm", kScriptPage},
            {"/popup-blank.htm", kBlankPage},
            {kTargetPath, Page("Target", "<p>target</p>")},
            {"/elsewhere.htm", Page("Elsewhere", "<p>elsewhere</p>")},
            {"/next.htm", Page("Next", "<p>next</p>")}};
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

enum class Trigger { Script, ClickBlankTarget };

// A program on one of the pop-up pages, made to ask for a new window.
class PopupFixture : public DrivenProgramTest {
protected:
    explicit PopupFixture(WindowManager manager) : DrivenProgramTest(manager) {}

    static std::string PagePathFor(Trigger trigger) {
        return trigger == Trigger::Script ? "/popup-script.htm" : "/popup-blank.htm";
    }
    static std::string PageTitleFor(Trigger trigger) {
        return trigger == Trigger::Script ? "Script Popup" : "Blank Popup";
    }

    XWindow Open(HttpServer& server, Trigger trigger) {
        return StartRecording(server.Url(PagePathFor(trigger)), PageTitleFor(trigger));
    }

    // Rests the pointer on the page's link until the title shows the link's
    // address, then makes the page ask for a window.
    bool AskForWindow(XWindow window, HttpServer& server, Trigger trigger) {
        PointAt(window, 100, 100);
        if (!WaitForTitle(window, BareTitle(PageTitleFor(trigger)) + server.Url(kTargetPath), 10s)) {
            ADD_FAILURE() << "the link's address was not shown";
            return false;
        }
        if (trigger == Trigger::ClickBlankTarget) Xdotool({"click", "1"});
        return true;
    }
};

struct PopupCase {
    const char* name;
    Trigger trigger;
    WindowManager manager;
};

class PopupTest : public PopupFixture, public ::testing::WithParamInterface<PopupCase> {
protected:
    PopupTest() : PopupFixture(GetParam().manager) {}
};

TEST_P(PopupTest, LoadsTheLastLinkAndClosesTheStrayWindowsAtTheNextDownloadStart) {
    const Trigger trigger = GetParam().trigger;
    HttpServer server(Site());
    const std::string page = server.Url(PagePathFor(trigger));
    const std::string target = server.Url(kTargetEscaped);  // as the log holds it
    XWindow window = Open(server, trigger);
    ASSERT_NE(window, 0u);
    StrayWindow stray(DisplayName(), "Some page - Internet Explorer", OnCloseRequest::Close);
    ASSERT_TRUE(AskForWindow(window, server, trigger));

    ASSERT_TRUE(WaitForTitle(window, BareTitle("Target"), 15s)) << "the main window did not load the link\n"
                                                                << History() << Titles().Describe();
    EXPECT_TRUE(WaitUntil(5s, [&] { return stray.Gone(); })) << "the stray window was not closed";
    EXPECT_EQ(stray.CloseRequests(), 1);

    // In order: the page, the request redirected to the link, the stray
    // window closed at the download start, the link's page.
    std::string history = History();
    const std::vector<std::string> lines = {
        "<a href=\"" + page + "\">" + PageTitleFor(trigger) + "</a><br>\r\n",
        "new\t" + target + "\r\n",
        "(IE)\tSome page - Internet Explorer\r\n",
        "<a href=\"" + target + "\">Target</a><br>\r\n",
    };
    std::size_t at = 0;
    for (const std::string& line : lines) {
        std::size_t found = history.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "history:\n" << history;
        if (found != std::string::npos) at = found + line.size();
    }
    EXPECT_EQ(Count(history, "new\t"), 1u) << history;
    EXPECT_EQ(Count(history, "(IE)\t"), 1u) << history;
    // The main window went where the link led, not where the page asked.
    for (const std::string& path : server.Requests()) EXPECT_NE(path, "/elsewhere.htm");

    // The sweep ran once: a stray window that comes later is left alone by
    // later download starts.
    StrayWindow later(DisplayName(), "Later - Internet Explorer", OnCloseRequest::Close);
    HandOff(server.Url("/next.htm"));
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Next"), 15s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(later.CloseRequests(), 0);
    EXPECT_EQ(History().find("Later - Internet Explorer"), std::string::npos) << History();
}

INSTANTIATE_TEST_SUITE_P(Requests, PopupTest,
                         ::testing::Values(PopupCase{"ScriptOpenWithWindowManager", Trigger::Script,
                                                     WindowManager::Openbox},
                                           PopupCase{"BlankTargetClickedWithoutWindowManager",
                                                     Trigger::ClickBlankTarget, WindowManager::Off}),
                         [](const auto& info) { return std::string(info.param.name); });

class StubbornWindowTest : public PopupFixture, public ::testing::WithParamInterface<WindowManager> {
protected:
    StubbornWindowTest() : PopupFixture(GetParam()) {}
};

// A stray window that ignores its close request is logged, asked, and then
// left: the main window goes on loading and answering within moments.
TEST_P(StubbornWindowTest, DoesNotHoldTheProgramUp) {
    HttpServer server(Site());
    const std::string target = server.Url(kTargetEscaped);  // as the log holds it
    XWindow window = Open(server, Trigger::Script);
    ASSERT_NE(window, 0u);
    // The line goes to the log before the request goes out, so a window that
    // hangs on its request is in the log all the same.
    std::atomic<bool> loggedFirst = false;
    StrayWindow stubborn(DisplayName(), "固まった窓 - Internet Explorer", OnCloseRequest::Ignore, [&] {
        if (History().find("(IE)\t固まった窓 - Internet Explorer\r\n") != std::string::npos)
            loggedFirst = true;
    });
    ASSERT_TRUE(AskForWindow(window, server, Trigger::Script));

    ASSERT_TRUE(WaitUntil(10s, [&] { return History().find("new\t" + target) != std::string::npos; }))
        << History();
    auto asked = Clock::now();
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Target"), 10s)) << Titles().Describe();
    // One window's close request is waited for about a second, no longer.
    EXPECT_LT(Clock::now() - asked, 3s);

    EXPECT_GE(stubborn.CloseRequests(), 1);
    EXPECT_TRUE(loggedFirst) << "the close request came before the log line";
    EXPECT_FALSE(stubborn.Gone());
    std::string history = History();
    std::size_t logged = history.find("(IE)\t固まった窓 - Internet Explorer\r\n");
    EXPECT_NE(logged, std::string::npos) << history;
    EXPECT_LT(logged, history.find("<a href=\"" + target + "\">Target</a>")) << history;

    // Still answering: a later address arrives and its title is shown.
    HandOff(server.Url("/next.htm"));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Next"), 10s));
}

INSTANTIATE_TEST_SUITE_P(Managers, StubbornWindowTest,
                         ::testing::Values(WindowManager::Off, WindowManager::Openbox), [](const auto& info) {
                             return std::string(info.param == WindowManager::Off ? "NoWindowManager"
                                                                                 : "Openbox");
                         });

// The sweep command, from the menu bar, on a desktop where the program's own
// title names the stray windows' mark too.
class SweepCommandTest : public DrivenProgramTest {
protected:
    SweepCommandTest() : DrivenProgramTest(WindowManager::Openbox) {}
};

TEST_F(SweepCommandTest, ClosesOtherWindowsButNeverTheProgramsOwn) {
    // Ignoring its request keeps the stray window in the walk, so the walk
    // goes on to the program's window wherever it stands.
    StrayWindow stray(DisplayName(), "\"Stray\" <R&D> - Internet Explorer", OnCloseRequest::Ignore);
    const std::string ownName = "Own page - Internet Explorer";
    Process& program = Start({WritePage("own.htm", ownName)});
    XWindow window = WaitForWindow(15s);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle(ownName), 15s));

    ShowMenuBar(window);
    // Help > Tabs? > close IE: the last menu of the bar, its fourth item, the second item of that.
    Keys({"F10", "Left", "Down", "Down", "Down", "Down", "Right", "Down", "Return"});
    ASSERT_TRUE(WaitUntil(10s, [&] { return stray.CloseRequests() >= 1; })) << "the sweep did not run\n"
                                                                            << History() << Logs();

    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(program.Running()) << "the program closed its own window\n" << History();
    EXPECT_EQ(ProgramWindows(X()).size(), 1u);
    std::string history = History();
    EXPECT_NE(history.find("(IE)\t&quot;Stray&quot; &lt;R&amp;D&gt; - Internet Explorer\r\n"),
              std::string::npos)
        << history;
    EXPECT_EQ(history.find("(IE)\t" + ownName), std::string::npos) << history;
}

}  // namespace
}  // namespace poremisu::e2e
