#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/posix/PosixProfileStore.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using testing::ReadWholeFile;
using testing::RunInChild;
using testing::ScratchDir;
using testing::WriteWholeFile;

struct ReadCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string expected;
    std::size_t count = 60000;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, ReadsTheValueFromARealFile) {
    const ReadCase& c = GetParam();
    ScratchDir dir;
    WriteWholeFile(dir / "p.ini", c.content);
    PosixProfileStore store;
    EXPECT_EQ(store.Read(dir / "p.ini", c.section, c.key, "<default>", c.count), c.expected);
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileReadTest,
    ::testing::Values(ReadCase{"FirstKeyWins", "[s]\r\nk=one\r\nk=two\r\n", "s", "k", "one"},
                      ReadCase{"NamesIgnoreLetterCase", "[SeTTing]\nNewURL=x\n", "setting", "newurl", "x"},
                      ReadCase{"BlanksTrimmed", "  [ s ]  \n  k  =   v a l \t \n", "s", "k", "v a l"},
                      ReadCase{"DoubleQuotesRemoved", "[s]\nk=\"quoted value\"\n", "s", "k", "quoted value"},
                      ReadCase{"SingleQuotesRemoved", "[s]\nk='single'\n", "s", "k", "single"},
                      ReadCase{"MixedQuotesKept", "[s]\nk=\"mixed'\n", "s", "k", "\"mixed'"},
                      ReadCase{"LoneQuoteKept", "[s]\nk=\"\n", "s", "k", "\""},
                      ReadCase{"InnerQuotesKept", "[s]\nk=\"a\"b\"\n", "s", "k", "a\"b"},
                      ReadCase{"CrLfLinesCarryNoCr", "[s]\r\nk=v\r\nother=w\r\n", "s", "k", "v"},
                      ReadCase{"LastLineWithoutFeed", "[s]\nk=v", "s", "k", "v"},
                      ReadCase{"ByteOrderMarkSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
                      ReadCase{"EmptyValue", "[s]\nk=\nx=1\n", "s", "k", ""},
                      ReadCase{"MissingKeyGivesDefault", "[s]\nother=1\n", "s", "k", "<default>"},
                      ReadCase{"MissingSectionGivesDefault", "[t]\nk=1\n", "s", "k", "<default>"},
                      ReadCase{"KeyInLaterDuplicateSectionNotFound", "[s]\na=1\n[t]\nk=0\n[s]\nk=2\n", "s",
                               "k", "<default>"},
                      ReadCase{"KeyOfOtherSectionNotTaken", "[t]\nk=0\n[s]\nk=2\n", "s", "k", "2"},
                      ReadCase{"BinaryBeforeTheSection",
                               std::string("\x00\x01\xFF[x\x00]==\n", 10) + "[s]\nk=v\n", "s", "k", "v"},
                      ReadCase{"LongValueCutTo59999", "[s]\nk=" + Repeat('x', 70000) + "\n", "s", "k",
                               Repeat('x', 59999)},
                      ReadCase{"LongQuotedValueCutTo59999", "[s]\nk=\"" + Repeat('y', 70000) + "\"\n", "s",
                               "k", Repeat('y', 59999)},
                      ReadCase{"SmallCount", "[s]\nk=0123456789\n", "s", "k", "012", 4},
                      ReadCase{"DefaultCutToCount", "[s]\n", "s", "k", "<de", 4}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(ProfileReadFiles, MissingFileAndFolderGiveTheDefault) {
    ScratchDir dir;
    PosixProfileStore store;
    EXPECT_EQ(store.Read(dir / "missing.ini", "s", "k", "d", 100), "d");
    EXPECT_EQ(store.Read(dir.Path(), "s", "k", "d", 100), "d");
    EXPECT_EQ(store.Read("", "s", "k", "d", 100), "d");
}

TEST(ProfileReadFiles, FifoNeverHangs) {
    ScratchDir dir;
    ASSERT_EQ(::mkfifo((dir / "x.url").c_str(), 0644), 0);
    auto code = RunInChild(
        [&] {
            PosixProfileStore store;
            return store.Read(dir / "x.url", "InternetShortcut", "URL", "", 60000).empty() ? 0 : 1;
        },
        5s);
    EXPECT_EQ(code, 0) << "the read of a FIFO hung or failed";
}

long StatusKilobytes(const char* field) {
    std::istringstream status(ReadWholeFile("/proc/self/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return -1;
}

// 200 MB of random bytes without a single line feed, then the section: the
// whole file is one line, read in constant memory.
TEST(ProfileReadFiles, HugeRandomFileReadInConstantMemory) {
    ScratchDir dir;
    std::string path = dir / "huge.ini";
    {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        std::vector<char> block(1 << 20);
        std::uint64_t state = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < 200; ++i) {
            for (char& c : block) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                c = static_cast<char>(state >> 56);
                if (c == '\n') c = 'n';
            }
            ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
        }
        std::string tail = "\n[s]\nk=found at the end\n";
        ASSERT_EQ(::write(fd, tail.data(), tail.size()), static_cast<ssize_t>(tail.size()));
        ::close(fd);
    }
    // In a child, so that the peak belongs to the read alone.
    auto code = RunInChild(
        [&] {
            testing::WriteWholeFile("/proc/self/clear_refs", "5");
            long before = StatusKilobytes("VmRSS:");
            auto start = std::chrono::steady_clock::now();
            PosixProfileStore store;
            std::string value = store.Read(path, "S", "K", "", 60000);
            std::string missing = store.Read(path, "s", "absent", "none", 60000);
            auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            long peak = StatusKilobytes("VmHWM:");
            if (value != "found at the end" || missing != "none") return 1;
            if (before < 0 || peak - before > 16 * 1024) return 2;
            if (seconds > 20) return 3;
            return 0;
        },
        60s);
    EXPECT_EQ(code, 0) << "1: wrong value, 2: memory grew past 16 MiB, 3: too slow";
}

TEST(ProfileWrite, CreatesAMissingFileAndReadsBack) {
    ScratchDir dir;
    PosixProfileStore store;
    std::string path = dir / "poremisu.ini";
    ASSERT_TRUE(store.Write(path, "setting", "newurl", "\"/tmp/a b.url\""));
    ASSERT_TRUE(store.Write(path, "setting", "win", "0:1:2"));
    EXPECT_EQ(ReadWholeFile(path), "[setting]\r\nnewurl=\"/tmp/a b.url\"\r\nwin=0:1:2\r\n");
    EXPECT_EQ(store.Read(path, "setting", "newurl", "", 60000), "/tmp/a b.url");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(ProfileWrite, KeepsEverythingElseAndTheMode) {
    ScratchDir dir;
    PosixProfileStore store;
    std::string path = dir / "poremisu.ini";
    std::string before = "; comment\n[other]\nwin=keep\n[Setting]\r\nnewurl=old\r\nwin=1\r\n\n[tail]\nx=y";
    WriteWholeFile(path, before);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(store.Write(path, "setting", "NEWURL", "new"));
    EXPECT_EQ(ReadWholeFile(path),
              "; comment\n[other]\nwin=keep\n[Setting]\r\nnewurl=new\r\nwin=1\r\n\n[tail]\nx=y");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 2);  // the file and its lock
}

TEST(ProfileWrite, RefusesToReplaceAForeignFile) {
    ScratchDir dir;
    PosixProfileStore store;
    std::string big = dir / "big.ini";
    std::string content(PosixProfileStore::kMaxRewriteBytes + 1, 'z');
    WriteWholeFile(big, content);
    EXPECT_FALSE(store.Write(big, "s", "k", "v"));
    EXPECT_EQ(ReadWholeFile(big), content);

    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0644), 0);
    auto code =
        RunInChild([&] { return PosixProfileStore().Write(dir / "fifo.ini", "s", "k", "v") ? 1 : 0; }, 5s);
    EXPECT_EQ(code, 0);

    EXPECT_FALSE(store.Write(dir / "no-such-folder/p.ini", "s", "k", "v"));
}

TEST(ProfileWrite, ThroughALinkRewritesTheTarget) {
    ScratchDir dir;
    PosixProfileStore store;
    WriteWholeFile(dir / "real.ini", "[s]\nk=1\n");
    ASSERT_EQ(::symlink("real.ini", (dir / "link.ini").c_str()), 0);
    ASSERT_TRUE(store.Write(dir / "link.ini", "s", "k", "2"));
    struct stat info {};
    ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadWholeFile(dir / "real.ini"), "[s]\nk=2\r\n");
}

