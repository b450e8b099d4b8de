// Local addresses: a folder is written out as its own "Favorites.htm" and
// shown instead of the engine's view of it; a local file of any other kind
// stays on screen and nothing is written anywhere.

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pages_support.h"

namespace poremisu::e2e {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> SplitCrLf(const std::string& bytes, bool& bareLineFeed) {
    std::vector<std::string> lines;
    bareLineFeed = false;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        if (end == start || bytes[end - 1] != '\r') {
            bareLineFeed = true;
            lines.push_back(bytes.substr(start, end - start));
        } else {
            lines.push_back(bytes.substr(start, end - start - 1));
        }
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));  // an unterminated last line
    return lines;
}

std::vector<fs::path> ListingPagesUnder(const fs::path& root) {
    std::vector<fs::path> found;
    std::error_code error;
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        if (it->path().filename() == "Favorites.htm") found.push_back(it->path());
    }
    return found;
}

class ListingTest : public DrivenProgramTest {
protected:
    ListingTest() : DrivenProgramTest(WindowManager::Off) {}

    // The address is handed to a running window whose titles are being
    // recorded already, so that none of them can pass unseen.
    XWindow OpenWhileRecording(const std::string& argument) {
        XWindow window = StartRecording(WritePage("start.htm", "Start"), "Start");
        if (window != 0) HandOff(argument);
        return window;
    }
};

// How the folder reaches the program: as a path (the program escapes it) or
// as a raw address (the engine escapes it).
enum class Given { Path, RawAddress };

struct FolderCase {
    const char* name;
    const char* folder;
    Given given;
};

class FolderListingTest : public ListingTest, public ::testing::WithParamInterface<FolderCase> {};

// ".", "..", one sub-folder, one shortcut, one htm page, one text file and
// the listing page itself: seven entries, six of them with a line.
TEST_P(FolderListingTest, WritesTheFoldersPageCountsItsEntriesAndShowsIt) {
    const FolderCase& param = GetParam();
    const fs::path folder = PagePath(param.folder);
    const std::string subFolder = "R&D <\"x'>";
    fs::create_directory(folder);
    fs::create_directory(folder / subFolder);
    WriteFile(folder / "News.url", "[InternetShortcut]\r\nURL=http://news.invalid/?a=1&b=<2>\r\n");
    WriteFile(folder / "page.HTM", "<title>Inner</title>\n");
    WriteFile(folder / "notes.txt", "[InternetShortcut]\r\n");

    XWindow window =
        OpenWhileRecording(param.given == Given::Path ? folder.string() : "file://" + folder.string());
    ASSERT_NE(window, 0u);
    TitleRecorder& titles = Titles();

    // The listing is shown in place of the folder, under its own address.
    const std::string pageUrl = FileUrl(folder / "Favorites.htm");
    const std::string pageLink = "<a href=\"" + pageUrl + "\">";
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find(pageLink) != std::string::npos; }))
        << "the listing page was not shown\nhistory:\n"
        << History() << "titles:\n"
        << titles.Describe() << Logs();

    // While the folder was on screen the title carried its entry count.
    const std::string countTail = std::string(kProductWord) + " > 7";
    EXPECT_TRUE(
        WaitUntil(2s, [&] { return titles.Saw([&](const auto& t) { return EndsWith(t, countTail); }); }))
        << "titles:\n"
        << titles.Describe();

    // The folder's own completion was logged under the engine's escaped address.
    std::string history = History();
    const std::string folderLink = "<a href=\"" + FileUrl(folder);
    std::size_t folderAt = history.find(folderLink);
    EXPECT_NE(folderAt, std::string::npos) << history;
    EXPECT_LT(folderAt, history.find(pageLink)) << history;

    bool bare = false;
    std::vector<std::string> lines = SplitCrLf(ReadFile(folder / "Favorites.htm"), bare);
    EXPECT_FALSE(bare) << "a line of the page does not end in CR LF";
    const std::multiset<std::string> expected = {
        "○<a href=\".\">.</a><br>",
        "○<a href=\"..\">..</a><br>",
        "○<a href=\"R&amp;D &lt;&quot;x&#39;&gt;\">R&amp;D &lt;&quot;x&#39;&gt;</a><br>",
        "<a href=\"http://news.invalid/?a=1&amp;b=&lt;2&gt;\">News</a><br>",
        "<a href=\"page.HTM\">page.HTM</a><br>",
        "<a href=\"Favorites.htm\">Favorites.htm</a><br>",
    };
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.end()), expected);

    // The listing's own completion ends there: it is logged once and lists nothing more.
    std::this_thread::sleep_for(1s);
    history = History();
    std::size_t first = history.find(pageLink);
    EXPECT_EQ(history.find(pageLink, first + 1), std::string::npos) << "the listing started over\n"
                                                                    << history;
    EXPECT_EQ(ListingPagesUnder(Folder()), std::vector<fs::path>{folder / "Favorites.htm"});
    EXPECT_FALSE(EndsWith(WindowTitle(X(), window), countTail)) << WindowTitle(X(), window);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderListingTest,
                         ::testing::Values(FolderCase{"blank", "a folder with blanks", Given::Path},
                                           FolderCase{"nihongo", "日本語 フォルダ", Given::RawAddress}),
                         [](const auto& info) { return std::string(info.param.name); });

