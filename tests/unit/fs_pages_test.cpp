// The pages on disk: the history and its reset, the listing of a folder, and
// both in the bytes of the target's code page.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "fakes/Rig.h"
#include "ui/CommandTable.h"

namespace poremisu::test {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = U8(u8"<html><head><title>URL履歴</title></head><body>") + "\r\n";

TEST(HistoryLines, AreWrittenByteForByteWithTheirMarkupEscaped) {
    const struct {
        bool link;  // else a tagged line
        std::string a, b, line;
    } cases[] = {
        {true, "http:///x", "skipped", ""},
        {true, "file:///http:///", "C", "<a href=\"file:///http:///\">C</a><br>\r\n"},
        {false, "", "dropped", ""},
        // A line break in any text stays inside its line, so a line is never forged.
        {true, "http://a/\r\nx", "N\n<a href=\"y\">\r",
         "<a href=\"http://a/&#13;&#10;x\">N&#10;&lt;a href=&quot;y&quot;&gt;&#13;</a><br>\r\n"},
        {false, "new\r\n", "T\nnew\thttp://forged/\r", "new&#13;&#10;\tT&#10;new\thttp://forged/&#13;\r\n"},
        // An address that would run in the history page links nowhere, however its scheme is written.
        {true, "javascript:void(new Image().src='x')", "J", "<a href=\"#\">J</a><br>\r\n"},
        {true, " \x01Java\tScript:x", "J", "<a href=\"#\">J</a><br>\r\n"},
        {true, "!javascript:x", "E", "<a href=\"!javascript:x\">E</a><br>\r\n"},  // no blank: a relative name
        {true, "poremisu:home", "P", "<a href=\"#\">P</a><br>\r\n"},
        {true, "HTTPS://a/?j=javascript:", "H", "<a href=\"HTTPS://a/?j=javascript:\">H</a><br>\r\n"},
        {true, "about:home", "S", "<a href=\"about:home\">S</a><br>\r\n"},
        {true, "about:<script>x", "A", "<a href=\"#\">A</a><br>\r\n"},
        {true, "C:\\x", "W", "<a href=\"C:\\x\">W</a><br>\r\n"},
        {true, " :/x", "R", "<a href=\" :/x\">R</a><br>\r\n"},
    };
    Rig rig;
    History history(rig.state, rig.texts, rig.services.files);
    std::string expected;
    for (const auto& c : cases) {
        c.link ? history.AppendHistoryLink(c.a, c.b) : history.AppendHistoryLine(c.a, c.b);
        expected += c.line;
        EXPECT_EQ(rig.History(), expected) << c.a;
    }
}

TEST(HistoryReset, MovesTheLogToTheFirstFreeNumberAndStartsAgainFromTheProgramFolder) {
    const struct {
        std::vector<int> present;  // backups already there
        bool log;
        Answer answer;
        int taken;  // 0: none
        bool blocked = false;
    } cases[] = {
        {{2}, true, Answer::Ok, 1},
        {{1, 2, 3}, true, Answer::Ok, 4},
        {{}, false, Answer::Ok, 0},     // the header alone
        {{}, true, Answer::Cancel, 0},  // nothing changes, not even the current directory
        // A backup name taken by what cannot be opened (a link to nowhere) is
        // taken all the same: a rename to it would fail at every reset.
        {{}, true, Answer::Ok, 2, true},
    };
    for (const auto& c : cases) {
        Rig rig;
        // The log is in the user's folder, not the program's: the backups go beside it.
        fs::create_directories(rig.dir / "data");
        rig.state.historyPath = rig.dir / "data/WindowTitleHis.htm";
        auto backup = [&](int n) { return rig.dir / "data/WindowTitleHis00000" + std::to_string(n) + ".htm"; };
        std::error_code error;
        if (c.blocked && (fs::create_symlink(rig.dir / "nowhere", backup(1), error), error)) continue;
        for (int n : c.present) WriteFile(backup(n), "backup " + std::to_string(n));
        if (c.log) History(rig.state, rig.texts, rig.services.files).AppendHistoryLink("http://old/", "old");
        const std::string old = rig.History();
        TempDir elsewhere;
        fs::current_path(elsewhere.Path());
        rig.host.answer = c.answer;
        rig.window.OnCommand(cmd::kResetHistory);

        const bool reset = c.answer == Answer::Ok;
        EXPECT_EQ(rig.History(), reset ? kHeader : old) << c.taken;
        for (int n = 1; n <= 4; ++n) {
            bool kept = std::count(c.present.begin(), c.present.end(), n);
            EXPECT_EQ(ReadFile(backup(n)), n == c.taken ? old : kept ? "backup " + std::to_string(n) : "");
        }
        EXPECT_EQ(Cwd(), reset ? rig.dir.Path() : elsewhere.Path());
    }
}

const std::string kLongUrl = "http://long.example/" + std::string(100 * 1024, 'u');

TEST(Listing, FavoritesWithoutWinbootdirListTheCurrentFolderAndEachKindOfFileGivesItsOwnLineOrNone) {
    const struct {
        std::string name, content;
        std::string line;  // empty: no line
    } files[] = {
        {"News.URL", Shortcut("http://news.example/"), "<a href=\"http://news.example/\">News</a><br>"},
        {"x.url", "[InternetShortcut]\r\nName=x\r\n", ""},
        {"x.htm.url", "", "<a href=\"x.htm\">x.htm</a><br>"},
        {"link.txt", Shortcut("http://t.example/"), "<a href=\"http://t.example/\">link.txt</a><br>"},
        {"Long.url", Shortcut(kLongUrl), "<a href=\"" + kLongUrl.substr(0, 59999) + "\">Long</a><br>"},
    };
    Rig rig;
    TempDir current;
    std::multiset<std::string> expected{U8(u8"○") + "<a href=\".\">.</a><br>",
                                        "<a href=\"Favorites.htm\">Favorites.htm</a><br>"};
    for (const auto& f : files) {
        WriteFile(current / f.name, f.content);
        if (!f.line.empty()) expected.insert(f.line);
    }
    fs::current_path(current.Path());
    ScopedEnvironment env("winbootdir", std::nullopt);
    // ".." counts though it gives no line.
    EXPECT_EQ(DirectoryLister(rig.state, rig.texts, rig.services.files, rig.services.profiles).WriteFavoritesPage(), std::ssize(files) + 3);
    EXPECT_EQ(PageLines(ReadFile(current / "Favorites.htm")), expected);
}

// The word later starts look for, and the texts only the toolkits show, in
// the bytes of the target's code page; the other texts are checked where they are used.
TEST(Cp932Texts, AreTheShiftJisBytesOfTheWordAndTheDialogsTexts) {
    const Texts texts = Texts::Make(EncodeCp932);
    const std::string word = "\x82\xDB\x82\xEA\x82\xDD\x82\xB7";
    EXPECT_EQ(std::tuple(texts.productWord, texts.urlInputCaption, texts.versionLabel),
              std::tuple(word, std::string("URL\x93\xFC\x97\xCD"), word + "\x81\x40Version"));
}

}  // namespace
}  // namespace poremisu::test
