// The history page: its lines, byte for byte, and its reset with numbered backups.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fakes/Rig.h"

namespace poremisu {
namespace {

using test::FileExists;
using test::ReadFile;
using test::Rig;
using test::WriteFile;

const std::string kHeader = test::U8(u8"<html><head><title>URL履歴</title></head><body>") + "\r\n";

TEST(HistoryLines, AreWrittenByteForByteWithTheirMarkupEscaped) {
    const struct {
        std::string url, name, line;
    } links[] = {
        {"http://a.example/", "A", "<a href=\"http://a.example/\">A</a><br>\r\n"},
        {"http://a.example/", "", "<a href=\"http://a.example/\"></a><br>\r\n"},
        {"http:///x", "skipped", ""},
        {"HTTP:///x", "B", "<a href=\"HTTP:///x\">B</a><br>\r\n"},
        {"file:///http:///", "C", "<a href=\"file:///http:///\">C</a><br>\r\n"},
        {"http://a/?q=1&r=<2>\"'", "T&C <b>\"'",
         "<a href=\"http://a/?q=1&amp;r=&lt;2&gt;&quot;&#39;\">T&amp;C &lt;b&gt;&quot;&#39;</a><br>\r\n"},
        {"http://a/", "\x82\xA0\x83\x5C", "<a href=\"http://a/\">\x82\xA0\x83\x5C</a><br>\r\n"},
    };
    const struct {
        std::string tag, text, line;
    } tagged[] = {
        {"new", "http://l.example/", "new\thttp://l.example/\r\n"},
        {"new", "", "new\t\r\n"},
        {"", "dropped", ""},
        {"(IE)", "<b>\"A\" & 'B'</b>", "(IE)\t&lt;b&gt;&quot;A&quot; &amp; &#39;B&#39;&lt;/b&gt;\r\n"},
    };
    Rig rig;
    History& history = rig.window.HistoryLog();
    std::string expected;
    for (const auto& c : links) {
        history.AppendHistoryLink(c.url, c.name);
        expected += c.line;
        EXPECT_EQ(rig.History(), expected) << c.url;
    }
    for (const auto& c : tagged) {
        history.AppendHistoryLine(c.tag, c.text);
        expected += c.line;
        EXPECT_EQ(rig.History(), expected) << c.tag;
    }
}

TEST(HistoryLines, NeitherAnEmptyTagNorASkippedAddressCreatesTheFile) {
    Rig rig;
    rig.window.HistoryLog().AppendHistoryLine("", "x");
    rig.window.HistoryLog().AppendHistoryLink("http:///", "x");
    EXPECT_FALSE(FileExists(rig.state.historyPath));
}

std::string Backup(Rig& rig, int n) {
    char name[40];
    std::snprintf(name, sizeof name, "WindowTitleHis%06d.htm", n);
    return rig.dir / name;
}

TEST(HistoryReset, MovesTheLogToTheFirstFreeNumberAndStartsWithTheHeader) {
    const struct {
        std::vector<int> present;
        int taken;
    } cases[] = {{{}, 1}, {{1, 2, 3}, 4}, {{2}, 1}, {{1, 3}, 2}};
    for (const auto& c : cases) {
        Rig rig;
        for (int n : c.present) WriteFile(Backup(rig, n), "backup " + std::to_string(n));
        rig.window.HistoryLog().AppendHistoryLink("http://old/", "old");
        const std::string old = rig.History();
        test::TempDir elsewhere;
        std::filesystem::current_path(elsewhere.Path());
        rig.host.answers = {Answer::Ok};

        rig.window.OnCommand(32778);
        EXPECT_EQ(ReadFile(Backup(rig, c.taken)), old) << c.taken;
        for (int n : c.present) EXPECT_EQ(ReadFile(Backup(rig, n)), "backup " + std::to_string(n));
        EXPECT_EQ(rig.History(), kHeader);
        EXPECT_EQ(test::Cwd(), rig.dir.Path());

        rig.window.HistoryLog().AppendHistoryLine("new", "x");
        EXPECT_EQ(rig.History(), kHeader + "new\tx\r\n");
    }
}

TEST(HistoryReset, CancelChangesNothingNotEvenTheCurrentDirectory) {
    Rig rig;
    rig.window.HistoryLog().AppendHistoryLink("http://old/", "old");
    const std::string old = rig.History();
    test::TempDir elsewhere;
    std::filesystem::current_path(elsewhere.Path());
    rig.host.answers = {Answer::Cancel};
    rig.window.OnCommand(32778);
    EXPECT_EQ(rig.History(), old);
    EXPECT_FALSE(FileExists(Backup(rig, 1)));
    EXPECT_EQ(test::Cwd(), elsewhere.Path());
}

TEST(HistoryReset, WithoutALogStartsOneWithTheHeaderAlone) {
    Rig rig;
    rig.host.answers = {Answer::Ok};
    rig.window.OnCommand(32778);
    EXPECT_EQ(rig.History(), kHeader);
    EXPECT_FALSE(FileExists(Backup(rig, 1)));
}

TEST(HistoryReset, KeepsTheLogWhenItCannotBeMovedAside) {
    Rig rig;
    rig.window.HistoryLog().AppendHistoryLink("http://old/", "old");
    const std::string old = rig.History();
    // A backup name that exists but cannot be opened counts as free, and the
    // rename to it then fails.
    std::error_code error;
    std::filesystem::create_symlink(rig.dir / "nowhere", Backup(rig, 1), error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    rig.host.answers = {Answer::Ok};
    rig.window.OnCommand(32778);
    EXPECT_EQ(rig.History(), old);
    EXPECT_TRUE(std::filesystem::is_symlink(Backup(rig, 1)));
}

}  // namespace
}  // namespace poremisu
