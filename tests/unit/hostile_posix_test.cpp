// Hostile folders and crashes on Linux: names no other system allows, files that cannot or must not
// be read, folder paths past every bound, and a settings write killed at any moment.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "platform/posix/PosixProfileStore.h"
#include "unit/posix_test_support.h"

namespace poremisu {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ReadFile;
using test::Rig;
using test::Shortcut;
using test::WriteFile;

std::string Link(const std::string& address, const std::string& text = "") {
    return "<a href=\"" + address + "\">" + (text.empty() ? address : text) + "</a><br>";
}

enum class Kind { File, Folder, Fifo, Unreadable, Link };

// Every kind of entry a folder can hold: the listing counts them all, escapes every name and address
// it writes, reads no file it may not or cannot read whole, and never waits on one.
TEST(HostileListing, EveryNameIsEscapedAndNoFileHoldsTheListing) {
    const std::string mark = test::U8(u8"○");
    std::string binary;  // 64 KiB of scattered bytes, zeros among them
    for (std::uint32_t i = 0; i < 65536; ++i) binary += static_cast<char>(i * 2654435761u >> 13);
    const struct {
        std::string name;
        Kind kind;
        std::string content, line;  // the file's content or the link's target; "" for no line
    } entries[] = {
        {"<b>bold.htm", Kind::File, "", Link("&lt;b&gt;bold.htm")},
        {"a\"b'c&d.htm", Kind::File, "", Link("a&quot;b&#39;c&amp;d.htm")},
        {"two\nlines.htm", Kind::File, "", Link("two&#10;lines.htm")},
        {"cr\rfolder", Kind::Folder, "", mark + Link("cr&#13;folder")},
        {"<i>folder\"", Kind::Folder, "", mark + Link("&lt;i&gt;folder&quot;")},
        {"Evil.url", Kind::File, Shortcut("http://x/\"><script>alert(1)</script>"),
         Link("http://x/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;", "Evil")},
        {"blob.bin", Kind::File, binary, ""},
        {"blob.url", Kind::File, binary, ""},
        {"notes.txt", Kind::File, Shortcut("http://inside.example/"), Link("http://inside.example/", "notes.txt")},
        {"pipe.url", Kind::Fifo, "", ""},
        {"zero.url", Kind::Link, "/dev/zero", ""},
        {"dangling.url", Kind::Link, "missing-target", ""},
        {"secret.url", Kind::Unreadable, Shortcut("http://secret.example/"), ""},
        {"locked.htm", Kind::Unreadable, Shortcut("http://locked.example/"), Link("locked.htm")},
    };
    Rig rig;
    const std::string folder = rig.dir / "hostile";
    fs::create_directory(folder);
    std::multiset<std::string> expected{mark + Link("."), mark + Link(".."), Link("Favorites.htm")};
    for (const auto& e : entries) {
        const std::string path = folder + "/" + e.name;
        if (e.kind == Kind::Folder) fs::create_directory(path);
        ASSERT_TRUE(e.kind != Kind::Fifo || ::mkfifo(path.c_str(), 0644) == 0);
        if (e.kind == Kind::Link) fs::create_symlink(e.content, path);
        if (e.kind == Kind::File || e.kind == Kind::Unreadable) WriteFile(path, e.content);
        if (e.kind == Kind::Unreadable) fs::permissions(path, fs::perms::none);
        if (!e.line.empty()) expected.insert(e.line);
    }
    // Root reads every file whatever its mode: the listing then runs in a child that gave root up.
    fs::permissions(folder, fs::perms::all);
    auto list = [&] {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 90;
        }
        std::int32_t listed = rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder);
        return listed == static_cast<std::int32_t>(std::size(entries)) + 3 ? 0 : 100 + listed;
    };
    std::optional<int> result = ::getuid() == 0 ? testing::RunInChild(list, 20s) : std::optional<int>(list());
    ASSERT_EQ(result, 0) << "90: could not give up root, 100 + n: n entries counted, none: killed or hung";
    const std::string page = ReadFile(folder + "/Favorites.htm");
    std::multiset<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = page.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.insert(page.substr(begin, end - begin));
    }
    EXPECT_EQ(begin, page.size()) << "the page does not end with a whole line";
    EXPECT_EQ(lines, expected);
}

// A folder path under, at and past the 999 bytes a listing takes: one too long is neither listed nor
// entered, and no other folder's page is written in its stead.
TEST(HostileListing, AFolderPathPastTheBoundIsRefused) {
    for (std::size_t bytes : {999u, 1000u, 2000u}) {
        Rig rig;
        testing::CurrentDirectoryGuard guard;
        std::string deep = rig.dir.Path();
        while (deep.size() < bytes) {
            std::size_t segment = std::min<std::size_t>(200, bytes - deep.size() - 1);
            if (bytes - deep.size() - 1 - segment == 1) --segment;  // no lone byte and slash left over
            deep += "/" + std::string(segment, 'd');
        }
        ASSERT_EQ(deep.size(), bytes);
        fs::create_directories(deep);
        fs::current_path(rig.dir.Path());

        rig.browser.locationUrl = "file://" + deep;
        rig.window.Events().OnDocumentComplete();
        const bool listed = bytes < 1000;
        EXPECT_EQ(test::FileExists(deep + "/Favorites.htm"), listed) << bytes;
        EXPECT_FALSE(test::FileExists(rig.dir / "Favorites.htm")) << bytes;
        EXPECT_TRUE(rig.browser.navigations.empty()) << bytes;  // the page's path is past 260 bytes
        if (!listed) { EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", deep), 0) << bytes; }
        EXPECT_EQ(test::Cwd(), listed ? deep : rig.dir.Path()) << bytes;
    }
}

// The settings file is replaced whole by a rename: a writer killed at any moment leaves the old file
// or the new one; the next save clears a temporary a kill left, and nothing of the user's.
TEST(HostileSettingsCrash, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    test::TempDir dir;
    const std::string path = dir / "poremisu.ini";
    // Large enough that a write takes a while, so that kills land inside it.
    const std::string old = "[setting]\r\nnewurl=" + std::string(1 << 18, 'n') + "\r\nwin=0:1:0:0:0:0:1:1:2:2\r\n";
    WriteFile(path, old);
    const std::string values[] = {"1:1:-1:-1:-1:-1:10:10:500:400", "2:3:-1:-1:-1:-1:20:20:600:500"};
    std::set<std::string> whole{old};
    for (const std::string& value : values) whole.insert(old.substr(0, old.find("win=") + 4) + value + "\r\n");

    int leftOver = 0;
    for (int round = 0; round < 40; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixProfileStore store;
            for (unsigned i = 0;; ++i) store.Write(path, "setting", "win", values[i % 2]);
        }
        ::usleep(static_cast<useconds_t>(round * 7919 % 20000));  // kills spread over 20 ms
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);
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
    ASSERT_TRUE(store.Write(path, "setting", "newurl", "x"));
    EXPECT_FALSE(fs::exists(dir / "poremisu.ini.tmp-a1B2c3"));
    EXPECT_EQ(ReadFile(dir / "poremisu.ini.backup"), "the user's");
}

}  // namespace
}  // namespace poremisu
