// Starting the program: later starts handing their argument over to the running window (a shortcut
// that is a pipe among them), the window's placement kept from one run to the next, and the program
// installed. The page alone in the bare window is the layout test's first step.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <cstdlib>
#include <sstream>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

using HandOffTest = ProgramTest;

// A start on a shortcut that is no file (a pipe that nobody writes) opens a window at once, titled
// with the product word from its first moment, so that later starts find it. Twenty of them at once,
// started before that window shows, wait for it and take turns: each one's "newurl" is read by the
// running window before the next one overwrites it, every one of them is answered, and the window
// shows the newest address.
// A later start's address replaces a page still loading at once (idle ticks a minute apart make sure
// nothing waits for one); the start exits 0 only once the running window took its address, otherwise
// it says why and exits non-zero, and no window of its own opens. A copy of the program in another
// folder is another program: it runs its own window and leaves the first one's alone.
TEST_F(HandOffTest, LaterStartsHandTheirArgumentsToAWindowStartedOnAPipeOrSayWhyAndACopyElsewhereRunsItsOwn) {
    UseTestHooks(60000);
    const std::string pipe = PagePath("Pipe.url").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    std::vector<Process*> starts;
    for (int i = 10; i < 30; ++i) WritePage(std::to_string(i) + ".htm", "Handed " + std::to_string(i));
    Process& first = Start({pipe});
    // It holds the instance once its lock file is there: the later starts come before its window shows.
    ASSERT_TRUE(WaitUntil(10s, [&] {
        for (const auto& entry : std::filesystem::directory_iterator(Folder() / "runtime")) {
            if (!entry.path().string().ends_with(".handoff.lock") && entry.path().extension() == ".lock") return true;
        }
        return false;
    }));
    for (int i = 10; i < 30; ++i) starts.push_back(&Start({PageUrl(std::to_string(i) + ".htm")}));
    XWindow window = WaitForTitled(kProductWord, 30s);
    ASSERT_NE(window, 0u);
    // A start that opened a window of its own would still run.
    for (Process* start : starts) EXPECT_EQ(start->WaitExit(90s), 0) << start->Pid() << " failed\n" << Logs();
    std::string newest = SettingsValue("newurl").value_or("");
    ASSERT_EQ(newest.rfind(PageUrl(""), 0), 0u) << newest;
    const std::string handed = BareTitle("Handed " + newest.substr(PageUrl("").size(), 2));
    EXPECT_TRUE(WaitForTitle(window, handed));

    // A page that never comes: the address being opened shows in the title meanwhile. A start with an
    // empty address loads nothing, so when the server goes the failure still reaches the title.
    auto silent = std::make_unique<SilentServer>();
    HandOff(silent->Url("/slow"));
    EXPECT_TRUE(WaitForTitle(window, handed + "Opening " + silent->Url("/slow") + "..."));
    HandOff("");
    silent.reset();
    EXPECT_TRUE(WaitForTitle(window, BareTitle("This page cannot be shown")));

    WritePage("beta.htm", "Beta");
    // The whole argument in double quotes, as a desktop launcher passes a path with blanks.
    std::string quoted = "\"" + PagePath("beta.htm").string() + "\"";
    auto started = Clock::now();
    HandOff(quoted);
    EXPECT_LT(Clock::now() - started, 10s);
    // The running window reads it without the quotes and loads the page; that the settings file keeps
    // them is the core's hand-off table's.
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Beta")));
    // A host that refuses the connection (a port just freed) gets the program's error page.
    HandOff(SilentServer().Url("/"));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("This page cannot be shown")));
    // So does a port the engine refuses to reach.
    HandOff(quoted);
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Beta")));
    HandOff("http://127.0.0.1:6000/");
    EXPECT_TRUE(WaitForTitle(window, BareTitle("This page cannot be shown")));

    auto refused = [&](const std::string& says) {
        SCOPED_TRACE(says);
        Process& later = Start({PageUrl("beta.htm")});
        // Still running (no exit code) would mean a window of its own.
        EXPECT_NE(later.WaitExit(30s).value_or(0), 0) << Logs();
        EXPECT_NE(later.Log().find(says), std::string::npos) << later.Log();
    };
    // The settings file not writable; the window not answering.
    const std::filesystem::path ini = ProgramDir() / "poremisu.ini";
    std::filesystem::remove(ini);
    std::filesystem::create_directory(ini);
    refused("poremisu.ini: Is a directory");
    std::filesystem::remove(ini);
    ::kill(first.Pid(), SIGSTOP);
    refused("did not take the address");
    ::kill(first.Pid(), SIGCONT);

    const std::filesystem::path copy = Folder() / "work" / "poremisu";
    std::filesystem::copy_file(ProgramDir() / "poremisu", copy);
    Process& other = Spawn({copy.string(), WritePage("gamma.htm", "Gamma")});
    XWindow own = WaitForTitled(BareTitle("Gamma"), 30s);  // the copy's own window
    EXPECT_TRUE(own && own != window);
    EXPECT_TRUE(other.Running() && first.Running());
}

