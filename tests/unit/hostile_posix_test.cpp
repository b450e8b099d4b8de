// Hostile folders on Linux: names no other system allows, files that cannot be read whole,
// folder paths past every bound, and what may stand where a page is written.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <optional>
#include <set>

#include "unit/posix_test_support.h"

namespace poremisu {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Link;
using test::ReadFile;
using test::Rig;
using test::WriteFile;

enum class Kind { File, Folder, Fifo, Link };

// Every kind of entry a folder can hold: the listing counts them all, gives each name an href that
// leads to that very entry, reads no file it cannot read whole, and never waits on one.
TEST(HostileListing, EveryNameIsEscapedAndNoFileHoldsTheListing) {
    const std::string mark = test::U8(u8"○");
    const struct {
        std::string name;
        Kind kind;
        std::string target, line;  // the link's; "" for no line
    } entries[] = {
        {"cr\rfolder", Kind::Folder, "", mark + Link("cr%0Dfolder", "cr&#13;folder")},
        // Every href leads to that very entry, never out of the folder or into a script.
        {"javascript:document.title=1;x.htm", Kind::File, "",
         Link("./javascript:document.title=1;x.htm", "javascript:document.title=1;x.htm")},
        {"a#b?c:d%41.htm", Kind::File, "", Link("a%23b%3Fc:d%2541.htm", "a#b?c:d%41.htm")},
        {"..\\..\\up.htm", Kind::File, "", Link("..%5C..%5Cup.htm", "..\\..\\up.htm")},
        {" blank.htm", Kind::File, "", Link("%20blank.htm", " blank.htm")},
        // A byte that is no text would read as another character, naming another file.
        {"x\xFF.htm", Kind::File, "", Link("x%FF.htm", "x\xFF.htm")},
        {"pipe.url", Kind::Fifo, "", ""},
        {"zero.url", Kind::Link, "/dev/zero", ""},
        {"dangling.url", Kind::Link, "missing-target", ""},
    };
    Rig rig;
    const std::string folder = rig.dir / "hostile";
    fs::create_directory(folder);
    std::multiset<std::string> expected{mark + Link("."), mark + Link(".."), Link("Favorites.htm")};
    for (const auto& e : entries) {
        const std::string path = folder + "/" + e.name;
        if (e.kind == Kind::Folder) fs::create_directory(path);
        ASSERT_TRUE(e.kind != Kind::Fifo || ::mkfifo(path.c_str(), 0644) == 0);
        if (e.kind == Kind::Link) fs::create_symlink(e.target, path);
        if (e.kind == Kind::File) WriteFile(path, "");
        if (!e.line.empty()) expected.insert(e.line);
    }
    // Root lists a user's folder over the page the user left there: the folder's owner's file is rewritten.
    WriteFile(folder + "/Favorites.htm", "the user's stale page");
    for (const std::string& path : {folder, folder + "/Favorites.htm"}) {
        ASSERT_TRUE(::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0);
    }
    // In a child, so that a listing that waits on an entry is ended.
    auto list = [&] {
        std::int32_t listed = DirectoryLister(rig.state, rig.texts, rig.services.files, rig.services.profiles).WriteDirectoryPage("Favorites.htm", folder);
        return listed == static_cast<std::int32_t>(std::size(entries)) + 3 ? 0 : 100 + listed;
    };
    ASSERT_EQ(testing::Child(list).Wait(20s), 0) << "100 + n: n entries counted, none: hung";
    EXPECT_EQ(test::PageLines(ReadFile(folder + "/Favorites.htm")), expected);
}

enum class Page { Listing, History };
enum class Obstacle { LinkToFile, DanglingLink, Fifo, HardLink, OthersFile, ReadOnlyFolder, FullDisk, TornLine, WriteOnly };

// What stands at the name of a page the program writes, or around it: nothing is written through a
// link or into a pipe, no write waits, no torn line stays behind or has the next glued onto it, and a
// listing that could not be written whole is never shown; the program's own page says why, naming the
// folder.
TEST(HostilePageFiles, NoLinkPipeReadOnlyFolderOrFullDiskLosesDataOrShowsAStalePage) {
    using enum Obstacle;
    using fs::file_type;
    const std::string stale = "<script>document.title='stale'</script>\r\n", torn = "<a href=\"http://torn.exa";
    const std::string lostUrl = "http://lost.example/" + std::string(100, 'x');
    const std::string lost = Link(lostUrl, "lost") + "\r\n", next = Link("http://next.example/", "next") + "\r\n";
    const struct {
        Page page;
        Obstacle obstacle;
        std::string Texts::*reason;
        file_type typeAfter;  // of the page's name
        std::optional<std::string> after = std::nullopt;  // the page's bytes, where they are known
    } cases[] = {
        {Page::Listing, LinkToFile, &Texts::listingFailedNotAFile, file_type::symlink},
        {Page::Listing, Fifo, &Texts::listingFailedNotAFile, file_type::fifo},
        {Page::Listing, HardLink, &Texts::listingFailedNotAFile, file_type::regular},
        {Page::Listing, OthersFile, &Texts::listingFailedForeign, file_type::regular, stale},
        {Page::Listing, ReadOnlyFolder, &Texts::listingFailedDenied, file_type::regular},
        {Page::Listing, FullDisk, &Texts::listingFailedFull, file_type::regular},
        {Page::History, LinkToFile, nullptr, file_type::symlink},
        {Page::History, DanglingLink, nullptr, file_type::symlink},
        // Whole lines only: the history loses the line that did not fit, and a torn line stays on its own.
        {Page::History, FullDisk, nullptr, file_type::regular, stale + next},
        {Page::History, TornLine, nullptr, file_type::regular, torn + "\r\n" + lost + next},
        {Page::History, WriteOnly, nullptr, file_type::regular, stale + lost + next},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.page)) + "/" + std::to_string(int(c.obstacle)));
        Rig rig;
        const std::string folder = rig.dir / "f", target = rig.dir / "notes.txt";
        fs::create_directory(folder);
        for (int i = 0; i < 40; ++i) WriteFile(folder + "/page" + std::to_string(i) + ".htm", "");
        WriteFile(target, "IMPORTANT");
        const std::string name = c.page == Page::Listing ? folder + "/Favorites.htm" : rig.state.historyPath;
        switch (c.obstacle) {
        case LinkToFile: fs::create_symlink(target, name); break;
        case DanglingLink: fs::create_symlink(rig.dir / "created", name); break;
        case Fifo: ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0); break;
        case HardLink: fs::create_hard_link(target, name); break;
        case OthersFile:
            // Another user's, open to all, in a folder open to all (a sticky /tmp): they could change it
            // between its writing and its showing. Only root can give a file away.
            WriteFile(name, stale);
            if (::chown(name.c_str(), 65534, 65534) != 0) continue;
            ::chmod(name.c_str(), 0666);
            ::chmod(folder.c_str(), 01777);
            break;
        case ReadOnlyFolder:
            // The page too: its owner could still write it in place, and would rightly list the folder.
            WriteFile(name, stale);
            for (const std::string& path : {name, folder}) {
                fs::permissions(path, fs::perms::owner_write | fs::perms::others_write, fs::perm_options::remove);
            }
            break;
        case FullDisk: WriteFile(name, stale); break;
        // What a process killed inside its write leaves: the kernel may stop a write at a page's end.
        case TornLine: WriteFile(name, torn); break;
        // A log its writer may not read (written by another user who is not in this one's way).
        case WriteOnly: WriteFile(name, stale), ::chmod(name.c_str(), 0602); break;
        }
        auto run = [&] {
            if ((c.obstacle == ReadOnlyFolder || c.obstacle == WriteOnly) && !testing::GiveUpRoot()) return 90;
            if (c.obstacle == FullDisk) {
                // Room for a few of the page's lines, or for part of a history line.
                ::signal(SIGXFSZ, SIG_IGN);
                rlim_t room = c.page == Page::Listing ? 300 : stale.size() + 40;
                rlimit limit{room, RLIM_INFINITY};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 91;
            }
            if (c.page == Page::History) {
                History(rig.state, rig.texts, rig.services.files).AppendHistoryLink(lostUrl, "lost");
                rlimit none{RLIM_INFINITY, RLIM_INFINITY};
                ::setrlimit(RLIMIT_FSIZE, &none);
                History(rig.state, rig.texts, rig.services.files).AppendHistoryLink("http://next.example/", "next");
                return 0;
            }
            rig.browser.locationUrl = "file://" + folder + "/";
            rig.window.Events().OnDocumentComplete();
            if (!rig.browser.navigations.empty()) return 1;
            if (rig.browser.shownPages.size() != 1) return 2;
            const std::string& shown = rig.browser.shownPages[0];
            return 3 * !Contains(shown, folder) + 6 * !Contains(shown, rig.texts.*c.reason);
        };
        EXPECT_EQ(testing::Child(run).Wait(10s), 0)
            << "1 navigated, 2 no page shown, 3/6/9 folder/reason missing, 90/91 no setup, none: hung";
        // The link and what it leads to, the pipe and the other name are as they were.
        EXPECT_EQ(ReadFile(target), "IMPORTANT");
        EXPECT_FALSE(test::FileExists(rig.dir / "created"));
        EXPECT_EQ(fs::symlink_status(name).type(), c.typeAfter);
        const std::string now = c.typeAfter == file_type::regular ? ReadFile(name) : "";
        if (c.after) {
            EXPECT_EQ(now, *c.after);
        }
        // A listing on a full disk lost its last lines, whole.
        if (c.obstacle == FullDisk && c.page == Page::Listing) {
            EXPECT_TRUE(now.size() > 2 && now.size() <= 300 && now.ends_with("\r\n")) << now;
        }
        fs::permissions(folder, fs::perms::all);
    }
}

