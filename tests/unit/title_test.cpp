// The main window's title and the routing of status texts.

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeBrowser.h"
#include "fakes/FakeHost.h"
#include "fakes/U8.h"
#include "ui/Title.h"

namespace poremisu {
namespace {

using test::CallLog;
using test::FakeBrowser;
using test::FakeHost;

const std::string kWord = test::U8(u8"ぽれみす");

enum class Bar { Hidden, Shown };

TEST(FormatTitle, HasOneFormForEachStateOfTheStatusBarAndPageName) {
    const std::string name18 = "123456789012345678";
    const std::string a = test::U8(u8"あ");
    const struct {
        Bar bar;
        std::string name, extra, expected;
    } cases[] = {
        {Bar::Shown, "Example Domain", "12", "Example Domain - " + kWord},
        {Bar::Shown, "A very long page title here", "12", "A very long page title here - " + kWord},
        {Bar::Hidden, "Example Domain", "", "Example Domain - " + kWord + " > "},
        {Bar::Hidden, "Example Domain", "12", "Example Domain - " + kWord + " > 12"},
        {Bar::Hidden, "A very long page title here", "12", "A very long page t..- " + kWord + " > 12"},
        {Bar::Hidden, "A very long page title here", "", "A very long page title here - " + kWord + " > "},
        {Bar::Hidden, "", "", " - " + kWord + " > "},
        {Bar::Hidden, "", "x", " - " + kWord + " > x"},
        {Bar::Hidden, name18, "x", name18 + " - " + kWord + " > x"},
        {Bar::Hidden, name18 + "9", "x", name18 + "..- " + kWord + " > x"},
        // Byte 18 is the first byte of a three-byte character: the cut keeps it alone.
        {Bar::Hidden, "a" + a + a + a + a + a + a + a, "x",
         "a" + a + a + a + a + a + a.substr(0, 2) + "..- " + kWord + " > x"},
        // A piece ends at a zero byte, as the formatter's %s would.
        {Bar::Hidden, std::string("Page\0hidden", 11), std::string("7\0 8", 4), "Page - " + kWord + " > 7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTitle(c.name, kWord, c.extra, c.bar == Bar::Shown), c.expected) << c.name;
    }
}

TEST(FormatTitle, NeverExceeds1023BytesAndKeepsTheProductWord) {
    const std::string huge(10 << 20, 'n');
    // The name gives way, so that later starts still find the window by the word.
    EXPECT_EQ(FormatTitle(huge, kWord, "", false), huge.substr(0, 1023 - 6 - kWord.size()) + " - " + kWord + " > ");
    EXPECT_EQ(FormatTitle(huge, kWord, "", true), huge.substr(0, 1023 - 3 - kWord.size()) + " - " + kWord);
    std::string title = FormatTitle("Page", kWord, huge, false);
    EXPECT_EQ(title.size(), 1023u);
    EXPECT_EQ(title.substr(0, 4 + 3 + kWord.size() + 3), "Page - " + kWord + " > ");
}

struct TitleRig {
    TitleRig() { browser.locationName = "Example Domain"; }
    CallLog log;
    AppState state;
    Texts texts = Texts::Make([](std::string_view s) { return std::string(s); });
    FakeBrowser browser{log};
    FakeHost host{log};
    TitleComposer title{state, texts, browser, host};
};

TEST(ShowStatusText, RemembersTheWholeLastTextThatContainsHttp) {
    const struct {
        std::string text;
        bool captured;
    } cases[] = {
        {"http://a.example/", true},
        {"Go to https://b.example/ now", true},
        {"xhttpx", true},
        {"HTTP://C.EXAMPLE/", false},
        {"Http://d.example/", false},
        {"ftp://e.example/", false},
        {"", false},
    };
    for (Bar bar : {Bar::Hidden, Bar::Shown}) {
        TitleRig rig;
        rig.state.statusBarVisible = bar == Bar::Shown;
        std::string expected = "earlier http text";
        rig.state.lastLinkUrl = expected;
        for (const auto& c : cases) {
            rig.title.ShowStatusText(c.text);
            if (c.captured) expected = c.text;
            EXPECT_EQ(rig.state.lastLinkUrl, expected) << c.text;
        }
    }
}

TEST(ShowStatusText, GoesToTheStatusBarWhenShownElseIntoTheTitle) {
    TitleRig shown;
    shown.state.statusBarVisible = 1;
    shown.title.ShowStatusText("Loading http://a/");
    shown.title.ShowStatusText("");
    EXPECT_EQ(shown.host.statusTexts, (std::vector<std::string>{"Loading http://a/", ""}));
    EXPECT_TRUE(shown.host.titles.empty());

    TitleRig hidden;
    hidden.title.ShowStatusText("Done");
    EXPECT_TRUE(hidden.host.statusTexts.empty());
    EXPECT_EQ(hidden.host.titles, std::vector<std::string>{"Example Domain - " + kWord + " > Done"});
    EXPECT_EQ(hidden.state.scratchText, hidden.host.titles.back());
}

TEST(ShowStatusText, BoundsTitleAndLinkWhateverTheTextsLength) {
    TitleRig rig;
    std::string text = "http://" + std::string(10 << 20, 'x');
    rig.title.ShowStatusText(text);
    EXPECT_EQ(rig.state.lastLinkUrl, text.substr(0, 59999));
    ASSERT_EQ(rig.host.titles.size(), 1u);
    EXPECT_EQ(rig.host.titles[0].size(), 1023u);
}

TEST(ComposeTitle, ReadsThePageNameAfreshAndShowsNumbersOnlyWhileTheBarIsHidden) {
    TitleRig rig;
    rig.title.ComposeTitleNumber(7);
    rig.browser.locationName = "Other";
    rig.title.ComposeTitleNumber(INT32_MIN);
    rig.state.statusBarVisible = 1;
    rig.title.ComposeTitleNumber(7);
    EXPECT_EQ(rig.host.titles, (std::vector<std::string>{"Example Domain - " + kWord + " > 7",
                                                         "Other - " + kWord + " > -2147483648",
                                                         "Other - " + kWord}));
}

}  // namespace
}  // namespace poremisu
