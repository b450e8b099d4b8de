// The listing page of a folder, and the shortcut files it reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "fakes/Rig.h"
#include "pages/Shortcut.h"

namespace poremisu {
namespace {

using test::ReadFile;
using test::Rig;
using test::ScopedEnvironment;
using test::TempDir;
using test::WriteFile;

using Lines = std::vector<std::string>;

const std::string kMark = test::U8(u8"○");
const std::string kSelf = "<a href=\"Favorites.htm\">Favorites.htm</a><br>";

std::string Shortcut(std::string_view url) { return "[InternetShortcut]\r\nURL=" + std::string(url) + "\r\n"; }
std::string Folder(const std::string& name) { return kMark + "<a href=\"" + name + "\">" + name + "</a><br>"; }

// The page's lines, sorted since folders list in no fixed order. Every line
// must end in CR LF.
Lines PageLines(const std::string& page) {
    Lines lines;
    std::size_t begin = 0;
    while (begin < page.size()) {
        std::size_t end = page.find("\r\n", begin);
        EXPECT_NE(end, std::string::npos) << "unterminated line";
        if (end == std::string::npos) end = page.size();
        lines.push_back(page.substr(begin, end - begin));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos) << lines.back();
        begin = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(Listing, AFolderOfSevenEntries) {
    Rig rig;
    std::string folder = rig.dir / "list";
    std::filesystem::create_directories(folder + "/sub1");
    std::filesystem::create_directories(folder + "/sub2");
    WriteFile(folder + "/News.url", Shortcut("http://news.example/"));
    WriteFile(folder + "/notes.txt", "text");
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder), 7);
    EXPECT_EQ(PageLines(ReadFile(folder + "/Favorites.htm")),
              Sorted({Folder("."), Folder(".."), Folder("sub1"), Folder("sub2"),
                      "<a href=\"http://news.example/\">News</a><br>", kSelf}));
    EXPECT_EQ(test::Cwd(), folder);
}

TEST(Listing, DefaultFavoritesComeFromWinbootdirAndLeaveOutTheParent) {
    Rig rig;
    std::filesystem::create_directories(rig.dir / "win/favorites/Links");
    ScopedEnvironment env("winbootdir", rig.dir / "win");
    EXPECT_EQ(rig.window.Lister().WriteFavoritesPage(), 4);  // ".." counts though it gives no line
    EXPECT_EQ(PageLines(ReadFile(rig.dir / "win/favorites/Favorites.htm")),
              Sorted({Folder("."), Folder("Links"), kSelf}));
}

TEST(Listing, WithoutWinbootdirTheCurrentFolderIsListed) {
    Rig rig;
    TempDir current;
    WriteFile(current / "a.htm", "");
    std::filesystem::current_path(current.Path());
    ScopedEnvironment env("winbootdir", std::nullopt);
    EXPECT_EQ(rig.window.Lister().WriteFavoritesPage(), 4);
    EXPECT_EQ(test::Cwd(), current.Path());
    EXPECT_EQ(PageLines(ReadFile(current / "Favorites.htm")),
              Sorted({Folder("."), "<a href=\"a.htm\">a.htm</a><br>", kSelf}));
}

TEST(Listing, EachKindOfFileGivesItsOwnLineOrNone) {
    const struct {
        std::string name;
        std::string content;  // "/" makes a folder
        std::string line;     // empty: no line
    } cases[] = {
        {"News.url", Shortcut("http://news.example/"), "<a href=\"http://news.example/\">News</a><br>"},
        {"News.URL", Shortcut("http://news.example/"), "<a href=\"http://news.example/\">News</a><br>"},
        {"x.url", "[InternetShortcut]\r\nName=x\r\n", ""},
        {"x.htm.url", "", "<a href=\"x.htm\">x.htm</a><br>"},
        {"x.htm.url", Shortcut("http://x/"), "<a href=\"http://x/\">x.htm</a><br>"},
        {"page.HTM", "<p>", "<a href=\"page.HTM\">page.HTM</a><br>"},
        {"page.html", "<p>", ""},
        {"notes.txt", "text", ""},
        {"desktop.ini", "[.ShellClassInfo]\r\nIconResource=x.ico\r\n", ""},
        {"link.txt", Shortcut("http://t.example/"), "<a href=\"http://t.example/\">link.txt</a><br>"},
        {"s.url", Shortcut("http://x/?a=1&b=\"2\""), "<a href=\"http://x/?a=1&amp;b=&quot;2&quot;\">s</a><br>"},
        {"a&b'c.htm", "", "<a href=\"a&amp;b&#39;c.htm\">a&amp;b&#39;c.htm</a><br>"},
        {"q\"<x>.htm", "", "<a href=\"q&quot;&lt;x&gt;.htm\">q&quot;&lt;x&gt;.htm</a><br>"},
        {"<d&>", "/", kMark + "<a href=\"&lt;d&amp;&gt;\">&lt;d&amp;&gt;</a><br>"},
    };
    for (const auto& c : cases) {
        Rig rig;
        std::string folder = rig.dir / "f";
        std::filesystem::create_directory(folder);
        std::error_code error;
        if (c.content == "/") {
            std::filesystem::create_directory(folder + "/" + c.name, error);
        } else if (!WriteFile(folder + "/" + c.name, c.content)) {
            error = std::make_error_code(std::errc::invalid_argument);
        }
        if (error) continue;  // a name this file system does not take
        EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder), 4) << c.name;
        Lines expected = {Folder("."), Folder(".."), kSelf};
        if (!c.line.empty()) expected.push_back(c.line);
        EXPECT_EQ(PageLines(ReadFile(folder + "/Favorites.htm")), Sorted(expected)) << c.name;
    }
}

