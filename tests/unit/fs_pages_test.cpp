// The pages on disk: the history and its reset, the listing of a folder, and
// both in the bytes of the target's code page.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu {
namespace {

using test::EncodeCp932;
using test::ReadFile;
using test::Rig;
using test::Shortcut;
using test::WriteFile;
namespace fs = std::filesystem;

const std::string kHeader = test::U8(u8"<html><head><title>URL履歴</title></head><body>") + "\r\n";

TEST(HistoryLines, AreWrittenByteForByteWithTheirMarkupEscaped) {
    const struct {
        bool link;  // else a tagged line
        std::string a, b, line;
    } cases[] = {
        {true, "http://a.example/", "A", "<a href=\"http://a.example/\">A</a><br>\r\n"},
        {true, "http:///x", "skipped", ""},
        {true, "HTTP:///x", "B", "<a href=\"HTTP:///x\">B</a><br>\r\n"},
        {true, "file:///http:///", "C", "<a href=\"file:///http:///\">C</a><br>\r\n"},
        {true, "http://a/?q=1&r=<2>\"'", "T&C <b>\"'",
         "<a href=\"http://a/?q=1&amp;r=&lt;2&gt;&quot;&#39;\">T&amp;C &lt;b&gt;&quot;&#39;</a><br>\r\n"},
        {true, "http://a/", "\x82\xA0\x83\x5C", "<a href=\"http://a/\">\x82\xA0\x83\x5C</a><br>\r\n"},
        {false, "new", "http://l.example/", "new\thttp://l.example/\r\n"},
        {false, "new", "", "new\t\r\n"},
        {false, "", "dropped", ""},
        {false, "(IE)", "<b>\"A\" & 'B'</b>", "(IE)\t&lt;b&gt;&quot;A&quot; &amp; &#39;B&#39;&lt;/b&gt;\r\n"},
        // A line break in any text stays inside its line, so a line is never forged.
        {true, "http://a/\r\nx", "N\n<a href=\"y\">\r",
         "<a href=\"http://a/&#13;&#10;x\">N&#10;&lt;a href=&quot;y&quot;&gt;&#13;</a><br>\r\n"},
        {false, "new\r\n", "T\nnew\thttp://forged/\r", "new&#13;&#10;\tT&#10;new\thttp://forged/&#13;\r\n"},
    };
    Rig rig;
    History& history = rig.window.HistoryLog();
    // Neither an empty tag nor a skipped address creates the file.
    history.AppendHistoryLine("", "x");
    history.AppendHistoryLink("http:///", "x");
    EXPECT_FALSE(test::FileExists(rig.state.historyPath));
    std::string expected;
    for (const auto& c : cases) {
        c.link ? history.AppendHistoryLink(c.a, c.b) : history.AppendHistoryLine(c.a, c.b);
        expected += c.line;
        EXPECT_EQ(rig.History(), expected) << c.a;
    }
}

// Beside the log, wherever it is.
std::string Backup(Rig& rig, int n) {
    char name[40];
    std::snprintf(name, sizeof name, "WindowTitleHis%06d.htm", n);
    return (fs::path(rig.state.historyPath).parent_path() / name).string();
}

TEST(HistoryReset, MovesTheLogToTheFirstFreeNumberAndStartsAgainFromTheProgramFolder) {
    const struct {
        std::vector<int> present;
        bool log;
        Answer answer;
        int taken;  // 0: none
        bool blocked = false;
        bool userFolder = false;  // the log is in the user's folder, not the program's
    } cases[] = {
        {{}, true, Answer::Ok, 1},    {{1, 2, 3}, true, Answer::Ok, 4}, {{2}, true, Answer::Ok, 1},
        {{}, false, Answer::Ok, 0},     // the header alone
        {{}, true, Answer::Cancel, 0},  // nothing changes, not even the current directory
        // A backup name that exists but cannot be opened counts as free; the
        // rename to it fails, and the log keeps its lines.
        {{}, true, Answer::Ok, 0, true},
        {{1}, true, Answer::Ok, 2, false, true},
    };
    for (const auto& c : cases) {
        Rig rig;
        if (c.userFolder) {
            fs::create_directories(rig.dir / "data");
            rig.state.historyPath = rig.dir / "data/WindowTitleHis.htm";
        }
        std::error_code error;
        if (c.blocked && (fs::create_symlink(rig.dir / "nowhere", Backup(rig, 1), error), error)) continue;
        for (int n : c.present) WriteFile(Backup(rig, n), "backup " + std::to_string(n));
        if (c.log) rig.window.HistoryLog().AppendHistoryLink("http://old/", "old");
        const std::string old = rig.History();
        test::TempDir elsewhere;
        fs::current_path(elsewhere.Path());
        rig.host.answers = {c.answer};
        rig.window.OnCommand(cmd::kResetHistory);

        const bool reset = c.answer == Answer::Ok;
        EXPECT_EQ(rig.History(), reset && !c.blocked ? kHeader : old) << c.taken;
        for (int n = 1; n <= 4; ++n) {
            bool kept = std::count(c.present.begin(), c.present.end(), n);
            EXPECT_EQ(ReadFile(Backup(rig, n)), n == c.taken ? old : kept ? "backup " + std::to_string(n) : "");
        }
        EXPECT_EQ(test::Cwd(), reset ? rig.dir.Path() : elsewhere.Path());
    }
}

using Lines = std::multiset<std::string>;

const std::string kSelf = "<a href=\"Favorites.htm\">Favorites.htm</a><br>";

std::string Folder(const std::string& name) {
    return test::U8(u8"○") + "<a href=\"" + name + "\">" + name + "</a><br>";
}

// The page's lines, in no fixed order since folders list in none. Bytes after
// the last CR LF count as a line of their own.
Lines PageLines(const std::string& path) {
    const std::string page = ReadFile(path);
    Lines lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = page.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.insert(page.substr(begin, end - begin));
    }
    if (begin < page.size()) lines.insert(page.substr(begin));
    return lines;
}

