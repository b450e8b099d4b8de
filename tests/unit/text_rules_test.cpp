// Byte rules of the core's texts: the settings file and its placement value,
// the extension test, typed addresses, the folder a file:/// address names,
// the title and the page for a failed load.

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/Placement.h"
#include "app/Profile.h"
#include "ui/Address.h"
#include "browser/Download.h"
#include "browser/PageEvents.h"
#include "fakes/Fakes.h"
#include "pages/ErrorPage.h"
#include "pages/Shortcut.h"
#include "ui/ControlKeys.h"
#include "ui/MainWindow.h"
#include "ui/Title.h"

namespace poremisu::test {
namespace {

// The value as the reader finds it when the text arrives in pieces of `chunk`
// bytes (0: all at once).
std::optional<std::string> Find(std::string_view text, std::size_t chunk, std::size_t count = 60000) {
    ProfileValueFinder finder("setting", "newurl", count);
    if (chunk == 0) chunk = text.size() + 1;
    for (std::size_t at = 0; at < text.size(); at += chunk) {
        if (finder.Feed(text.substr(at, chunk))) break;
    }
    finder.Finish();
    return finder.Result();
}

TEST(ProfileValueFinder, FindsTheSameValueWhateverThePiecesTheTextComesIn) {
    const std::string big(70000, 'x'), cut(59999, 'x'), pad(1017, ' ');
    const struct {
        std::string name, text;
        std::optional<std::string> expected;
        std::size_t count = 60000;
    } cases[] = {
        {"no line feed at the end", "[setting]\nnewurl=abc", "abc"},
        {"any letter case, first key wins", "[SETTING]\nNewURL=a\nnewurl=b\n", "a"},
        {"first section of the name only", "[setting]\nx=1\n[setting]\nnewurl=b\n", std::nullopt},
        {"other keys ignored", "newurl=x\n[other]\nnewurl=x\n[setting]\nnew=url\nnewurl=y\n", "y"},
        {"blanks trimmed", "  [ setting ]  \n  newurl  =  a b \t \r\n", "a b"},
        {"mixed quotes left alone", "[setting]\nnewurl=\"a'\n", "\"a'"},
        {"key without equals sign", "[setting]\nnewurl\nwin=1\n", ""},
        {"a lone quote", "[setting]\nnewurl=\"\n", "\""},
        // Names are read up to 1024 bytes, blanks included; a longer one never matches.
        {"section name at the bound", "[" + pad + "setting]\nnewurl=a\n", "a"},
        {"section name past the bound", "[ " + pad + "setting]\nnewurl=a\n[setting]\nnewurl=b\n", "b"},
        {"key name past the bound", "[setting]\nnewurl " + pad + "  =a\n", std::nullopt},
        {"byte-order mark", "\xEF\xBB\xBF[setting]\nnewurl=a\n", "a"},
        {"half a byte-order mark", "\xEF\xBB[setting]\nnewurl=a\n", std::nullopt},
        {"long value cut", "[setting]\nnewurl=" + big + "\n", cut},
        {"small count quoted", "[setting]\nnewurl='abcdef'\n", "abc", 4},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {0, 1, 2, 7}) {
            EXPECT_EQ(Find(c.text, chunk, c.count), c.expected) << c.name << ", pieces of " << chunk;
        }
    }
}

TEST(UpdateProfileText, ChangesOneKeyAndKeepsEveryOtherByte) {
    const struct {
        std::string name, text, value, expected;
    } cases[] = {
        {"replace, keeping the key's spelling", "[Setting]\r\n  NEWURL = old\r\nwin=1\r\n", "v",
         "[Setting]\r\nNEWURL=v\r\nwin=1\r\n"},
        {"other lines byte for byte", "; note \n[setting]\n  win = 1 \nnewurl=old\n[x]\ny\n", "v",
         "; note \n[setting]\n  win = 1 \nnewurl=v\r\n[x]\ny\n"},
        {"add to the section after its last line", "[setting]\r\nwin=1\r\n\r\n[other]\r\nx=1\r\n", "v",
         "[setting]\r\nwin=1\r\nnewurl=v\r\n\r\n[other]\r\nx=1\r\n"},
        {"add after an unended header", "[setting]", "v", "[setting]\r\nnewurl=v\r\n"},
        {"add to the first section of the name", "[setting]\r\na=1\r\n[setting]\r\nnewurl=x\r\n", "v",
         "[setting]\r\na=1\r\nnewurl=v\r\n[setting]\r\nnewurl=x\r\n"},
        {"add a section", "[other]\r\nx=1", "v", "[other]\r\nx=1\r\n[setting]\r\nnewurl=v\r\n"},
        // Writes land where the reader looks: past a byte-order mark, never in a section it cannot name.
        {"byte-order mark", "\xEF\xBB\xBF[setting]\r\nnewurl=old\r\n", "v", "\xEF\xBB\xBF[setting]\r\nnewurl=v\r\n"},
        {"section name past the bound", "[" + std::string(1100, ' ') + "setting]\r\nnewurl=x\r\n", "v",
         "[" + std::string(1100, ' ') + "setting]\r\nnewurl=x\r\n[setting]\r\nnewurl=v\r\n"},
        {"cut at CR LF", "", "a\r\nb", "[setting]\r\nnewurl=a\r\n"},
        {"cut at LF", "", "a\n[x]\nnewurl=b", "[setting]\r\nnewurl=a\r\n"},
    };
    for (const auto& c : cases) {
        std::string updated = UpdateProfileText(c.text, "setting", "newurl", c.value);
        EXPECT_EQ(updated, c.expected) << c.name;
    }
}

TEST(Placement, ReadsWhatTheScanfFamilyReads) {
    const std::pair<std::string, std::optional<WindowPlacement>> cases[] = {
        {"0x10:010:+5:-0x1F: 7:\t8:\n9:0X0a:0:-0", WindowPlacement{16, 8, 5, -31, 7, 8, 9, 10, 0, 0}},
        {"1:2:3:4:5:6:7:8:9:10abc", WindowPlacement{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"2147483648:-2147483649:99999999999999999999999:-99999999999999999999999:1:2:3:4:5:6",
         WindowPlacement{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 1, 2, 3, 4, 5, 6}},
        {"1:2:3:4:5:6:7:8:9", std::nullopt},
        {"1:2:3:4:5:6:7:8:x:10", std::nullopt},
        {"1:0b1:3:4:5:6:7:8:9:10", std::nullopt},  // a zero, then a letter
        {"08:2:3:4:5:6:7:8:9:10", std::nullopt},  // octal: the 8 is no digit
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParsePlacement(text), expected) << text;
}

// What a stored rectangle becomes on the monitors there are: kept where any part of it shows, cut to
// the box around them all, moved onto it when wholly off, and kept within 16 bits with none known.
TEST(Placement, KeepsTheFrameOnTheMonitors) {
    const std::vector<PixelRect> two = {{100, 50, 1280, 1024}, {-1920, 0, 1920, 1080}};
    const struct {
        std::int32_t left, top, right, bottom;
        std::vector<PixelRect> screens;
        PixelRect frame;
    } cases[] = {
        {-1800, 100, -1000, 700, two, {-1800, 100, 800, 600}},
        {0, 0, 5000, 4000, {two[0]}, {0, 0, 1280, 1024}},
        {3000, 10, 3400, 310, {two[0]}, {980, 10, 400, 300}},
        {40000, 5, 41000, 105, {}, {31767, 5, 1000, 100}},
        {-300, 60, 100, 160, {two[0]}, {100, 60, 400, 100}},  // touching the edge is off it
        {10, -100, 410, 50, {two[0]}, {10, 50, 400, 150}},
        {10, 10, 5, INT32_MIN, {two[0]}, {100, 50, 1, 1}},
    };
    for (const auto& c : cases) {
        const PixelRect frame = FrameOnScreen(WindowPlacement{0, 1, -1, -1, -1, -1, c.left, c.top, c.right, c.bottom},
                                              c.screens);
        EXPECT_EQ((std::vector<int>{frame.x, frame.y, frame.width, frame.height}),
                  (std::vector<int>{c.frame.x, c.frame.y, c.frame.width, c.frame.height}))
            << c.left << "," << c.top;
    }
}

TEST(HasExtension, JudgesOnlyTheTextAfterTheLastDot) {
    const struct {
        std::string path, ext;
        bool expected;
    } cases[] = {
        {"C:\\Links\\News.URL\"\"", "url", false},  // only one quote is dropped
        {"http://example.com/index.html", "htm", false},
        {"C:\\old.2\\readme", "2\\readme", true},  // the directory's dot counts
        {"a.abcdefghi", "abcdefghi", false},  // 9 bytes after the dot
        {"a.url", "abcdefghij", false},  // a wanted extension of 10 bytes
        // A path of 300 bytes is judged by its last 260 bytes.
        {std::string(290, 'd') + "/News.url", "url", true},
        // Only A to Z fold; bytes of other characters are compared as they are.
        {"a.\xC3\x89", "\xC3\xA9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasExtension(c.path, c.ext), c.expected) << c.path.substr(0, 40) << " / " << c.ext;
    }
}

TEST(ResolveAddress, TrimsThenTellsTheStartPageFilesSchemesAndHostNames) {
    using Kind = ResolvedAddress::Kind;
    const struct {
        std::string text, cwd;
        ResolvedAddress expected;
    } cases[] = {
        {" \t\r\n", "/d", {Kind::Nothing, ""}},
        {"\tabout:home \r\n", "/d", {Kind::Home, ""}},
        {"about:homepage", "/d", {Kind::AsIs, "about:homepage"}},
        {" /tmp/a b ", "/d", {Kind::File, "/tmp/a b"}},
        {"Zsvn+ssh.A-y:r", "/d", {Kind::AsIs, "Zsvn+ssh.A-y:r"}},
        {"z:", "/d", {Kind::AsIs, "z:"}},
        {"a b/c://d", "/d", {Kind::AsIs, "a b/c://d"}},  // "://" anywhere names a scheme
        {"localhost:8080/x", "/d", {Kind::Web, "http://localhost:8080/x"}},
        {"1x:y", "/d", {Kind::Web, "http://1x:y"}},
        {"a_b:c", "/d", {Kind::Web, "http://a_b:c"}},
        {"page.htm", "/d", {Kind::File, "/d/page.htm"}},  // beside the current directory
        {" page.htm\n", "/", {Kind::File, "/page.htm"}},
        {"page.htm", "", {Kind::Web, "http://page.htm"}},
        {"other.htm", "/d", {Kind::Web, "http://other.htm"}},
    };
    for (const auto& c : cases) {
        auto exists = [](const std::string& path) { return path == "/d/page.htm" || path == "/page.htm"; };
        auto cwd = [&] { return c.cwd; };
        ResolvedAddress got = ResolveAddress(c.text, exists, cwd);
        EXPECT_EQ(std::tuple(got.kind, got.text), std::tuple(c.expected.kind, c.expected.text)) << c.text;
    }
}

TEST(FolderPathFromFileUrl, DecodesEscapesAndDropsQueryAndFragment) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"file:///C:", "C:"},  // a bare drive
        {"file:///c:/Dir%5Csub", "c:/Dir\\sub"},
        {"file:///tmp/x/?q=1#f", "/tmp/x/"},
        {"file:///tmp/%zz%4", "/tmp/%zz%4"},  // not escapes: kept as written
        {"file:///tmp/%39%61%46%2f", "/tmp/9aF/"},
        {"file:///tmp/a%00b", std::nullopt},  // would name another folder
        {"file://host/share", std::nullopt},
    };
    for (const auto& [url, expected] : cases) EXPECT_EQ(FolderPathFromFileUrl(url), expected) << url;
}