// A folder path of the 999 bytes a listing takes, and one a byte longer: that one is neither listed
// nor entered, and no other folder's page is written in its stead; the program's page says why.
TEST(HostileListing, AFolderPathPastTheBoundIsRefused) {
    for (std::size_t bytes : {999u, 1000u}) {
        Rig rig;
        std::string deep = rig.dir.Path();
        // Folders of 200 bytes, then one of what is left, which is never none nor past a name's bound.
        while (bytes - deep.size() > 202) deep += "/" + std::string(200, 'd');
        deep += "/" + std::string(bytes - deep.size() - 1, 'e');
        fs::create_directories(deep);
        fs::current_path(rig.dir.Path());

        rig.browser.locationUrl = "file://" + deep;
        rig.window.Events().OnDocumentComplete();
        const bool listed = bytes < 1000;
        EXPECT_EQ(test::FileExists(deep + "/Favorites.htm"), listed) << bytes;
        // Never the page before, nor the engine's own view of the folder.
        EXPECT_EQ(rig.browser.navigations, std::vector<std::string>(listed, deep + "/Favorites.htm")) << bytes;
        EXPECT_EQ(rig.browser.shownPages.size(), listed ? 0u : 1u) << bytes;
        if (!listed) {
            EXPECT_NE(rig.browser.shownPages.at(0).find(rig.texts.listingFailedTooLong), std::string::npos);
        }
        if (!listed) { EXPECT_EQ(DirectoryLister(rig.state, rig.texts, rig.services.files, rig.services.profiles).WriteDirectoryPage("Favorites.htm", deep), 0) << bytes; }
        EXPECT_EQ(test::Cwd(), listed ? deep : rig.dir.Path()) << bytes;
    }
}

}  // namespace
}  // namespace poremisu
