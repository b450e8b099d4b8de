// Byte rules on paths and addresses: extension test, numbered backup names
// and the folder a file:/// address names.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "browser/PageEvents.h"
#include "pages/History.h"
#include "pages/Shortcut.h"

namespace poremisu {
namespace {

struct ExtensionCase {
    std::string path;
    std::string ext;
    bool expected;
};

TEST(HasExtension, JudgesOnlyTheTextAfterTheLastDot) {
    const std::string longDir(290, 'd');
    const ExtensionCase cases[] = {
        {"C:\\Links\\News.URL", "url", true},
        {"\"C:\\Links\\News.URL\"", "url", true},
        {"C:\\Links\\News.URL\"\"", "url", false},  // only one quote is dropped
        {"\"C:\\Links\\News.URL", "url", true},     // a leading quote is left alone
        {"http://example.com/index.htm", "htm", true},
        {"http://example.com/index.HTM", "htm", true},
        {"http://example.com/index.htm", "HTM", true},
        {"http://example.com/index.html", "htm", false},
        {"http://example.com/index.htm#top", "htm", false},
        {"http://example.com/index.htm?x=1", "htm", false},
        {"C:\\old.2\\readme", "url", false},
        {"C:\\old.2\\readme", "2\\readme", true},  // the directory's dot counts
        {"C:\\my.folder\\readme", "folder\\readme", false},  // 14 bytes from the dot
        {"http://www.example.com", "com", true},  // a host name's dot counts too
        {"readme", "url", false},
        {"", "url", false},
        {"a.abcdefgh", "abcdefgh", true},    // 8-byte extension
        {"a.abcdefghi", "abcdefghi", false},  // 9 bytes after the dot
        {"a.abcdefghij", "abcdefghij", false},
        {"a.url", "abcdefghij", false},  // wanted extension of 10 bytes
        // A path of 300 bytes is judged by its last 260 bytes.
        {longDir + "/News.url", "url", true},
        {"x.url/" + longDir, "url", false},
        // Only A to Z fold; bytes of other characters are compared as they are.
        {"a.\x82\xA0", "\x82\xA0", true},
        {"a.\xC3\x89", "\xC3\xA9", false},
        {"a.\x82\xA0", "\xA2\xA0", false},
    };
    for (const ExtensionCase& c : cases) {
        EXPECT_EQ(HasExtension(c.path, c.ext), c.expected) << c.path.substr(0, 40) << " / " << c.ext;
    }
}

TEST(MakeNumberedName, PutsTheSixDigitNumberBeforeTheLastDot) {
    const struct {
        std::string name;
        std::int32_t n;
        std::string expected;
    } cases[] = {
        {"WindowTitleHis.htm", 1, "WindowTitleHis000001.htm"},
        {"WindowTitleHis.htm", 12, "WindowTitleHis000012.htm"},
        {"WindowTitleHis.htm", 1234567, "WindowTitleHis1234567.htm"},
        {"a.b.c", 3, "a.b000003.c"},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeNumberedName(c.name, c.n), c.expected);
}

TEST(FolderPathFromFileUrl, DecodesEscapesAndDropsQueryAndFragment) {
    const struct {
        std::string address;
        std::optional<std::string> expected;
    } cases[] = {
        {"file:///home/a%20b", "/home/a b"},
        {"file:///C:/Dir", "C:/Dir"},
        {"file:///c:/Dir%5Csub", "c:/Dir\\sub"},
        {"file:///tmp/x/?q=1#f", "/tmp/x/"},
        {"file:///tmp/x#f?q", "/tmp/x"},
        {"file:///tmp/%E3%81%82", "/tmp/\xE3\x81\x82"},
        {"file:///tmp/%zz%4", "/tmp/%zz%4"},  // not escapes: kept as written
        {"file:///tmp/a%00b", std::nullopt},  // would name another folder
        {"file:///", "/"},
        {"http://example.com/", std::nullopt},
        {"FILE:///tmp", std::nullopt},
        {"file://host/share", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FolderPathFromFileUrl(c.address), c.expected) << c.address;
}

}  // namespace
}  // namespace poremisu
