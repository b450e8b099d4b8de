#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <vector>

#include "platform/posix/PosixFileSystem.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using test::ReadFile;
using testing::RunInChild;
using test::TempDir;
using test::WriteFile;

TEST(PosixOpen, WritesEachLineInTextModeAtOnce) {
    struct Case {
        std::optional<std::string> existing;
        OpenMode mode;
        std::vector<std::string> lines;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, OpenMode::Append, {"a\n", "b\n"}, "a\r\nb\r\n"},
        {"old\r\n", OpenMode::Append, {"new\n"}, "old\r\nnew\r\n"},
        {"old content\r\n", OpenMode::Truncate, {"x\n"}, "x\r\n"},
        {std::nullopt, OpenMode::Append, {"1\n2\n\n", "3\r\n"}, "1\r\n2\r\n\r\n3\r\r\n"},
        {std::nullopt, OpenMode::Append, {std::string("\x81\x9B\0\t&", 5)}, std::string("\x81\x9B\0\t&", 5)},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir / "page.htm";
        if (c.existing) WriteFile(path, *c.existing);
        auto file = PosixFileSystem().Open(path, c.mode);
        ASSERT_TRUE(file);
        for (const std::string& line : c.lines) EXPECT_TRUE(file->WriteLine(line));
        // On disk as soon as written, before the close.
        EXPECT_EQ(ReadFile(path), c.expected);
    }
}

// Two processes append lines of varying length (some longer than a pipe
// buffer) to one file: every line arrives whole and in its writer's order.
TEST(PosixOpen, ConcurrentAppendersNeverInterleave) {
    TempDir dir;
    std::string path = dir / "log.htm";
    constexpr int kLines = 3000;
    auto body = [](char tag, int i) {
        return std::string(static_cast<std::size_t>(i % 97) * (i % 5 ? 3 : 100), tag);
    };
    auto writer = [&](char tag) {
        return [&, tag] {
            auto file = PosixFileSystem().Open(path, OpenMode::Append);
            for (int i = 0; file && i < kLines; ++i) {
                if (!file->WriteLine(tag + std::to_string(i) + ":" + body(tag, i) + "\n")) return 2;
            }
            return file ? 0 : 1;
        };
    };
    Child a(writer('a')), b(writer('b'));
    ASSERT_EQ(a.Wait(120s), 0);
    ASSERT_EQ(b.Wait(120s), 0);

    std::string content = ReadFile(path);
    std::map<char, int> next{{'a', 0}, {'b', 0}};
    for (std::size_t pos = 0, end; pos < content.size(); pos = end + 2) {
        end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = content.substr(pos, end - pos);
        std::size_t colon = line.find(':');
        ASSERT_TRUE(colon != std::string::npos && next.count(line[0])) << line.substr(0, 40);
        int& expected = next[line[0]];
        ASSERT_EQ(line.substr(1, colon - 1), std::to_string(expected));
        ASSERT_EQ(line.substr(colon + 1), body(line[0], expected++));
    }
    EXPECT_EQ(next['a'], kLines);
    EXPECT_EQ(next['b'], kLines);
}

TEST(PosixFiles, RenameRefusesAnExistingTargetAndAMissingSource) {
    struct Case { bool source, target, sourceIsFolder, renamed; };
    for (const Case& c : {Case{true, false, false, true}, Case{true, true, false, false},
                          Case{false, false, false, false}, Case{true, true, true, false}}) {
        TempDir dir;
        std::string from = dir / "WindowTitleHis.htm", to = dir / "WindowTitleHis000001.htm";
        if (c.source) {
            ASSERT_TRUE(c.sourceIsFolder ? ::mkdir(from.c_str(), 0755) == 0 : WriteFile(from, "log"));
        }
        if (c.target) WriteFile(to, "backup");
        EXPECT_EQ(PosixFileSystem().Rename(from, to), c.renamed);
        EXPECT_EQ(test::FileExists(from), c.source && !c.renamed);
        EXPECT_EQ(ReadFile(to), c.target ? "backup" : c.renamed ? "log" : "");
    }
}

TEST(PosixFiles, ProbeTellsOpenableFromPresentAndOpenRefusesWhatIsNoFile) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    struct Case { std::string name; bool probe, exists; };
    const Case cases[] = {{"file", true, true},
                          {"missing", false, false},
                          {"dangling", false, true},
                          {".", true, true},  // a folder of the name is taken too
                          {"fifo", true, true}};
    // In a child: a probe or an open that blocks on the FIFO must not hang the run.
    auto failures = RunInChild([&] {
        PosixFileSystem files;
        int failed = files.Open(dir / "fifo", OpenMode::Truncate) || files.Open(dir.Path(), OpenMode::Append);
        for (const Case& c : cases) {
            failed += files.Probe(dir / c.name) != c.probe || files.Exists(dir / c.name) != c.exists;
        }
        return failed;
    }, 5s);
    EXPECT_EQ(failures, 0);
}

TEST(PosixFiles, FullPathJoinsTheCurrentDirectoryWithoutTouchingDisk) {
    TempDir dir;
    PosixFileSystem files;
    ASSERT_TRUE(files.SetCurrentDirectory(dir.Path()));
    std::string cwd = dir.Path(), parent = cwd.substr(0, cwd.rfind('/'));
    std::string manyUp;
    for (int i = 0; i < 200; ++i) manyUp += "../";
    const std::pair<std::string, std::string> cases[] = {
        {"./a b.url", cwd + "/a b.url"}, {"new/../../y", parent + "/y"}, {"a//b/./c/", cwd + "/a/b/c/"},
        {manyUp + "top", "/top"},  // ".." stops at the root
        {"/abs/../kept", "/abs/../kept"}, {"", ""},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(files.FullPath(name), expected) << name;
}

}  // namespace
}  // namespace poremisu
