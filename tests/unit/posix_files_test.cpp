// The POSIX file services: page and log files, the settings file and the code page.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "app/Text.h"
#include "platform/posix/CodePage.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProfileStore.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Child;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Two processes at once each append lines of varying length (some of many pages, which the other may
// see half copied) to one log and set a key of their own in one settings file 200 times: every line
// arrives whole and in its writer's order, none is taken for a torn one and ended again, and no
// settings write loses the other's key.
TEST(PosixFiles, TwoWritersAtOnceNeverInterleaveLinesNorLoseAKey) {
    TempDir dir;
    const std::string log = dir / "log.htm", settings = dir / "shared.ini";
    WriteFile(settings, "[head]\nh=1\n[setting]\nnewurl=start\nwin=start\n[tail]\nt=2\n");
    constexpr int kLines = 3000;
    auto line = [](char tag, int i) {
        std::size_t length = static_cast<std::size_t>(i % 97 * (i % 5 ? 3 : 2000));
        return tag + std::to_string(i) + ":" + std::string(length, tag);
    };
    auto writer = [&](char tag, std::string key) {
        return [&, tag, key] {
            auto file = PosixFileSystem().Open(log, OpenMode::Append);
            PosixProfileStore store;
            for (int i = 0; file && i < kLines; ++i) {
                if (!file->WriteLine(line(tag, i) + "\n")) return 2;
                std::string value = key + "-" + std::to_string(i);
                if (i % 15 == 0 && !store.Write(settings, "setting", key, value)) return 3;
            }
            return file ? 0 : 1;
        };
    };
    Child a(writer('a', "newurl")), b(writer('b', "win"));
    ASSERT_EQ(a.Wait(120s), 0);
    ASSERT_EQ(b.Wait(120s), 0);
    EXPECT_EQ(ReadFile(settings), "[head]\nh=1\n[setting]\nnewurl=newurl-2985\r\nwin=win-2985\r\n[tail]\nt=2\n");
    // Sorted by the first byte of each line, the log holds each writer's lines in its order.
    std::map<char, std::string> expected, got;
    for (int i = 0; i < kLines; ++i) {
        for (char tag : {'a', 'b'}) expected[tag] += line(tag, i) + "\r\n";
    }
    const std::string content = ReadFile(log);
    for (std::size_t pos = 0, end; pos < content.size(); pos = end + 2) {
        end = content.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        got[content[pos]] += content.substr(pos, end + 2 - pos);
    }
    EXPECT_TRUE(got == expected) << "a line was cut, mixed with another or lost";
}

// A pipe is never read or written as settings, nothing waits on it, and it is not even opened: a
// writer waiting at it would be let through; the hostile page files show that no page opens one. A
// plain file is emptied on opening and takes each line at once, in text mode.
TEST(PosixFiles, OpensOnlyPlainFilesWritesEachLineInTextModeAndJoinsPathsByText) {
    TempDir dir;
    WriteFile(dir / "file", "old content, longer than the new\r\n");
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    Child waiting([&] {
        ::signal(SIGPIPE, SIG_IGN);
        return ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC) < 0;
    });
    std::this_thread::sleep_for(100ms);  // into its open
    auto settingsFailures = Child([&] {
        PosixProfileStore settings;
        return settings.Write(fifo, "s", "k", "v") + (settings.Read(fifo, "s", "k", "none", 5) != "none");
    }).Wait(5s);
    EXPECT_EQ(settingsFailures, 0) << "none: a read or write of the FIFO hung";
    EXPECT_EQ(waiting.Wait(100ms), std::nullopt) << "0: the writer waiting at the FIFO was let through";

    // Anything at the name is taken: a link to nowhere, a folder, a FIFO (without waiting on it).
    auto failures = Child([&] {
        PosixFileSystem files;
        int failed = 0;
        for (const char* name : {"dangling", ".", "fifo"}) failed += !files.Exists(dir / name);
        return failed;
    }).Wait(5s);
    EXPECT_EQ(failures, 0) << "none: a look at the FIFO hung";

    PosixFileSystem files;
    auto file = files.Open(dir / "file", OpenMode::Truncate);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->WriteLine(std::string("\x81\x9B\0\t&\n\n", 7)) && file->WriteLine("3\r\n"));
    // On disk as soon as written, before the close.
    EXPECT_EQ(ReadFile(dir / "file"), std::string("\x81\x9B\0\t&", 5) + "\r\n\r\n3\r\r\n");

    ASSERT_TRUE(files.SetCurrentDirectory(dir.Path()));
    std::string cwd = dir.Path(), parent = cwd.substr(0, cwd.rfind('/'));
    const std::pair<std::string, std::string> paths[] = {
        {"./a b.url", cwd + "/a b.url"}, {"new/../../y", parent + "/y"}, {"a//b/./c/", cwd + "/a/b/c/"},
        {"../../../../../../../../../../../../../../top", "/top"},  // ".." stops at the root
        {"/abs/../kept", "/abs/../kept"}, {"", ""},
    };
    for (const auto& [name, expected] : paths) EXPECT_EQ(files.FullPath(name), expected) << name;
}