TEST(ErrorPage, SaysWhyInTheLocalesLanguageAndEscapesTheEnginesTexts) {
    using enum LoadFailure;
    const struct {
        PageLanguage language;
        LoadFailure failure;
        std::string message;
    } cases[] = {
        {PageLanguage::Japanese, Refused, std::string(Utf8(u8"サーバーに接続できません (接続を拒否されました)。"))},
        {PageLanguage::English, Refused, "&lt;b&gt; &amp; &quot;it&#39;s&quot;"},
        {PageLanguage::English, UnreadableName, "The name is not readable as text here, so it cannot be opened."},
    };
    for (const auto& c : cases) {
        bool japanese = c.language == PageLanguage::Japanese;
        std::string head = japanese ? std::string(Utf8(u8"ページを表示できません")) : "This page cannot be shown";
        std::string page = ErrorPageHtml(c.language, "http://a/?q=<s>&x=\"y\"", c.failure, "<b> & \"it's\"");
        EXPECT_TRUE(Contains(page, japanese ? "<html lang=\"ja\">" : "<html lang=\"en\">")) << page;
        const std::string body = "<p><code>http://a/?q=&lt;s&gt;&amp;x=&quot;y&quot;</code></p><p>" + c.message;
        EXPECT_TRUE(Contains(page, "<h1>" + head + "</h1>" + body + "</p>")) << page;
        EXPECT_EQ(DoneStatusText(c.language), japanese ? std::string(Utf8(u8"完了")) : "Done");
    }
    // A certificate's page names each reason given, and only those; the server's texts are escaped.
    CertificateFacts facts{"h", "CN=<script>", "CN=i", "2026", "2027", "ab12",
                           certificate::kExpired | certificate::kWrongHost};
    const std::string page = CertificatePageHtml(PageLanguage::English, "https://h/", facts, "poremisu:certificate?t");
    for (const char* part : {"<li>It has expired.</li>", "<li>It is not for this site's name.</li>",
                             "CN=&lt;script&gt;", "ab12", "href=\"poremisu:certificate?t\""}) {
        EXPECT_TRUE(Contains(page, part)) << part;
    }
    EXPECT_FALSE(Contains(page, "self-signed")) << page;
}