TEST(Listing, FavoritesComeFromWinbootdirWithoutTheParentElseTheCurrentFolder) {
    Rig rig;
    fs::create_directories(rig.dir / "win/favorites/Links");
    {
        test::ScopedEnvironment env("winbootdir", rig.dir / "win");
        EXPECT_EQ(rig.window.Lister().WriteFavoritesPage(), 4);  // ".." counts though it gives no line
        EXPECT_EQ(PageLines(rig.dir / "win/favorites/Favorites.htm"),
                  (Lines{Folder("."), Folder("Links"), kSelf}));
    }
    test::TempDir current;
    WriteFile(current / "a.htm", "");
    fs::current_path(current.Path());
    test::ScopedEnvironment env("winbootdir", std::nullopt);
    EXPECT_EQ(rig.window.Lister().WriteFavoritesPage(), 4);
    EXPECT_EQ(test::Cwd(), current.Path());
    EXPECT_EQ(PageLines(current / "Favorites.htm"),
              (Lines{Folder("."), "<a href=\"a.htm\">a.htm</a><br>", kSelf}));
}

const std::string kLongUrl = "http://long.example/" + std::string(100 * 1024, 'u');

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
        {"notes.txt", "text", ""},
        {"link.txt", Shortcut("http://t.example/"), "<a href=\"http://t.example/\">link.txt</a><br>"},
        {"s.url", Shortcut("http://x/?a=1&b=\"2\""), "<a href=\"http://x/?a=1&amp;b=&quot;2&quot;\">s</a><br>"},
        {"a&b'c.htm", "", "<a href=\"a&amp;b&#39;c.htm\">a&amp;b&#39;c.htm</a><br>"},
        {"<d&>", "/", Folder("&lt;d&amp;&gt;")},
        {"Long.url", Shortcut(kLongUrl), "<a href=\"" + kLongUrl.substr(0, 59999) + "\">Long</a><br>"},
    };
    for (const auto& c : cases) {
        Rig rig;
        std::string folder = rig.dir / "f";
        fs::create_directory(folder);
        std::error_code error;
        std::string path = folder + "/" + c.name;
        if (!(c.content == "/" ? fs::create_directory(path, error) : WriteFile(path, c.content))) {
            continue;  // a name this file system does not take
        }
        EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder), 4) << c.name;
        Lines expected = {Folder("."), Folder(".."), kSelf};
        if (!c.line.empty()) expected.insert(c.line);
        EXPECT_EQ(PageLines(folder + "/Favorites.htm"), expected) << c.name;
    }
}

// In CP932: ぽれみす and 履歴.
const std::string kSjWord = "\x82\xDB\x82\xEA\x82\xDD\x82\xB7", kSjHistory = "\x97\x9A\x97\xF0";

TEST(Cp932Texts, AreTheShiftJisBytesOfEachFixedText) {
    const Texts texts = Texts::Make(EncodeCp932);
    const std::string reset = kSjHistory + "\x82\xF0\x8F\x89\x8A\xFA\x89\xBB\x82\xB7\x82\xE9";
    using Strings = std::vector<std::string>;
    EXPECT_EQ((Strings{texts.productWord, texts.folderMark, texts.historyHeader, texts.resetQuestion,
                       texts.pathCaption, texts.urlInputCaption, texts.versionLabel, texts.sysMenuUrlInput,
                       texts.sysMenuMenuSet, texts.sysMenuHelp}),
              (Strings{kSjWord, "\x81\x9B", "<html><head><title>URL" + kSjHistory + "</title></head><body>",
                       reset, "\x83\x70\x83\x58", "URL\x93\xFC\x97\xCD", kSjWord + "\x81\x40Version",
                       "URL\x93\xFC\x97\xCD (&U)...", "MENU SET(&V)", "HELP(&H)"}));
}

}  // namespace
}  // namespace poremisu