TEST(CodePage, ConvertsWholeCharactersWithinTheBoundAndShowsEveryBrokenOne) {
    const std::string word(Utf8(u8"ぽれみす"));
    struct Case { std::string utf8, charset; std::size_t maxBytes; std::string expected; };
    const Case cases[] = {
        {word + "\xFF", "UTF-8", 100, word + "\xFF"},  // into UTF-8 the bytes pass unchanged
        {word, "utf8", 5, word.substr(0, 3)},           // never a part of a character
        {"\xC3\xA9\x80", "UTF-8", 2, "\xC3\xA9"},
        {word, "CP932", 5, "\x82\xDB\x82\xEA"},
        {"x\xFF\xC3y", "CP932", 100, "x??y"},
        {"ab\xF0\x9F\x98\x80", "CP932", 3, "ab?"},
        {"ab\xFF", "CP932", 2, "ab"},
        {"ab" + word, "NO-SUCH-CHARSET", 100, "ab????"},
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
    std::string block(1 << 20, '\0');
    std::mt19937_64 random(7);
    for (char& c : block) c = static_cast<char>(random() % 246 + 11);  // never a line feed
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 64; ++i) out << block;
    out << "\n[s]\nk=found at the end\n";
    out.close();
    // In a child, so that the peak belongs to the read alone.
    auto code = Child([&] {
        WriteFile("/proc/self/clear_refs", "5");
        long before = StatusKilobytes("VmRSS:");
        PosixProfileStore store;
        if (store.Read(path, "S", "K", "", 60000) != "found at the end") return 1;
        if (store.Read(path, "s", "absent", "<default>", 4) != "<de") return 1;  // cut to the count
        return before < 0 || StatusKilobytes("VmHWM:") - before > 16 * 1024 ? 2 : 0;
    }).Wait(30s);
    EXPECT_EQ(code, 0) << "1: wrong value, 2: memory grew past 16 MiB, none: too slow";
}