// Closing stores "win"; the next start puts the window back where it was.
struct PlacementTest : ProgramTest, ::testing::WithParamInterface<WindowManager> {
    PlacementTest() : ProgramTest(GetParam()) {}

    // Closes as the close button does and returns the stored fields.
    std::vector<int> CloseAndReadPlacement(Process& program, XWindow window) {
        SendDeleteWindow(X(), window);
        EXPECT_EQ(program.WaitExit(15s), 0) << "the program did not end after the close request\n" << Logs();
        std::vector<int> fields;
        std::istringstream win(SettingsValue("win").value_or(""));
        for (std::string field; std::getline(win, field, ':');) fields.push_back(std::atoi(field.c_str()));
        return fields;
    }
};

// A rectangle as {x, y, width, height}, so that a failure shows it.
std::vector<int> Place(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

bool Near(const std::vector<int>& a, const std::vector<int>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](int x, int y) { return std::abs(x - y) <= 4; });
}

// A stored rectangle that overflows 32 bits, or lies off the 1280 x 1024 screen, gives way to the
// template's size, centred; each way a rectangle is refused is a row of the unit tests.
TEST_P(PlacementTest, ARefusedPlacementOpensCentredAndACloseStoresTheOneTheNextStartRestores) {
    const bool bare = GetParam() == WindowManager::Off;
    WriteFile(ProgramDir() / "poremisu.ini",
              std::string("[setting]\r\nwin=0:1:-1:-1:-1:-1:") +
                  (bare ? "1200:900:1900:1500" : "99999999999:99999999999:-99999999999:-99999999999") + "\r\n");
    std::string url = WritePage("place.htm", "Placement");
    Process* program = nullptr;
    XWindow window = StartOn(url, "Placement", &program);
    ASSERT_NE(window, 0u);
    // Under a window manager the frame, not the client area, is centred.
    const int off = bare ? 1 : 30;
    Rect r;
    EXPECT_TRUE(WaitUntil(5s, [&] {
        r = ClientRect(X(), window);
        return r.width >= 300 && r.height >= 250 && std::abs(r.x + r.width / 2 - 640) <= off &&
               std::abs(r.y + r.height / 2 - 512) <= off;
    })) << ::testing::PrintToString(Place(r));
    const std::string id = std::to_string(window);
    Xdotool({"windowmove", id, "40", "60", "windowsize", id, "640", "480"});
    std::vector<int> moved;
    ASSERT_TRUE(WaitUntil(10s, [&] {
        moved = Place(ClientRect(X(), window));
        return moved[2] == 640 && moved[3] == 480;
    })) << "the window did not take the size it was given: " << ::testing::PrintToString(moved);

    std::vector<int> win = CloseAndReadPlacement(*program, window);
    ASSERT_EQ(win.size(), 10u) << Settings();
    window = StartOn(url, "Placement", &program);
    ASSERT_NE(window, 0u);
    std::vector<int> restored;
    EXPECT_TRUE(WaitUntil(10s, [&] { return Near(restored = Place(ClientRect(X(), window)), moved); }))
        << ::testing::PrintToString(restored) << " restored, closed at " << ::testing::PrintToString(moved);
    // Closing the restored window stores the same placement: nothing drifts
    // by the frame's size from one start to the next.
    EXPECT_PRED2(Near, CloseAndReadPlacement(*program, window), win);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, PlacementTest,
                         ::testing::Values(WindowManager::Off, WindowManager::Openbox),
                         [](auto& info) { return info.param == WindowManager::Off ? "Bare" : "Openbox"; });

// Installed ----------------------------------------------------------------------------

