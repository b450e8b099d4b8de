// The fixed texts, titles and pages in the bytes of the target's code page.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fakes/Rig.h"

namespace poremisu {
namespace {

using test::EncodeCp932;
using test::ReadFile;
using test::Rig;

const std::string kWord = "\x82\xDB\x82\xEA\x82\xDD\x82\xB7";  // ぽれみす
const std::string kA = "\x82\xA0";                             // あ

TEST(Cp932Texts, AreTheShiftJisBytesOfEachFixedText) {
    const Texts texts = Texts::Make(EncodeCp932);
    const struct {
        const std::string& actual;
        std::string expected;
    } cases[] = {
        {texts.productWord, kWord},
        {texts.folderMark, "\x81\x9B"},
        {texts.historyHeader, "<html><head><title>URL\x97\x9A\x97\xF0</title></head><body>"},
        {texts.resetQuestion, "\x97\x9A\x97\xF0\x82\xF0\x8F\x89\x8A\xFA\x89\xBB\x82\xB7\x82\xE9"},
        {texts.pathCaption, "\x83\x70\x83\x58"},
        {texts.urlInputCaption, "URL\x93\xFC\x97\xCD"},
        {texts.versionLabel, kWord + "\x81\x40Version"},
        {texts.sysMenuUrlInput, "URL\x93\xFC\x97\xCD (&U)..."},
        {texts.sysMenuMenuSet, "MENU SET(&V)"},
        {texts.sysMenuHelp, "HELP(&H)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
    EXPECT_EQ(texts.productWord.size(), 8u);
}

TEST(Cp932Title, ShortFormCutsBetweenTheBytesOfACharacter) {
    const std::string nine = kA + kA + kA + kA + kA + kA + kA + kA + kA;
    const struct {
        std::string name, extra, expected;
    } cases[] = {
        // 19 bytes: byte 18 is the first byte of the ninth character.
        {"a" + kA + kA + kA + kA + kA + kA + kA + kA + kA, "7",
         "a" + kA + kA + kA + kA + kA + kA + kA + kA + "\x82" + "..- " + kWord + " > 7"},
        {nine, "7", nine + " - " + kWord + " > 7"},
        {nine + "b", "", nine + "b - " + kWord + " > "},
    };
    for (const auto& c : cases) {
        Rig rig(EncodeCp932);
        rig.browser.locationName = c.name;
        rig.window.Title().ComposeTitle(c.extra);
        EXPECT_EQ(rig.host.titles.back(), c.expected);
    }
    EXPECT_EQ(cases[0].expected.find(" > "), 30u);  // the short form's prefix is always 30 bytes
}

TEST(Cp932Pages, ListingAndHistoryCarryTheShiftJisBytes) {
    Rig rig(EncodeCp932);
    std::string folder = rig.dir / "f";
    std::filesystem::create_directories(folder + "/sub");
    rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder);
    EXPECT_NE(("\r\n" + ReadFile(folder + "/Favorites.htm")).find("\r\n\x81\x9B<a href=\"sub\">sub</a><br>\r\n"),
              std::string::npos);

    rig.host.answers = {Answer::Ok};
    rig.window.HistoryLog().ClearHistory(rig.host);
    rig.window.HistoryLog().AppendHistoryLink("http://a/", kA + "\x83\x5C");
    EXPECT_EQ(rig.History(), "<html><head><title>URL\x97\x9A\x97\xF0</title></head><body>\r\n"
                             "<a href=\"http://a/\">" + kA + "\x83\x5C</a><br>\r\n");
    EXPECT_EQ(rig.host.boxes.at(0).caption, kWord);
}

}  // namespace
}  // namespace poremisu