// The part file beside the chosen name, the cut-short check, and the amount
// and the failure's reason in the status text, in both languages.
TEST(Download, WritesBesideTheNameJudgesTheLengthAndSaysHowFarItGotInTheLocalesLanguage) {
    const std::set<std::string> taken = {"f.part", "f.part1", "g.part"};
    auto isTaken = [&](const std::string& path) { return taken.contains(path) || path.starts_with("all"); };
    EXPECT_EQ(PartPath("f", isTaken), "f.part2");
    EXPECT_EQ(PartPath("h", isTaken), "h.part");
    EXPECT_EQ(PartPath("all", isTaken), "all.part99");
    const std::tuple<std::uint64_t, std::uint64_t, std::optional<std::string_view>, bool> lengths[] = {
        {10, 9, std::nullopt, true}, {10, 10, std::nullopt, false}, {0, 9, std::nullopt, false},
        {10, 9, "IDENTITY", true}, {10, 9, "gzip", false}};
    for (const auto& [announced, received, coding, cut] : lengths) {
        EXPECT_EQ(CutShort(announced, received, coding), cut) << announced << " " << received;
    }
    EXPECT_FALSE(MayReplace(Standing::Other));
    using enum DownloadStage;
    const std::tuple<DownloadStage, std::uint64_t, std::uint64_t, std::u8string_view, std::string_view> texts[] = {
        {Progress, 3, 4, u8"ダウンロード中 75%: a.zip", "Downloading 75%: a.zip"},
        {Progress, 9, 4, u8"ダウンロード中 100%: a.zip", "Downloading 100%: a.zip"},
        {Progress, 4096, 0, u8"ダウンロード中 4 KB: a.zip", "Downloading 4 KB: a.zip"},
        {Failed, 0, 0, u8"ダウンロードに失敗しました: a.zip (why)", "Download failed: a.zip (why)"},
    };
    for (const auto& [stage, received, total, japanese, english] : texts) {
        EXPECT_EQ(DownloadStatusText(PageLanguage::Japanese, stage, "a.zip", "why", received, total), Utf8(japanese));
        EXPECT_EQ(DownloadStatusText(PageLanguage::English, stage, "a.zip", "why", received, total), english);
    }
}