// The words that run a command as nobody, when the tests run as root, so that the program's folder is
// one its user may not write; the test's folders are made nobody's for it.
std::vector<std::string> AsNobody(const std::filesystem::path& folder) {
    if (::getuid() != 0) return {};
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    for (const char* sub : {"home", "runtime", "work", "pages"}) {
        EXPECT_EQ(::chown((folder / sub).c_str(), 65534, 65534), 0) << sub;
    }
    return {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
}

// Installed into a fresh prefix, the program runs from there and takes the
// links the desktop hands it through its .desktop file. Its files stay beside
// it in a folder it may write; otherwise they go to the user's own folders.
class InstallTest : public ProgramTest, public ::testing::WithParamInterface<bool> {};

TEST_P(InstallTest, RunsFromThePrefixAndTakesTheDesktopsLinks) {
    namespace fs = std::filesystem;
    const bool readOnly = GetParam();
    const fs::path prefix = Folder() / "prefix";
    Process install({POREMISU_CMAKE, "--install", POREMISU_BUILD_DIR, "--prefix", prefix.string()}, {}, Folder(),
                    Folder() / "install.log");
    ASSERT_EQ(install.WaitExit(60s), 0) << install.Log();
    const fs::path desktop = prefix / "share" / "applications" / "poremisu.desktop";
    const fs::path folder = fs::canonical(prefix / "bin" / "poremisu").parent_path();
    for (const fs::path& file : {folder / "poremisu-window.so", folder / "readme.txt", desktop,
                                 prefix / "share" / "icons" / "hicolor" / "48x48" / "apps" / "poremisu.png"}) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    const std::string entry = ReadFile(desktop);
    for (const std::string& line : {"Exec=" + (prefix / "bin" / "poremisu").string() + " %u\n",
                                   std::string("Categories=Network;WebBrowser;\n"),
                                   std::string("MimeType=text/html;application/xhtml+xml;x-scheme-handler/http;"
                                               "x-scheme-handler/https;\n")}) {
        EXPECT_NE(entry.find(line), std::string::npos) << line << "\n" << entry;
    }

    // A folder the user may not write: as root, the program runs as nobody.
    std::vector<std::string> as;
    if (readOnly) {
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
        as = AsNobody(Folder());
    }
    auto run = [&](std::vector<std::string> arguments) -> Process& {
        arguments.insert(arguments.begin(), as.begin(), as.end());
        return Spawn(arguments);
    };
    const std::string firstPage = WritePage("first.htm", "First"), second = WritePage("second.htm", "Second");
    Process& first = run({(prefix / "bin" / "poremisu").string(), firstPage});
    XWindow window = WaitForWindow();
    ASSERT_TRUE(window && WaitForTitle(window, BareTitle("First")));
    EXPECT_EQ(run({"gio", "launch", desktop.string(), second}).WaitExit(30s), 0) << Logs();
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Second")));

    const fs::path home = Folder() / "home";
    const fs::path settings = readOnly ? home / ".config" / "poremisu" : folder;
    const fs::path history = (readOnly ? home / ".local" / "share" / "poremisu" : folder) / "WindowTitleHis.htm";
    EXPECT_TRUE(WaitUntil(10s, [&] { return ReadFile(history).find("Second</a>") != std::string::npos; }))
        << ReadFile(history);
    // The desktop hands a local file over as its path.
    EXPECT_NE(ReadFile(settings / "poremisu.ini").find("newurl=" + PagePath("second.htm").string()), std::string::npos)
        << ReadFile(settings / "poremisu.ini");

    // A login outlives the run; what sites store is the user's alone, beside the history. The page
    // process runs in a sandbox: a mount namespace of its own.
    HttpServer site({{"/login", "HTTP/1.1 200 OK\r\nSet-Cookie: session=kept; Max-Age=2592000; Path=/\r\n"
                                "Content-Type: text/html\r\nConnection: close\r\n\r\n" + Page("Logged in")},
                     {"/who", "<script>document.title = 'who ' + document.cookie</script>"}});
    Process& running = run({(prefix / "bin" / "poremisu").string(), site.Url("/login")});
    EXPECT_EQ(running.WaitExit(30s), 0) << Logs();
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Logged in")));
    std::vector<std::string> mounts;
    for (pid_t pid : DescendantsOf(first.Pid())) {
        if (ReadFile("/proc/" + std::to_string(pid) + "/comm").starts_with("WebKitWebProces")) {
            mounts.push_back(fs::read_symlink("/proc/" + std::to_string(pid) + "/ns/mnt").string());
        }
    }
    EXPECT_FALSE(mounts.empty());
    for (const std::string& mount : mounts) EXPECT_NE(mount, fs::read_symlink("/proc/self/ns/mnt").string());
    ::kill(first.Pid(), SIGTERM);
    EXPECT_EQ(first.WaitExit(15s), 0) << Logs();
    Process& again = run({(prefix / "bin" / "poremisu").string(), site.Url("/who")});
    window = WaitForWindow();
    EXPECT_TRUE(window && WaitForTitle(window, BareTitle("who session=kept")));
    // Chosen as the browser, it takes the links every opener hands it, xdg-open's too.
    SetEnvironment("XDG_DATA_DIRS=" + (prefix / "share").string() + ":/usr/local/share:/usr/share");
    EXPECT_EQ(run({"xdg-mime", "default", "poremisu.desktop", "x-scheme-handler/http"}).WaitExit(30s), 0) << Logs();
    EXPECT_EQ(run({"xdg-open", site.Url("/login")}).WaitExit(30s), 0) << Logs();
    EXPECT_TRUE(window && WaitForTitle(window, BareTitle("Logged in")));
    const fs::path data = (readOnly ? home / ".local" / "share" / "poremisu" : folder) / "site-data";
    const fs::path cache = (readOnly ? home / ".cache" / "poremisu" : folder) / "site-cache";
    for (const auto& [path, mode] : {std::pair{data, 0700}, {data / "cookies.sqlite", 0600}, {cache, 0700}}) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 0777, static_cast<unsigned>(mode)) << path;
    }

    // Where the sandbox cannot be made (no user namespace for it), no page runs unconfined: the
    // program says why, in a box and on standard error, and ends with a failure.
    ::kill(again.Pid(), SIGTERM);
    EXPECT_EQ(again.WaitExit(15s), 0) << Logs();
    Process& unconfined = run({"unshare", "--user", (prefix / "bin" / "poremisu").string(), firstPage});
    XWindow box = WaitForTitled("poremisu");
    ASSERT_NE(box, 0u) << Logs();
    SendDeleteWindow(X(), box);
    EXPECT_EQ(unconfined.WaitExit(15s), 1) << Logs();
    EXPECT_NE(unconfined.Log().find("cannot be sandboxed"), std::string::npos) << unconfined.Log();

    // With no window running, xdg-open starts one; gio open hands the next link to it.
    run({"xdg-open", site.Url("/who")});
    window = WaitForWindow();
    EXPECT_TRUE(window && WaitForTitle(window, BareTitle("who session=kept")));
    EXPECT_EQ(run({"gio", "open", site.Url("/login")}).WaitExit(30s), 0) << Logs();
    EXPECT_TRUE(window && WaitForTitle(window, BareTitle("Logged in")));
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
}

