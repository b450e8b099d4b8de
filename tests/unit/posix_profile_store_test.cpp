#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <random>

#include "platform/posix/PosixProfileStore.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using test::ReadFile;
using testing::RunInChild;
using test::TempDir;
using test::WriteFile;

// How a value is found is the finder's table; here the file, its absence and the default.
TEST(ProfileRead, ReadsTheValueFromARealFile) {
    struct Case { std::string content, section, key, expected; std::size_t count = 60000; };
    const Case cases[] = {
        {"[s]\r\nk=one\r\nk=two\r\n", "s", "k", "one"},  // the first match, CR LF lines
        {"[s]\nother=1\n", "s", "k", "<default>"},
        {"[s]\nk=0123456789\n", "s", "k", "012", 4},
        {"[s]\n", "s", "k", "<de", 4},
    };
    TempDir dir;
    PosixProfileStore store;
    for (const Case& c : cases) {
        WriteFile(dir / "p.ini", c.content);
        EXPECT_EQ(store.Read(dir / "p.ini", c.section, c.key, "<default>", c.count), c.expected)
            << c.content.substr(0, 40);
    }
    for (const std::string& path : {dir / "missing.ini", dir.Path(), std::string()}) {
        EXPECT_EQ(store.Read(path, "s", "k", "d", 100), "d") << path;
    }
}

TEST(ProfileRead, AFifoNeverHangs) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "x.url").c_str(), 0644), 0);
    auto code = RunInChild([&] {
        PosixProfileStore store;
        bool empty = store.Read(dir / "x.url", "InternetShortcut", "URL", "", 60000).empty();
        return empty && !store.Write(dir / "x.url", "s", "k", "v") ? 0 : 1;
    }, 5s);
    EXPECT_EQ(code, 0) << "a read or write of a FIFO hung or did not fail";
}

long StatusKilobytes(const char* field) {
    std::string status = ReadFile("/proc/self/status");
    std::size_t at = status.find(field);
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(field));
}

// 64 MB of random bytes without a line feed, then the section: the whole
// file is one line, read in constant memory.
TEST(ProfileRead, AHugeRandomFileIsReadInConstantMemory) {
    TempDir dir;
    std::string path = dir / "huge.ini";
    {
        std::ofstream out(path, std::ios::binary);
        std::mt19937_64 random(7);
        std::string block(1 << 20, '\0');
        for (int i = 0; i < 64; ++i) {
            for (char& c : block) c = static_cast<char>(random() % 246 + 11);  // never a line feed
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        out << "\n[s]\nk=found at the end\n";
    }
    // In a child, so that the peak belongs to the read alone.
    auto code = RunInChild([&] {
        WriteFile("/proc/self/clear_refs", "5");
        long before = StatusKilobytes("VmRSS:");
        PosixProfileStore store;
        if (store.Read(path, "S", "K", "", 60000) != "found at the end") return 1;
        if (store.Read(path, "s", "absent", "none", 60000) != "none") return 1;
        return before < 0 || StatusKilobytes("VmHWM:") - before > 16 * 1024 ? 2 : 0;
    }, 30s);
    EXPECT_EQ(code, 0) << "1: wrong value, 2: memory grew past 16 MiB, none: too slow";
}

TEST(ProfileWrite, KeepsEverythingElseTheModeAndTheLink) {
    TempDir dir;
    PosixProfileStore store;
    std::string path = dir / "real.ini";
    const std::string before = "; note\n[other]\nwin=keep\n[Setting]\r\nnewurl=old\r\nwin=1\r\n\n[tail]\nx=y";
    WriteFile(path, before);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real.ini", (dir / "link.ini").c_str()), 0);
    ASSERT_TRUE(store.Write(dir / "link.ini", "setting", "NEWURL", "new"));
    EXPECT_EQ(ReadFile(path), std::string(before).replace(before.find("old"), 3, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::lstat((dir / "link.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 3) << "the file, the link and the lock; no temporary file left";

    std::string big(PosixProfileStore::kMaxRewriteBytes + 1, 'z');
    WriteFile(path, big);
    EXPECT_FALSE(store.Write(path, "s", "k", "v")) << "a file this large is not ours";
    EXPECT_EQ(ReadFile(path), big);
}

// Two processes set different keys of one file 200 times each while a third
// reads it: no write loses the other's key, and no read ever sees a file
// that is empty or half written.
TEST(ProfileWrite, ConcurrentWritersKeepBothKeys) {
    TempDir dir;
    std::string path = dir / "shared.ini";
    WriteFile(path, "[head]\nh=1\n[setting]\nnewurl=start\nwin=start\n[tail]\nt=2\n");
    auto writer = [&](std::string key) {
        return [&, key] {
            PosixProfileStore store;
            for (int i = 0; i < 200; ++i) {
                std::string value = key + "-" + std::to_string(i);
                if (!store.Write(path, "setting", key, value)) return 1;
                if (store.Read(path, "setting", key, "", 60000) != value) return 2;
            }
            return 0;
        };
    };
    Child first(writer("newurl")), second(writer("win"));
    std::atomic<bool> stop{false};
    int reads = 0, badReads = 0;
    std::thread reader([&] {
        PosixProfileStore store;
        for (; !stop; ++reads) {
            badReads += store.Read(path, "head", "h", "", 100) != "1" ||
                        store.Read(path, "tail", "t", "", 100) != "2" ||
                        store.Read(path, "setting", "newurl", "", 100).empty() ||
                        store.Read(path, "setting", "win", "", 100).empty();
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
}

}  // namespace
}  // namespace poremisu
