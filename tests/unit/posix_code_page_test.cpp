#include <gtest/gtest.h>

#include "app/Text.h"
#include "platform/posix/CodePage.h"

namespace poremisu {
namespace {

TEST(CodePage, ConvertsWholeCharactersWithinTheBoundAndShowsEveryBrokenOne) {
    const std::string word(Utf8(u8"ぽれみす"));
    struct Case { std::string utf8, charset; std::size_t maxBytes; std::string expected; };
    const Case cases[] = {
        {word + "\xFF", "UTF-8", 100, word + "\xFF"},  // into UTF-8 the bytes pass unchanged
        {word, "utf8", 5, word.substr(0, 3)},           // never a part of a character
        {"a\x80\x80\x80\x80", "UTF-8", 3, "a\x80\x80"},
        {"\xC3\xA9\x80", "UTF-8", 2, "\xC3\xA9"},
        {word, "CP932", 100, "\x82\xDB\x82\xEA\x82\xDD\x82\xB7"},
        {word, "CP932", 5, "\x82\xDB\x82\xEA"},
        {"x\xFF\xC3y", "CP932", 100, "x??y"},
        {"ab\xF0\x9F\x98\x80", "CP932", 3, "ab?"},
        {"ab\xFF", "CP932", 2, "ab"},
        {"ab" + word, "NO-SUCH-CHARSET", 100, "ab????"},
        {word, "CP932", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CodePage(c.charset).FromUtf8(c.utf8, c.maxBytes), c.expected) << c.charset << " " << c.maxBytes;
    }
    // Back to UTF-8 for the toolkit: each byte where no character starts is one U+FFFD.
    const std::string bad(Utf8(u8"\uFFFD"));
    const Case toUtf8[] = {
        {"a\xE3\x81" + std::string(1, '\0') + "b\xC2\xA9", "UTF-8", 0, "a" + bad + bad + bad + "b\xC2\xA9"},
        {"\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80\xE0\xA0\x80\xF0\x90\x80\x80", "UTF-8", 0,
         bad + bad + bad + bad + bad + bad + bad + bad + bad + "\xE0\xA0\x80\xF0\x90\x80\x80"},
        {"\x82\xDB\x82\xEA\x82", "CP932", 0, word.substr(0, 6) + bad},
        {"a\xFF", "NO-SUCH-CHARSET", 0, "a" + bad},
    };
    for (const Case& c : toUtf8) EXPECT_EQ(CodePage(c.charset).ToUtf8(c.utf8), c.expected) << c.charset;
    EXPECT_EQ(Latin1ToUtf8("caf\xE9 \xFF\x7F"), Utf8(u8"café ÿ\x7F"));
}

}  // namespace
}  // namespace poremisu
