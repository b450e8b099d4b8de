// Hostile folders and crashes on Linux: names no other system allows, files
// that cannot or must not be read, folder paths past every bound, and a
// settings write killed at any moment.

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "fakes/Rig.h"
#include "platform/posix/PosixProfileStore.h"
#include "unit/posix_test_support.h"

namespace poremisu {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ReadFile;
using test::Rig;
using test::WriteFile;

const std::string kMark = test::U8(u8"○");

std::string Shortcut(const std::string& url) { return "[InternetShortcut]\r\nURL=" + url + "\r\n"; }
std::string Link(const std::string& address, const std::string& text) {
    return "<a href=\"" + address + "\">" + text + "</a><br>";
}

std::multiset<std::string> PageLines(const std::string& page) {
    std::multiset<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = page.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.insert(page.substr(begin, end - begin));
    }
    EXPECT_EQ(begin, page.size()) << "the page does not end with a whole line";
    return lines;
}

enum class Kind { File, Folder, Fifo, Unreadable, Link };

// Every kind of entry a folder can hold that the program did not make: the
// listing counts them all, escapes every name and address it writes, reads
// no file it may not or cannot read whole, and never waits on one.
TEST(HostileListing, EveryNameIsEscapedAndNoFileHoldsTheListing) {
    std::string binary(64 * 1024, '\0');
    std::mt19937 random(7);
    for (char& c : binary) c = static_cast<char>(random());
    const struct {
        std::string name;
        Kind kind;
        std::string content;  // file content, or the link's target
        std::string line;     // "" for none
    } entries[] = {
        {"<b>bold.htm", Kind::File, "", Link("&lt;b&gt;bold.htm", "&lt;b&gt;bold.htm")},
        {"a\"b'c&d.htm", Kind::File, "", Link("a&quot;b&#39;c&amp;d.htm", "a&quot;b&#39;c&amp;d.htm")},
        {"two\nlines.htm", Kind::File, "", Link("two&#10;lines.htm", "two&#10;lines.htm")},
        {"cr\rfolder", Kind::Folder, "", kMark + Link("cr&#13;folder", "cr&#13;folder")},
        {"<i>folder\"", Kind::Folder, "", kMark + Link("&lt;i&gt;folder&quot;", "&lt;i&gt;folder&quot;")},
        {"Evil.url", Kind::File, Shortcut("http://x/\"><script>alert(1)</script>"),
         Link("http://x/&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;", "Evil")},
        {"blob.bin", Kind::File, binary, ""},
        {"blob.url", Kind::File, binary, ""},
        {"notes.txt", Kind::File, Shortcut("http://inside.example/"), Link("http://inside.example/", "notes.txt")},
        {"pipe.url", Kind::Fifo, "", ""},
        {"zero.url", Kind::Link, "/dev/zero", ""},
        {"dangling.url", Kind::Link, "missing-target", ""},
        {"secret.url", Kind::Unreadable, Shortcut("http://secret.example/"), ""},
        {"locked.htm", Kind::Unreadable, Shortcut("http://locked.example/"), Link("locked.htm", "locked.htm")},
    };
    Rig rig;
    std::string folder = rig.dir / "hostile";
    fs::create_directory(folder);
    std::multiset<std::string> expected{kMark + Link(".", "."), kMark + Link("..", ".."),
                                        Link("Favorites.htm", "Favorites.htm")};
    for (const auto& e : entries) {
        std::string path = folder + "/" + e.name;
        switch (e.kind) {
        case Kind::File: WriteFile(path, e.content); break;
        case Kind::Folder: fs::create_directory(path); break;
        case Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); break;
        case Kind::Link: fs::create_symlink(e.content, path); break;
        case Kind::Unreadable:
            WriteFile(path, e.content);
            fs::permissions(path, fs::perms::none);
            break;
        }
        if (!e.line.empty()) expected.insert(e.line);
    }
    const std::int32_t count = static_cast<std::int32_t>(std::size(entries)) + 3;

    // Root reads every file whatever its mode: the listing then runs in a
    // child that has given up root, as a user would.
    fs::permissions(folder, fs::perms::all);
    auto list = [&] {
        if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 90;
        }
        std::int32_t listed = rig.window.Lister().WriteDirectoryPage("Favorites.htm", folder);
        return listed == count ? 0 : 100 + listed;
    };
    std::optional<int> result = ::getuid() == 0 ? testing::RunInChild(list, 20s) : std::optional<int>(list());
    ASSERT_EQ(result, 0) << "90: could not give up root, 100 + n: n entries counted, none: killed or hung";
    EXPECT_EQ(PageLines(ReadFile(folder + "/Favorites.htm")), expected);
}