TEST(Listing, WritesNothingWhenThePageOrTheFolderTextIsUnusable) {
    Rig rig;
    TempDir current;
    std::filesystem::current_path(current.Path());

    std::string blocked = rig.dir / "blocked";
    std::filesystem::create_directories(blocked + "/Favorites.htm");  // the page cannot be opened
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", blocked), 0);

    std::filesystem::current_path(current.Path());
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", "/" + std::string(999, 'd')), 0);
    EXPECT_EQ(test::Cwd(), current.Path());
    EXPECT_FALSE(test::FileExists(current / "Favorites.htm"));

    // A folder that cannot be entered leaves the page in the current one.
    EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", rig.dir / "missing"), 3);
    EXPECT_EQ(PageLines(ReadFile(current / "Favorites.htm")), Sorted({Folder("."), Folder(".."), kSelf}));
}

TEST(ReadShortcutUrl, ReadsTheUrlOfAnyFileByItsPathAsGiven) {
    Rig rig;
    const std::string longUrl = "http://" + std::string(70000, 'u');
    WriteFile(rig.dir / "a.url", Shortcut("http://a/"));
    WriteFile(rig.dir / "long.url", Shortcut(longUrl));
    WriteFile(rig.dir / "doc.txt", "[Other]\r\nURL=no\r\n[internetshortcut]\r\nurl = \"http://t/\"\r\n");
    std::filesystem::current_path(rig.dir.Path());
    const struct {
        std::string path, url;
    } cases[] = {
        {rig.dir / "a.url", "http://a/"},
        {"a.url", "http://a/"},  // relative to the current directory
        {"\"" + (rig.dir / "a.url") + "\"", ""},
        {rig.dir / "missing.url", ""},
        {rig.dir / "long.url", longUrl.substr(0, 59999)},
        {rig.dir / "doc.txt", "http://t/"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadShortcutUrl(*rig.files, *rig.profiles, c.path), c.url) << c.path.substr(0, 80);
    }
}

}  // namespace
}  // namespace poremisu
