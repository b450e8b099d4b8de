#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <vector>

#include "platform/posix/PosixFileSystem.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using testing::CurrentDirectoryGuard;
using testing::ReadWholeFile;
using testing::RunInChild;
using testing::ScratchDir;
using testing::WriteWholeFile;

struct WriteCase {
    const char* name;
    std::optional<std::string> existing;
    OpenMode mode;
    std::vector<std::string> lines;
    std::string expected;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class TextFileTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(TextFileTest, WritesLinesInTextMode) {
    const WriteCase& c = GetParam();
    ScratchDir dir;
    std::string path = dir / "page.htm";
    if (c.existing) WriteWholeFile(path, *c.existing);
    PosixFileSystem files;
    {
        auto file = files.Open(path, c.mode);
        ASSERT_TRUE(file);
        for (const std::string& line : c.lines) EXPECT_TRUE(file->WriteLine(line));
        // Each line is on disk as soon as it was written, before the close.
        EXPECT_EQ(ReadWholeFile(path), c.expected);
    }
    EXPECT_EQ(ReadWholeFile(path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextFileTest,
    ::testing::Values(
        WriteCase{"AppendCreates", std::nullopt, OpenMode::Append, {"a\n", "b\n"}, "a\r\nb\r\n"},
        WriteCase{"AppendKeeps", "old\r\n", OpenMode::Append, {"new\n"}, "old\r\nnew\r\n"},
        WriteCase{"TruncateDiscards", "old content\r\n", OpenMode::Truncate, {"x\n"}, "x\r\n"},
        WriteCase{"TruncateCreatesEmpty", std::nullopt, OpenMode::Truncate, {}, ""},
        WriteCase{"EveryFeedBecomesCrLf",
                  std::nullopt,
                  OpenMode::Append,
                  {"1\n2\n\n", "3\r\n"},
                  "1\r\n2\r\n\r\n3\r\r\n"},
        WriteCase{"BytesUnchanged",
                  std::nullopt,
                  OpenMode::Append,
                  {std::string("\x81\x9B<a>\0\t&", 8)},
                  std::string("\x81\x9B<a>\0\t&", 8)}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(PosixOpen, RefusesWhatCannotBeAFile) {
    ScratchDir dir;
    PosixFileSystem files;
    EXPECT_FALSE(files.Open(dir.Path(), OpenMode::Append));
    EXPECT_FALSE(files.Open(dir.Path(), OpenMode::Truncate));
    EXPECT_FALSE(files.Open(dir / "missing/page.htm", OpenMode::Truncate));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    // Without a reader the FIFO is refused at once instead of blocking.
    auto code =
        RunInChild([&] { return PosixFileSystem().Open(dir / "fifo", OpenMode::Truncate) ? 1 : 0; }, 5s);
    EXPECT_EQ(code, 0);
}

// Two processes append 10,000 lines each to one file, each line in its own
// call: every line arrives whole and in its writer's order.
TEST(PosixOpen, ConcurrentAppendersNeverInterleave) {
    ScratchDir dir;
    std::string path = dir / "log.htm";
    constexpr int kLines = 10000;
    auto writer = [&](char tag) {
        return [&, tag] {
            PosixFileSystem files;
            auto file = files.Open(path, OpenMode::Append);
            if (!file) return 1;
            for (int i = 0; i < kLines; ++i) {
                // Lines of varying length, some longer than a pipe buffer.
                std::string line =
                    std::string(1, tag) + std::to_string(i) + ":" +
                    std::string(static_cast<std::size_t>(i % 97) * (i % 5 == 0 ? 100 : 3), tag) + "\n";
                if (!file->WriteLine(line)) return 2;
            }
            return 0;
        };
    };
    Child a(writer('a'));
    Child b(writer('b'));
    ASSERT_EQ(a.Wait(120s), 0);
    ASSERT_EQ(b.Wait(120s), 0);

    std::string content = ReadWholeFile(path);
    std::map<char, int> next{{'a', 0}, {'b', 0}};
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = content.substr(pos, end - pos);
        pos = end + 2;
        ASSERT_FALSE(line.empty());
        char tag = line[0];
        ASSERT_TRUE(tag == 'a' || tag == 'b') << line.substr(0, 40);
        std::size_t colon = line.find(':');
        ASSERT_NE(colon, std::string::npos);
        int i = std::stoi(line.substr(1, colon - 1));
        ASSERT_EQ(i, next[tag]);
        ASSERT_EQ(line.substr(colon + 1),
                  std::string(static_cast<std::size_t>(i % 97) * (i % 5 == 0 ? 100 : 3), tag));
        ++next[tag];
    }
    EXPECT_EQ(next['a'], kLines);
    EXPECT_EQ(next['b'], kLines);
}

struct RenameCase {
    const char* name;
    bool sourceExists;
    bool targetExists;
    bool sourceIsFolder;
    bool expected;
};

void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.name; }

class RenameTest : public ::testing::TestWithParam<RenameCase> {};

TEST_P(RenameTest, RefusesAnExistingTargetAndAMissingSource) {
    const RenameCase& c = GetParam();
    ScratchDir dir;
    std::string from = dir / "WindowTitleHis.htm";
    std::string to = dir / "WindowTitleHis000001.htm";
    if (c.sourceExists) {
        if (c.sourceIsFolder)
            ASSERT_EQ(::mkdir(from.c_str(), 0755), 0);
        else
            WriteWholeFile(from, "log");
    }
    if (c.targetExists) WriteWholeFile(to, "backup");
    PosixFileSystem files;
    EXPECT_EQ(files.Rename(from, to), c.expected);
    if (c.expected) {
        EXPECT_FALSE(files.Exists(from));
        if (!c.sourceIsFolder) {
            EXPECT_EQ(ReadWholeFile(to), "log");
        }
    } else {
        EXPECT_EQ(files.Exists(from), c.sourceExists);
        if (c.targetExists) {
            EXPECT_EQ(ReadWholeFile(to), "backup");
        }
        if (c.sourceExists && !c.sourceIsFolder) {
            EXPECT_EQ(ReadWholeFile(from), "log");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameTest,
                         ::testing::Values(RenameCase{"FreeTarget", true, false, false, true},
                                           RenameCase{"TakenTarget", true, true, false, false},
                                           RenameCase{"MissingSource", false, false, false, false},
                                           RenameCase{"MissingSourceTakenTarget", false, true, false, false},
                                           RenameCase{"FolderToFreeName", true, false, true, true},
                                           RenameCase{"FolderOntoFile", true, true, true, false}),
                         [](const ::testing::TestParamInfo<RenameCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(PosixProbe, TellsOpenableFromPresent) {
    ScratchDir dir;
    WriteWholeFile(dir / "file", "x");
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    struct Case {
        std::string name;
        bool probe;
        bool exists;
    };
    const Case cases[] = {{"file", true, true},
                          {"missing", false, false},
                          {"dangling", false, true},
                          {".", true, true},  // a folder of the name is taken too
                          {"fifo", true, true}};
    auto code = RunInChild(
        [&] {
            PosixFileSystem files;
            int failures = 0;
            for (const Case& c : cases) {
                failures += files.Probe(dir / c.name) != c.probe;
                failures += files.Exists(dir / c.name) != c.exists;
            }
            return failures;
        },
        5s);
    EXPECT_EQ(code, 0);
}

TEST(PosixPaths, FullPathJoinsTheCurrentDirectory) {
    CurrentDirectoryGuard guard;
    ScratchDir dir;
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    PosixFileSystem files;
    ASSERT_TRUE(files.SetCurrentDirectory(dir / "sub"));
    std::string cwd = files.GetCurrentDirectory();
    std::string parent = cwd.substr(0, cwd.rfind('/'));
    std::string manyUp;
    for (int i = 0; i < 200; ++i) manyUp += "../";
    const std::pair<std::string, std::string> cases[] = {
        {"Favorites.htm", cwd + "/Favorites.htm"},
        {"./a b.url", cwd + "/a b.url"},
        {"../x.url", parent + "/x.url"},
        {"new/../../y", parent + "/y"},
        {"a//b/./c/", cwd + "/a/b/c/"},
        {manyUp + "top", "/top"},           // ".." stops at the root
        {"missing/z", cwd + "/missing/z"},  // no disk access: need not exist
        {"/abs/../kept", "/abs/../kept"},
        {"\"quoted.url\"", cwd + "/\"quoted.url\""},
        {"", ""},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(files.FullPath(name), expected) << name;
}

TEST(PosixPaths, CurrentDirectoryOfAnyDepth) {
    CurrentDirectoryGuard guard;
    ScratchDir dir;
    PosixFileSystem files;
    ASSERT_TRUE(files.SetCurrentDirectory(dir.Path()));
    std::string component(200, 'd');
    std::string expected = files.GetCurrentDirectory();
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(::mkdir(component.c_str(), 0755), 0);
        ASSERT_TRUE(files.SetCurrentDirectory(component));
        expected += "/" + component;
    }
    ASSERT_GT(expected.size(), 4096u);
    EXPECT_EQ(files.GetCurrentDirectory(), expected);
    EXPECT_FALSE(files.SetCurrentDirectory(dir / "missing"));
    EXPECT_FALSE(files.SetCurrentDirectory(""));
    EXPECT_EQ(files.GetCurrentDirectory(), expected);
}

TEST(PosixDirectories, IsDirectoryAndEnumeration) {
    CurrentDirectoryGuard guard;
    ScratchDir dir;
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
    WriteWholeFile(dir / "News.url", "[InternetShortcut]\nURL=http://x/\n");
    WriteWholeFile(dir / "notes.txt", "");
    ASSERT_EQ(::symlink("folder", (dir / "folder-link").c_str()), 0);
    ASSERT_EQ(::symlink("notes.txt", (dir / "file-link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);

    PosixFileSystem files;
    EXPECT_TRUE(files.IsDirectory(dir.Path()));
    EXPECT_TRUE(files.IsDirectory(dir / "folder-link"));
    EXPECT_FALSE(files.IsDirectory(dir / "notes.txt"));
    EXPECT_FALSE(files.IsDirectory(dir / "missing"));
    EXPECT_FALSE(files.IsDirectory(""));

    ASSERT_TRUE(files.SetCurrentDirectory(dir.Path()));
    std::map<std::string, bool> seen;
    EXPECT_TRUE(files.EnumerateCurrentDirectory([&](const DirectoryEntry& entry) {
        EXPECT_TRUE(seen.emplace(entry.name, entry.isDirectory).second) << entry.name;
        return true;
    }));
    std::map<std::string, bool> expected{{".", true},           {"..", true},        {"folder", true},
                                         {"folder-link", true}, {"News.url", false}, {"notes.txt", false},
                                         {"file-link", false},  {"dangling", false}};
    EXPECT_EQ(seen, expected);

    int calls = 0;
    EXPECT_TRUE(files.EnumerateCurrentDirectory([&](const DirectoryEntry&) { return ++calls < 3; }));
    EXPECT_EQ(calls, 3);

    // A current directory that has been removed lists nothing at all.
    ASSERT_TRUE(files.SetCurrentDirectory(dir / "folder"));
    ASSERT_EQ(::rmdir((dir / "folder").c_str()), 0);
    calls = 0;
    EXPECT_FALSE(files.EnumerateCurrentDirectory([&](const DirectoryEntry&) { return ++calls > 0; }));
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace poremisu