// A folder path under, at and past the 999 bytes a listing takes. One that
// is too long is neither listed nor entered, and no other folder's page is
// written in its stead.
TEST(HostileListing, AFolderPathPastTheBoundIsRefused) {
    for (std::size_t bytes : {999u, 1000u, 2000u}) {
        Rig rig;
        testing::CurrentDirectoryGuard guard;
        std::string deep = rig.dir.Path();
        ASSERT_LT(deep.size() + 2, bytes);
        while (deep.size() < bytes) {
            std::size_t segment = std::min<std::size_t>(200, bytes - deep.size() - 1);
            if (bytes - deep.size() - 1 - segment == 1) --segment;  // no segment of one byte plus its slash left over
            deep += "/" + std::string(segment, 'd');
        }
        ASSERT_EQ(deep.size(), bytes);
        fs::create_directories(deep);
        fs::current_path(rig.dir.Path());

        rig.browser.locationUrl = "file://" + deep;
        rig.browser.locationName = "deep";
        rig.window.Events().OnDocumentComplete();
        bool listed = bytes < 1000;
        EXPECT_EQ(test::FileExists(deep + "/Favorites.htm"), listed) << bytes;
        EXPECT_FALSE(test::FileExists(rig.dir / "Favorites.htm")) << bytes;
        // The page's own path is past 260 bytes either way: it is not shown.
        EXPECT_TRUE(rig.browser.navigations.empty()) << bytes;
        if (listed) {
            EXPECT_EQ(test::Cwd(), deep);
        } else {
            EXPECT_EQ(test::Cwd(), rig.dir.Path()) << bytes;
            EXPECT_EQ(rig.window.Lister().WriteDirectoryPage("Favorites.htm", deep), 0) << bytes;
            EXPECT_EQ(test::Cwd(), rig.dir.Path()) << bytes;
        }
    }
}

// The settings file is replaced whole by a rename: a writer killed at any
// moment leaves the old file or the new one, never a mixture, a part or
// nothing.
TEST(HostileSettingsCrash, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    testing::ScratchDir dir;
    const std::string path = dir / "poremisu.ini";
    // Large enough that a write takes a while, so that kills land inside it.
    const std::string original =
        "[setting]\r\nnewurl=http://start.example/" + std::string(256 * 1024, 'n') + "\r\nwin=0:1:0:0:0:0:1:1:2:2\r\n";
    WriteFile(path, original);
    const std::string values[] = {"1:1:-1:-1:-1:-1:10:10:500:400", "2:3:-1:-1:-1:-1:20:20:600:500"};
    std::set<std::string> whole{original};
    for (const std::string& value : values) {
        std::string version = original;
        version.replace(version.find("win=") + 4, version.rfind("\r\n") - version.find("win=") - 4, value);
        whole.insert(version);
    }

    std::mt19937 random(11);
    int killedInside = 0;
    for (int round = 0; round < 40; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixProfileStore store;
            for (unsigned i = 0;; ++i) store.Write(path, "setting", "win", values[i % 2]);
        }
        ::usleep(static_cast<useconds_t>(random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        std::string now = ReadFile(path);
        ASSERT_TRUE(whole.count(now)) << "round " << round << ": a file of " << now.size() << " bytes that is none "
                                      << "of the whole versions";
        // A kill between the temporary file's creation and its rename leaves
        // that file behind; it never takes the settings file's name.
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            std::string name = entry.path().filename().string();
            if (name.rfind("poremisu.ini.", 0) == 0 && name != "poremisu.ini.lock") {
                ++killedInside;
                fs::remove(entry.path());
            }
        }
    }
    // Some kills must have hit a write in progress, or the test proved nothing.
    EXPECT_GT(killedInside, 0);
    PosixProfileStore store;
    EXPECT_FALSE(store.Read(path, "setting", "win", "", 100).empty());
}

}  // namespace
}  // namespace poremisu