enum class Bar { Hidden, Shown };
// Each key of the control by its exact modifiers; the keys a text field or a
// page may keep wait for it. The zoom goes in steps and stops at its ends.
TEST(ControlKeys, EachKeyHasItsActionByItsExactModifiersAndTheZoomGoesInSteps) {
    using K = ControlKey;
    using A = ControlAction;
    using namespace modifier;
    const struct {
        K key;
        unsigned modifiers;
        std::optional<A> action;
        PageFirst pageFirst = PageFirst::No;
    } keys[] = {
        {K::F5, kNone, A::Reload},
        {K::F5, kShift, A::ReloadBypassingCache},
        {K::R, kCtrl | kAlt, std::nullopt},
        {K::R, kNone, std::nullopt},  // a letter typed
        {K::Backspace, kNone, A::Back, PageFirst::Yes},
        {K::Left, kAlt, A::Back},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(static_cast<int>(k.key) * 8 + static_cast<int>(k.modifiers));
        auto row = FindControlKey(k.key, k.modifiers);
        ASSERT_EQ(row.has_value(), k.action.has_value());
        if (row) {
            EXPECT_EQ(row->action, *k.action);
            EXPECT_EQ(row->pageFirst, k.pageFirst);
        }
    }
    const std::tuple<double, A, double> zooms[] = {
        {1.0, A::ZoomIn, 1.1}, {1.0, A::ZoomOut, 0.9}, {1.05, A::ZoomOut, 1.0}, {3.0, A::ZoomIn, 3.0},
        {0.3, A::ZoomOut, 0.3}, {2.2, A::ZoomReset, 1.0},
    };
    for (const auto& [from, action, to] : zooms) EXPECT_DOUBLE_EQ(NextZoom(from, action), to) << from;
}