// The settings file is replaced whole by a rename: a writer killed at any moment leaves the old file
// or the new one; the next save clears a temporary a kill left, and nothing of the user's. A write
// through a link rewrites the file it leads to, keeping every other byte and the file's mode.
TEST(ProfileWrite, AWriterKilledAtAnyMomentLeavesAWholeFileWithEverythingElseTheModeAndTheLink) {
    TempDir dir;
    const std::string path = dir / "poremisu.ini", link = dir / "link.ini";
    // Large enough that a write takes a while, so that kills land inside it.
    const std::string old = "; note\n[other]\nwin=keep\n[Setting]\r\nnewurl=" + std::string(1 << 18, 'n') +
                            "\r\nwin=0:1:0:0:0:0:1:1:2:2\r\n\n[tail]\nx=y";
    WriteFile(path, old);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("poremisu.ini", link.c_str()), 0);
    const std::string values[] = {"1:1:-1:-1:-1:-1:10:10:500:400", "2:3:-1:-1:-1:-1:20:20:600:500"};
    const std::size_t win = old.find("win=0") + 4, winEnd = old.find("\r\n", win);
    std::set<std::string> whole{old};
    for (const std::string& value : values) whole.insert(std::string(old).replace(win, winEnd - win, value));

    int leftOver = 0;
    for (int round = 0; round < 40; ++round) {
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        Child writer([&]() -> int {
            PosixProfileStore store;
            for (unsigned i = 0;; ++i) {
                store.Write(link, "setting", "win", values[i % 2]);
                if (i == 0) ::close(saved[1]);  // the first save is done
            }
        });
        ::close(saved[1]);
        // Kills spread over the 20 ms after the writer's first save, however long a loaded machine
        // takes to start it.
        pollfd first{saved[0], POLLIN, 0};
        ::poll(&first, 1, 10000);
        ::close(saved[0]);
        ::usleep(static_cast<useconds_t>(round * 7919 % 20000));
        // A wait of no time kills the writer wherever it is.
        ASSERT_FALSE(writer.Wait(0ms)) << "round " << round << ": the writer ended by itself";
        std::string now = ReadFile(path);
        ASSERT_TRUE(whole.count(now)) << "round " << round << ": " << now.size() << " bytes of no whole version";
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            std::string name = entry.path().filename().string();
            if (name.rfind("poremisu.ini.", 0) == 0 && name != "poremisu.ini.lock") leftOver += fs::remove(entry);
        }
    }
    EXPECT_GT(leftOver, 0) << "no kill hit a write in progress: the test proved nothing";

    WriteFile(dir / "poremisu.ini.tmp-a1B2c3", "stale");
    WriteFile(dir / "poremisu.ini.backup", "the user's");
    PosixProfileStore store;
    ASSERT_TRUE(store.Write(link, "setting", "NEWURL", "new"));
    EXPECT_FALSE(fs::exists(dir / "poremisu.ini.tmp-a1B2c3"));
    EXPECT_EQ(ReadFile(dir / "poremisu.ini.backup"), "the user's");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";

    // Root saving a user's settings first leaves them the user's to save: the lock root made serves both.
    if (::geteuid() == 0) {
        const std::string home = dir / "home", own = home + "/poremisu.ini";
        fs::create_directory(home);
        WriteFile(own, "[s]\r\nk=v\r\n");
        ASSERT_EQ(::chown(home.c_str(), 65534, 65534) | ::chown(own.c_str(), 65534, 65534), 0);
        EXPECT_TRUE(store.Write(own, "s", "k", "root"));
        auto owner = [&] {
            return testing::GiveUpRoot() && PosixProfileStore().Write(own, "s", "k", "owner") ? 0 : 1;
        };
        EXPECT_EQ(Child(owner).Wait(10s), 0) << "1: the owner's save was refused";
        EXPECT_EQ(ReadFile(own), "[s]\r\nk=owner\r\n");
    }

    // A file over the bound is not ours and stays as it is; nor is a value written that would take the
    // file past it, where no later write could rewrite it.
    const std::string big(PosixProfileStore::kMaxRewriteBytes + 1, 'z');
    const std::pair<std::string, std::string> tooLarge[] = {{big, "v"}, {"[s]\r\nk=v\r\n", big}};
    for (const auto& [content, value] : tooLarge) {
        WriteFile(path, content);
        std::string reason;
        EXPECT_FALSE(store.Write(path, "s", "k", value, &reason)) << value.size();
        EXPECT_EQ(reason, std::strerror(EFBIG)) << value.size();
        EXPECT_TRUE(ReadFile(path) == content) << value.size();
    }
}

}  // namespace
}  // namespace poremisu
