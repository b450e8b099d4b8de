// Settings-file text: the streaming reader, the rewriter and the placement value.

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "app/Profile.h"

namespace poremisu {
namespace {

// The value as the reader finds it when the text arrives in pieces of `chunk`
// bytes (0: all at once).
std::optional<std::string> Find(std::string_view text, std::size_t chunk, std::size_t count = 60000,
                                std::string_view section = "setting", std::string_view key = "newurl") {
    ProfileValueFinder finder(section, key, count);
    if (chunk == 0) chunk = text.size() + 1;
    for (std::size_t at = 0; at < text.size(); at += chunk) {
        if (finder.Feed(text.substr(at, chunk))) break;
    }
    finder.Finish();
    return finder.Result();
}

struct FindCase {
    std::string name;
    std::string text;
    std::optional<std::string> expected;
    std::size_t count = 60000;
};

TEST(ProfileValueFinder, FindsTheSameValueWhateverThePiecesTheTextComesIn) {
    const std::string big(70000, 'x');
    const std::string cut(59999, 'x');
    const FindCase cases[] = {
        {"plain", "[setting]\r\nnewurl=http://a/\r\nwin=1\r\n", "http://a/"},
        {"no line feed at the end", "[setting]\nnewurl=abc", "abc"},
        {"any letter case", "[SETTING]\nNewURL=abc\n", "abc"},
        {"first key wins", "[setting]\nnewurl=a\nnewurl=b\n", "a"},
        {"first section of the name only", "[setting]\nx=1\n[setting]\nnewurl=b\n", std::nullopt},
        {"other section ignored", "[other]\nnewurl=x\n[setting]\nnewurl=y\n", "y"},
        {"blanks trimmed", "  [ setting ]  \n  newurl  =  a b \t \r\n", "a b"},
        {"double quotes removed", "[setting]\nnewurl=\"C:\\a b\\x.url\"\n", "C:\\a b\\x.url"},
        {"single quotes removed", "[setting]\nnewurl='a'\n", "a"},
        {"blanks inside quotes kept", "[setting]\nnewurl= \" a \" \n", " a "},
        {"inner quotes kept", "[setting]\nnewurl=\"a\"b\"\n", "a\"b"},
        {"a single quote left alone", "[setting]\nnewurl=\"\n", "\""},
        {"a leading quote left alone", "[setting]\nnewurl=\"abc\n", "\"abc"},
        {"mixed quotes left alone", "[setting]\nnewurl=\"a'\n", "\"a'"},
        {"empty quotes", "[setting]\nnewurl=\"\"\n", ""},
        {"equals sign in the value", "[setting]\nnewurl=a=b\n", "a=b"},
        {"empty value", "[setting]\nnewurl=\nwin=1\n", ""},
        {"key without equals sign", "[setting]\nnewurl\nwin=1\n", ""},
        {"commented key", "[setting]\n;newurl=x\nnewurl=y\n", "y"},
        {"key outside any section", "newurl=x\n[setting]\n", std::nullopt},
        {"missing key", "[setting]\nwin=1\n", std::nullopt},
        {"missing section", "[other]\nnewurl=x\n", std::nullopt},
        {"empty file", "", std::nullopt},
        {"byte-order mark", "\xEF\xBB\xBF[setting]\nnewurl=a\n", "a"},
        {"half a byte-order mark", "\xEF\xBB[setting]\nnewurl=a\n", std::nullopt},
        {"long value cut", "[setting]\nnewurl=" + big + "\n", cut},
        {"long quoted value cut", "[setting]\nnewurl=\"" + big + "\"\n", cut},
        {"quoted value of the bound", "[setting]\nnewurl=\"" + cut + "\"\n", cut},
        {"quoted value one over", "[setting]\nnewurl=\"" + cut + "x\"\n", cut},
        {"small count", "[setting]\nnewurl=abcdef\n", "abc", 4},
        {"small count quoted", "[setting]\nnewurl='abcdef'\n", "abc", 4},
        {"count of one", "[setting]\nnewurl=abc\n", "", 1},
    };
    for (const FindCase& c : cases) {
        for (std::size_t chunk : {0, 1, 2, 7}) {
            EXPECT_EQ(Find(c.text, chunk, c.count), c.expected) << c.name << ", pieces of " << chunk;
        }
    }
}

TEST(ProfileValueFinder, StopsTakingInputOnceTheValueIsKnown) {
    ProfileValueFinder finder("setting", "newurl", 60000);
    EXPECT_FALSE(finder.Feed("[setting]\nnewurl=a"));
    EXPECT_TRUE(finder.Feed("\nnewurl=b\n"));
    EXPECT_TRUE(finder.Feed("[setting]\nnewurl=c\n"));
    finder.Finish();
    EXPECT_EQ(finder.Result(), "a");
}

TEST(UpdateProfileText, ChangesOneKeyAndKeepsEveryOtherByte) {
    const struct {
        std::string name, text, value, expected;
    } cases[] = {
        {"new file", "", "v", "[setting]\r\nnewurl=v\r\n"},
        {"replace", "[setting]\r\nnewurl=old\r\nwin=1\r\n", "v", "[setting]\r\nnewurl=v\r\nwin=1\r\n"},
        {"replace keeps the key's spelling", "[Setting]\r\n  NEWURL = old\r\n", "v", "[Setting]\r\nNEWURL=v\r\n"},
        {"other lines byte for byte", "; note \n[setting]\n  win = 1 \nnewurl=old\n[x]\ny\n", "v",
         "; note \n[setting]\n  win = 1 \nnewurl=v\r\n[x]\ny\n"},
        {"add to the section after its last line", "[setting]\r\nwin=1\r\n\r\n[other]\r\nx=1\r\n", "v",
         "[setting]\r\nwin=1\r\nnewurl=v\r\n\r\n[other]\r\nx=1\r\n"},
        {"add to a last line without line feed", "[setting]\r\nwin=1", "v", "[setting]\r\nwin=1\r\nnewurl=v\r\n"},
        {"add to the first section of the name", "[setting]\r\na=1\r\n[setting]\r\nnewurl=x\r\n", "v",
         "[setting]\r\na=1\r\nnewurl=v\r\n[setting]\r\nnewurl=x\r\n"},
        {"add a section", "[other]\r\nx=1", "v", "[other]\r\nx=1\r\n[setting]\r\nnewurl=v\r\n"},
        {"quotes kept", "", "\"C:\\a b\"", "[setting]\r\nnewurl=\"C:\\a b\"\r\n"},
        {"cut at CR LF", "", "a\r\nb", "[setting]\r\nnewurl=a\r\n"},
        {"cut at LF", "", "a\n[x]\nnewurl=b", "[setting]\r\nnewurl=a\r\n"},
        {"cut at CR", "", "a\rb", "[setting]\r\nnewurl=a\r\n"},
        {"empty value", "[setting]\r\nnewurl=old\r\n", "", "[setting]\r\nnewurl=\r\n"},
    };
    for (const auto& c : cases) {
        std::string updated = UpdateProfileText(c.text, "setting", "newurl", c.value);
        EXPECT_EQ(updated, c.expected) << c.name;
        // What was written reads back as the value, up to its first line break.
        std::string written = c.value.substr(0, c.value.find_first_of("\r\n"));
        if (written.size() < 2 || written.front() != '"') {
            EXPECT_EQ(Find(updated, 0), written) << c.name;
        }
    }
}

TEST(Placement, ReadsWhatTheScanfFamilyReadsForTenIntegers) {
    const struct {
        std::string text;
        std::optional<WindowPlacement> expected;
    } cases[] = {
        {"2:3:-1:-1:-8:-8:10:20:330:440", WindowPlacement{2, 3, -1, -1, -8, -8, 10, 20, 330, 440}},
        {"0x10:010:+5:-0x1F: 7:\t8:\n9:0X0a:0:-0", WindowPlacement{16, 8, 5, -31, 7, 8, 9, 10, 0, 0}},
        {"1:2:3:4:5:6:7:8:9:10:11", WindowPlacement{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"1:2:3:4:5:6:7:8:9:10abc", WindowPlacement{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"2147483647:-2147483648:2147483648:-2147483649:4294967296:99999999999999999999999:"
         "-99999999999999999999999:0xFFFFFFFFFFFFFFFFFFFF:0:0",
         WindowPlacement{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX,
                         0, 0}},
        {"1:2:3:4:5:6:7:8:9", std::nullopt},
        {"1:2:3:4:5:6:7:8:x:10", std::nullopt},
        {"1:2:3:4:5:6:7:8:9:x", std::nullopt},
        {"1 :2:3:4:5:6:7:8:9:10", std::nullopt},
        {"08:2:3:4:5:6:7:8:9:10", std::nullopt},  // octal: the 8 is no digit
        {"-:2:3:4:5:6:7:8:9:10", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParsePlacement(c.text), c.expected) << c.text;
}

TEST(Placement, WritesTenSignedDecimalsThatReadBack) {
    const WindowPlacement p{3, 1, -32000, -32000, -8, -8, 10, 20, INT32_MAX, INT32_MIN};
    EXPECT_EQ(FormatPlacement(p), "3:1:-32000:-32000:-8:-8:10:20:2147483647:-2147483648");
    EXPECT_EQ(ParsePlacement(FormatPlacement(p)), p);
}

}  // namespace
}  // namespace poremisu
