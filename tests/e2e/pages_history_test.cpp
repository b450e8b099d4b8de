// The history page, opened from the menu bar: every completed page is a link
// on it, in order, and a page name is shown as text, never run as markup.

#include <string>
#include <thread>
#include <vector>

#include "e2e/pages_support.h"

namespace poremisu::e2e {
namespace {

// Markup that renames its page as soon as it is parsed as markup.
constexpr const char* kProbeName = "<img src=x onerror=document.title='pwned'>";
constexpr const char* kProbeEscaped = "&lt;img src=x onerror=document.title=&#39;pwned&#39;&gt;";
constexpr const char* kPwned = "pwned";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class HistoryPageTest : public DrivenProgramTest {
protected:
    HistoryPageTest() : DrivenProgramTest(WindowManager::Openbox) {}
};

TEST_F(HistoryPageTest, ListsEveryCompletedPageInOrderAndShowsNamesAsText) {
    const std::vector<std::pair<std::string, std::string>> pages = {
        {"first.htm", "First"}, {"quotes.htm", "Tom's \"Q&A\" <Page>"}, {"probe.htm", kProbeName}};
    std::vector<std::string> urls;
    for (const auto& [file, name] : pages) urls.push_back(WritePage(file, name));
    XWindow window = StartRecording(urls[0], pages[0].second);
    ASSERT_NE(window, 0u);
    for (std::size_t i = 1; i < pages.size(); ++i) {
        HandOff(urls[i]);
        ASSERT_TRUE(WaitForTitle(window, BareTitle(pages[i].second), 15s));
    }

    // History > title history, with the bars shown: the title has no tail then.
    ShowMenuBar(window);
    Keys({"F10", "Right", "Right", "Down", "Return"});
    const std::string historyTitle = std::string(" - ") + kProductWord;
    ASSERT_TRUE(WaitForTitle(window, historyTitle, 15s)) << Titles().Describe();
    std::this_thread::sleep_for(1s);

    std::string history = History();
    EXPECT_NE(history.find(kProbeEscaped), std::string::npos) << history;
    EXPECT_EQ(history.find(kProbeName), std::string::npos) << history;
    EXPECT_NE(history.find("Tom&#39;s &quot;Q&amp;A&quot; &lt;Page&gt;"), std::string::npos) << history;
    // The history page itself is not logged.
    EXPECT_EQ(history.find("WindowTitleHis.htm"), std::string::npos) << history;

    // Status bar off: link addresses under the pointer go to the title again.
    Keys({"F10", "Right", "Down", "Down", "Return"});
    ASSERT_TRUE(WaitForTitle(window, BareTitle(""), 10s));
    std::vector<std::string> shown;
    for (const LinkSeen& link : LinksDownThePage(window, BareTitle(""))) shown.push_back(link.address);
    EXPECT_EQ(shown, urls);

    EXPECT_FALSE(Titles().Saw([](const std::string& title) { return title.rfind(kPwned, 0) == 0; }))
        << "the page name ran as markup:\n"
        << Titles().Describe();

    // The same lines unescaped do rename their page: the probe would have shown it.
    std::string raw =
        ReplaceAll(ReplaceAll(ReplaceAll(history, kProbeEscaped, kProbeName), "&quot;", "\""), "&#39;", "'");
    WriteFile(PagePath("unescaped.htm"), raw);
    HandOff(PagePath("unescaped.htm").string());
    EXPECT_TRUE(WaitForTitle(window, BareTitle(kPwned), 15s));
    // The page after the history view is logged again.
    EXPECT_NE(History().find("<a href=\"" + PageUrl("unescaped.htm") + "\">"), std::string::npos)
        << History();
}

}  // namespace
}  // namespace poremisu::e2e