TEST(FormatTitle, HasOneFormForEachStateOfTheStatusBarAndPageNameAndNeverExceeds1023Bytes) {
    const std::string name18 = "123456789012345678", longName = "A very long page title here";
    const std::string huge(10 << 20, 'n');
    const std::size_t room = 1023 - 3 - kWord.size();  // for the name beside " - " and the word
    const struct {
        Bar bar;
        std::string name, extra, expected;
    } cases[] = {
        {Bar::Shown, longName, "12", longName + " - " + kWord},
        {Bar::Hidden, longName, "12", "A very long page t..- " + kWord + " > 12"},
        {Bar::Hidden, longName, "", longName + " - " + kWord + " > "},
        {Bar::Hidden, name18, "x", name18 + " - " + kWord + " > x"},
        // A piece ends at a zero byte, as the formatter's %s would.
        {Bar::Hidden, std::string("Page\0hidden", 11), std::string("7\0 8", 4), "Page - " + kWord + " > 7"},
        // The name gives way, so that later starts still find the window by the word.
        {Bar::Shown, huge, "", huge.substr(0, room) + " - " + kWord},
        {Bar::Hidden, huge, "", huge.substr(0, room - 3) + " - " + kWord + " > "},
        {Bar::Hidden, "Page", huge, "Page - " + kWord + " > " + huge.substr(0, room - 7)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatTitle(c.name, kWord, c.extra, c.bar == Bar::Shown), c.expected) << c.name.substr(0, 40);
    }
}

}  // namespace
}  // namespace poremisu::test
