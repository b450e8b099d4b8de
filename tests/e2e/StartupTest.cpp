// A first start: the page named on the command line (or by a shortcut file)
// is shown in the bare window and titled with the product word.

#include <algorithm>
#include <sstream>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

class StartupTest : public ProgramTest {};

struct StartPage {
    const char* fileName;
    const char* title;
};

class StartPageTest : public StartupTest, public ::testing::WithParamInterface<StartPage> {};

// The page's colour on every edge of the client area means nothing else (menu
// bar, address bar, status bar) takes a row of it.
TEST_P(StartPageTest, ShowsThePageTitledAndAloneInTheWindow) {
    const StartPage& page = GetParam();
    constexpr std::uint32_t kGreen = 0x00C000;
    std::string url = WritePage(page.fileName, page.title, "#00c000");

    Start({url});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle(page.title)));

    Rect client = ClientRect(X(), window);
    ASSERT_GT(client.width, 100);
    ASSERT_GT(client.height, 100);
    const int right = client.width - 1, bottom = client.height - 1;
    const std::vector<std::pair<int, int>> edges = {
        {0, 0},          {client.width / 2, 0},      {right, 0},          // top row: no menu or address bar
        {0, bottom / 2}, {right, bottom / 2},                              // sides
        {0, bottom},     {client.width / 2, bottom}, {right, bottom}};    // bottom row: no status bar
    std::vector<std::uint32_t> colours;
    bool filled = WaitUntil(10s, [&] {
        colours = Pixels(X(), window, edges);
        return std::all_of(colours.begin(), colours.end(), [](std::uint32_t c) { return c == kGreen; });
    });
    if (!filled) {
        std::ostringstream seen;
        for (std::size_t i = 0; i < edges.size(); ++i) {
            seen << " (" << edges[i].first << "," << edges[i].second << ")=#" << std::hex << colours[i] << std::dec;
        }
        ADD_FAILURE() << "the page does not fill the " << client.width << "x" << client.height
                      << " client area:" << seen.str();
    }

    // The completed page is logged with its address and name.
    std::string link = "<a href=\"" + url + "\">" + page.title + "</a><br>\r\n";
    EXPECT_TRUE(WaitUntil(5s, [&] { return History().find(link) != std::string::npos; })) << History();
}

INSTANTIATE_TEST_SUITE_P(Pages, StartPageTest,
                         ::testing::Values(StartPage{"example.htm", "Example Domain"},
                                           // 21 bytes: longer than the short form's cut, shown whole
                                           StartPage{"nihongo.htm", "日本語のページ"}),
                         [](const auto& info) { return std::string(info.param.fileName).substr(0, 7); });

// The extension test ignores case: News.URL is a shortcut, and the page it names is loaded.
TEST_F(StartupTest, ShortcutFileWithCapitalExtensionLoadsItsUrl) {
    std::string target = WritePage("target.htm", "Shortcut Target");
    WriteFile(PagePath("News.URL"), "[InternetShortcut]\r\nURL=" + target + "\r\n");

    Start({PagePath("News.URL").string()});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Shortcut Target")));
    EXPECT_NE(History().find("<a href=\"" + target + "\">Shortcut Target</a>"), std::string::npos) << History();
}

}  // namespace
}  // namespace poremisu::e2e