// Two processes set different keys of one file 200 times each while a third
// reads it: no write loses the other's key, and no read ever sees a file
// that is empty or half written.
TEST(ProfileWrite, ConcurrentWritersKeepBothKeys) {
    ScratchDir dir;
    std::string path = dir / "shared.ini";
    WriteWholeFile(path, "[head]\nh=1\n[setting]\nnewurl=start\nwin=start\n[tail]\nt=2\n");
    constexpr int kRounds = 200;
    auto writer = [&](const char* key) {
        return [&, key] {
            PosixProfileStore store;
            for (int i = 0; i < kRounds; ++i) {
                std::string value = std::string(key) + "-" + std::to_string(i);
                if (!store.Write(path, "setting", key, value)) return 1;
                if (store.Read(path, "setting", key, "", 60000) != value) return 2;
            }
            return 0;
        };
    };
    Child first(writer("newurl"));
    Child second(writer("win"));

    std::atomic<bool> stop{false};
    int badReads = 0;
    int reads = 0;
    std::thread reader([&] {
        PosixProfileStore store;
        while (!stop) {
            ++reads;
            if (store.Read(path, "head", "h", "", 100) != "1" ||
                store.Read(path, "tail", "t", "", 100) != "2" ||
                store.Read(path, "setting", "newurl", "", 100).empty() ||
                store.Read(path, "setting", "win", "", 100).empty()) {
                ++badReads;
            }
        }
    });
    EXPECT_EQ(first.Wait(120s), 0);
    EXPECT_EQ(second.Wait(120s), 0);
    stop = true;
    reader.join();
    EXPECT_EQ(badReads, 0) << "of " << reads << " reads";

    PosixProfileStore store;
    EXPECT_EQ(store.Read(path, "setting", "newurl", "", 100), "newurl-199");
    EXPECT_EQ(store.Read(path, "setting", "win", "", 100), "win-199");
    EXPECT_EQ(store.Read(path, "head", "h", "", 100), "1");
    EXPECT_EQ(store.Read(path, "tail", "t", "", 100), "2");
}

}  // namespace
}  // namespace poremisu