// On a Wayland desktop (Weston, headless) the window runs through XWayland: shown with its title,
// it takes a later start's address within the usual bound.
struct WaylandTest : ProgramTest {
    WaylandTest() : ProgramTest(WindowManager::Weston) {}
};

TEST_F(WaylandTest, TheWindowRunsThroughXWaylandAndTakesAHandOff) {
    XWindow window = StartOn(WritePage("first.htm", "First"), "First");
    ASSERT_NE(window, 0u) << Logs();
    auto started = Clock::now();
    HandOff(WritePage("second.htm", "Second"));
    EXPECT_LT(Clock::now() - started, 10s);
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Second")));
}

// The Debian package (scripts/package, named by POREMISU_DEB), unpacked into a root of its own: its
// program, run as a user who may not write its folder, shows a page, takes a later start's address
// and keeps its files in the user's folders.
class PackageTest : public ProgramTest {};

TEST_F(PackageTest, TheUnpackedProgramShowsAPageAndTakesAHandOff) {
    namespace fs = std::filesystem;
    const char* deb = std::getenv("POREMISU_DEB");
    if (!deb || !*deb) GTEST_SKIP() << "POREMISU_DEB names no package (scripts/package makes one)";
    const fs::path root = Folder() / "root";
    Process unpack({"dpkg-deb", "-x", deb, root.string()}, {}, Folder(), Folder() / "unpack.log");
    ASSERT_EQ(unpack.WaitExit(60s), 0) << unpack.Log();
    const fs::path program = root / "usr" / "bin" / "poremisu";
    for (const fs::path& file : {root / "usr/share/man/man1/poremisu.1.gz", root / "usr/share/man/ja/man1/poremisu.1.gz",
                                 root / "usr/share/metainfo/org.poremisu.poremisu.metainfo.xml",
                                 root / "usr/share/doc/poremisu/copyright"}) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    const std::vector<std::string> as = AsNobody(Folder());
    auto run = [&](std::vector<std::string> arguments) -> Process& {
        arguments.insert(arguments.begin(), as.begin(), as.end());
        return Spawn(arguments);
    };
    run({program.string(), WritePage("first.htm", "First")});
    XWindow window = WaitForWindow();
    ASSERT_TRUE(window && WaitForTitle(window, BareTitle("First")));
    EXPECT_EQ(run({program.string(), WritePage("second.htm", "Second")}).WaitExit(30s), 0) << Logs();
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Second")));
    const fs::path history = Folder() / "home" / ".local" / "share" / "poremisu" / "WindowTitleHis.htm";
    EXPECT_TRUE(WaitUntil(10s, [&] { return ReadFile(history).find("Second</a>") != std::string::npos; }))
        << ReadFile(history);
}

INSTANTIATE_TEST_SUITE_P(Folders, InstallTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ReadOnly" : "Writable"; });

}  // namespace
}  // namespace poremisu::e2e
