#include <gtest/gtest.h>

#include "app/Text.h"
#include "platform/posix/PosixCodePage.h"

namespace poremisu {
namespace {

struct ConvertCase {
    const char* name;
    std::string utf8;
    std::string charset;
    std::size_t maxBytes;
    std::string expected;
};

void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.name; }

class CodePageTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(CodePageTest, ConvertsWholeCharactersWithinTheBound) {
    const ConvertCase& c = GetParam();
    EXPECT_EQ(Utf8ToCharset(c.utf8, c.charset, c.maxBytes), c.expected);
}

const std::string kWord(Utf8(u8"ぽれみす"));

INSTANTIATE_TEST_SUITE_P(
    Cases, CodePageTest,
    ::testing::Values(ConvertCase{"Utf8Identity", kWord + "\xFF", "UTF-8", 100, kWord + "\xFF"},
                      ConvertCase{"Utf8SpelledOtherwise", kWord, "utf8", 100, kWord},
                      ConvertCase{"Utf8CutBeforeAPartCharacter", kWord, "UTF-8", 5, kWord.substr(0, 3)},
                      ConvertCase{"Utf8CutOnABoundary", kWord, "UTF-8", 6, kWord.substr(0, 6)},
                      ConvertCase{"Utf8StrayContinuationsCutByBytes", "a\x80\x80\x80\x80", "UTF-8", 3,
                                  "a\x80\x80"},
                      ConvertCase{"ShiftJis", kWord, "CP932", 100, "\x82\xDB\x82\xEA\x82\xDD\x82\xB7"},
                      ConvertCase{"ShiftJisCut", kWord, "CP932", 5, "\x82\xDB\x82\xEA"},
                      ConvertCase{"EucJp", kWord, "EUC-JP", 100, "\xA4\xDD\xA4\xEC\xA4\xDF\xA4\xB9"},
                      ConvertCase{"AsciiQuestionMarks", "a" + kWord + "b", "ANSI_X3.4-1968", 100, "a????b"},
                      ConvertCase{"InvalidBytesQuestionMarks", "x\xFF\xC3y", "CP932", 100, "x??y"},
                      ConvertCase{"UnconvertibleAtTheBound", "ab\xF0\x9F\x98\x80", "CP932", 3, "ab?"},
                      ConvertCase{"Latin1", std::string(Utf8(u8"café")), "ISO-8859-1", 100, "caf\xE9"},
                      ConvertCase{"UnknownCharsetKeepsAscii", "ab" + kWord, "NO-SUCH-CHARSET", 100, "ab????"},
                      ConvertCase{"ZeroBound", kWord, "CP932", 0, ""}),
    [](const ::testing::TestParamInfo<ConvertCase>& info) { return std::string(info.param.name); });

TEST(CodePage, Latin1ToUtf8) { EXPECT_EQ(Latin1ToUtf8("caf\xE9 \xFF\x7F"), Utf8(u8"café ÿ\x7F")); }

}  // namespace
}  // namespace poremisu