// A folder's line on the listing leads into that folder, whose own listing
// then takes its place: the user walks the tree page by page, through names
// the page had to escape.
TEST_F(ListingTest, AFolderLinkLeadsToThatFoldersListing) {
    const fs::path top = PagePath("木 top");
    const std::string subName = "R&D <\"x'>";
    fs::create_directories(top / subName);
    XWindow window = OpenWhileRecording(top.string());
    ASSERT_NE(window, 0u);
    const std::string topPage = "<a href=\"" + FileUrl(top / "Favorites.htm") + "\">";
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find(topPage) != std::string::npos; }))
        << History() << Logs();
    ASSERT_TRUE(WaitForTitle(window, BareTitle(""), 10s));

    // The engine escapes the blank and the brackets of the relative name, and leaves the rest.
    const std::string subUrl = FileUrl(top) + "/R&D%20%3C%22x'%3E";
    // Right of the folder mark, on the name.
    constexpr int kNameX = 48;
    std::vector<LinkSeen> links = LinksDownThePage(window, BareTitle(""), kNameX);
    auto sub = std::find_if(links.begin(), links.end(),
                            [&](const LinkSeen& link) { return link.address == subUrl; });
    if (sub == links.end()) {
        std::string seen;
        for (const LinkSeen& link : links) seen += "  " + link.address + "\n";
        FAIL() << "no line leads to " << subUrl << "; seen:\n" << seen << ReadFile(top / "Favorites.htm");
    }
    PointAt(window, kNameX, sub->y);
    Xdotool({"click", "1"});

    // Logged with the bytes that the engine left as they were escaped for the page.
    const std::string subPage = "<a href=\"" + FileUrl(top) + "/R&amp;D%20%3C%22x&#39;%3E/Favorites.htm\">";
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find(subPage) != std::string::npos; }))
        << History() << Titles().Describe();
    EXPECT_TRUE(Titles().Saw([](const std::string& t) {
        return EndsWith(t, std::string(kProductWord) + " > 3");
    })) << Titles().Describe();
    // ".", ".." and the page itself.
    bool bare = false;
    std::vector<std::string> lines = SplitCrLf(ReadFile(top / subName / "Favorites.htm"), bare);
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.end()),
              (std::multiset<std::string>{"○<a href=\".\">.</a><br>", "○<a href=\"..\">..</a><br>",
                                          "<a href=\"Favorites.htm\">Favorites.htm</a><br>"}));
}

// A red dot of one pixel.
constexpr char kPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01"
    "\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0"
    "\x00\x00\x03\x01\x01\x00\xc9\xfe\x92\xef\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";

struct FileCase {
    const char* name;
    const char* fileName;
    std::string content;
};

class LocalFileTest : public ListingTest, public ::testing::WithParamInterface<FileCase> {};

// A local file whose extension is not htm is shown as the engine shows it:
// it is no folder, so no listing is written, neither beside it nor anywhere else.
TEST_P(LocalFileTest, StaysOnScreenAndNoListingIsWritten) {
    const FileCase& param = GetParam();
    const fs::path file = PagePath(param.fileName);
    WriteFile(file, param.content);

    XWindow window = OpenWhileRecording(file.string());
    ASSERT_NE(window, 0u);
    TitleRecorder& titles = Titles();
    const std::string link = "<a href=\"" + FileUrl(file) + "\">";
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find(link) != std::string::npos; }))
        << "the file's completion was not logged\n"
        << History() << Logs();

    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(ListingPagesUnder(Folder()), std::vector<fs::path>{});
    std::string history = History();
    EXPECT_EQ(history.find("Favorites.htm"), std::string::npos) << history;
    EXPECT_EQ(history.find(link, history.find(link) + 1), std::string::npos) << "loaded twice\n" << history;
    // No entry count was ever shown: every title ends at the product word's "> ".
    for (const std::string& title : titles.Titles()) {
        EXPECT_TRUE(EndsWith(title, std::string(kProductWord) + " > ")) << title;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, LocalFileTest,
                         ::testing::Values(FileCase{"text", "notes.txt", "plain text\n"},
                                           FileCase{"html", "page.html",
                                                    "<!DOCTYPE html><title>Longer Extension</title>\n"},
                                           FileCase{"png", "dot.png", std::string(kPng, sizeof kPng - 1)}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace poremisu::e2e
