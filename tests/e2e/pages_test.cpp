// The program's own pages and its pop-up containment. A folder is written out
// as its own "Favorites.htm" and shown instead of the engine's view of it. A page's
// request for a new window sends the main window to the last link address the
// status text showed, and the next download start closes the stray browser
// windows and logs them; a window that will not close holds nothing up. A
// download asks where to save and tells its end in the title. HELP shows the
// readme where the desktop cannot.

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

#include "e2e/Harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace poremisu::e2e {
namespace {

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Listings ---------------------------------------------------------------------

// The address the engine reports for a local path: every byte but the
// unreserved ones and the slashes escaped, hex digits in capitals.
std::string FileUrl(const fs::path& path) {
    std::string url = "file://";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) || std::strchr("/-._~", c)) {
            url += char(c);
        } else {
            url += {'%', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 0xF]};
        }
    }
    return url;
}

// Whether the window's client area shows some of a link's blue: a listing that is drawn.
bool ShowsLinks(Display* display, XWindow window) {
    Rect client = ClientRect(display, window);
    XImage* image = XGetImage(display, window, 0, 0, unsigned(client.width), unsigned(client.height), AllPlanes,
                              ZPixmap);
    bool seen = false;
    for (int y = 0; image && y < client.height && !seen; ++y) {
        for (int x = 0; x < client.width && !seen; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            seen = (pixel & 0xFF) > 0xA0 && ((pixel >> 8) & 0xFF) < 0x40 && ((pixel >> 16) & 0xFF) < 0x40;
        }
    }
    if (image) XDestroyImage(image);
    return seen;
}

class ListingTest : public ProgramTest {
protected:
    ListingTest() : ProgramTest(WindowManager::Openbox) {}
    // Starts the program on `url` with xprop recording its window's titles, one line each as its
    // change is reported, so none passes unseen.
    XWindow StartRecording(const std::string& url, const std::string& title, Process** program = nullptr) {
        XWindow window = StartOn(url, title, program);
        if (!window) return 0;
        m_titles = &Spawn({"xprop", "-spy", "-id", std::to_string(window), "_NET_WM_NAME"});
        EXPECT_TRUE(WaitUntil(10s, [&] { return !m_titles->Log().empty(); })) << "xprop recorded nothing";
        return window;
    }
    Process* m_titles = nullptr;
};

// Folders handed in turn to a running window. A folder is written out as its own "Favorites.htm" and
// shown under that page's address, after the folder's own completion, which is the program's answer
// under the folder's path: the engine is never asked to show the folder itself. A folder whose name is
// no text here shows the program's own page, and nothing that stood before passes for the answer. Each
// way a listing cannot be written (a link to the user's file among them) is a row of the hostile page
// files' table. Under a Japanese locale, the program's own page is in
// Japanese, and so is the title while a page loads, carrying the address being opened (the English
// texts are the hand-off test's). HELP from the system menu goes to the desktop's opener, looked for
// at each request; where there is none, or it fails, the window shows the readme itself.
TEST_F(ListingTest, ShowsEachFoldersPageOrWhyButNeverAStalePageAndTheReadmeWhereTheDesktopCannot) {
    SetEnvironment("LANG=ja_JP.UTF-8");
    const fs::path bin = Folder() / "bin", opened = Folder() / "opened";
    fs::create_directories(bin);
    SetEnvironment("PATH=" + bin.string());  // the desktop's opener, none at first
    XWindow window = StartOn(WritePage("start.htm", "Start"), "Start");
    ASSERT_NE(window, 0u);
    // Each folder, as it is handed: a path (the program escapes it), a raw address (the engine escapes
    // it) or an escaped one; and the line that logs what is shown instead of its listing, if anything. A
    // page's frames are no window's: a frame showing a folder or the start page leaves the page as it is.
    const fs::path blanks = PagePath("a folder with blanks"), japanese = PagePath("日本語 フォルダ"),
                   noText = PagePath("bad\xff" "dir");
    WriteFile(PagePath("frames.htm"), Page("Frames", "<iframe src=\"framed/\"></iframe><iframe src=\"about:home\">"));
    const std::vector<std::tuple<fs::path, std::string, std::string>> folders = {
        {blanks, blanks.string(), ""},
        {japanese, "file://" + japanese.string(), ""},
        {noText, FileUrl(noText), HistoryLink("about:blank", "ページを表示できません")},
        {PagePath("framed"), PageUrl("frames.htm"), HistoryLink(FileUrl(PagePath("frames.htm")), "Frames")},
        // A folder named like a page is never listed: the engine shows it, titled by its address.
        {PagePath("old.htm"), PagePath("old.htm").string(),
         HistoryLink(FileUrl(PagePath("old.htm")), FileUrl(PagePath("old.htm")))},
    };
    for (const auto& [folder, handed, shownInstead] : folders) {
        SCOPED_TRACE(handed);
        // What a listing holds, line by line, is the listing tables' concern.
        fs::create_directories(folder);
        const bool listed = shownInstead.empty();
        const std::size_t logged = History().size();
        HandOff(handed);
        const std::string pageLink = "<a href=\"" + FileUrl(folder / "Favorites.htm") + "\">";
        const std::string shown = listed ? pageLink : shownInstead;
        ASSERT_TRUE(WaitUntil(30s, [&] { return History().find(shown) != std::string::npos; }))
            << shown << " was not logged\nhistory:\n" << History() << Logs();
        std::this_thread::sleep_for(1s);
        // The folder's line and its listing's, or the one page shown instead: no page before comes
        // again, and a listing's own completion lists nothing more.
        const std::string added = History().substr(logged);
        EXPECT_EQ(Count(added, "<br>"), listed ? 2u : 1u) << added;
        EXPECT_EQ(fs::exists(folder / "Favorites.htm"), listed);
        const std::string folderLink = HistoryLink(FileUrl(folder), folder.string());
        if (listed) {
            EXPECT_LT(added.find(folderLink), added.find(pageLink)) << added;
            // Drawn, not only loaded: a listing is held back until it is whole, never longer.
            EXPECT_TRUE(WaitUntil(10s, [&] { return ShowsLinks(X(), window); }));
        }
    }

    WriteFile(ProgramDir() / "readme.txt", "readme\n");
    const std::string readme = "<a href=\"" + FileUrl(ProgramDir() / "readme.txt") + "\">";
    // The opener as a shell script, and whether it opens the readme.
    const std::vector<std::pair<std::string, bool>> openers = {
        {"", false}, {"exit 3", false}, {"echo \"$1\" > \"${0%/*}/../opened\"", true}};
    std::size_t shown = 0;
    for (const auto& [opener, opens] : openers) {
        SCOPED_TRACE(opener);
        if (!opener.empty()) {
            WriteFile(bin / "xdg-open", "#!/bin/sh\n" + opener + "\n");
            fs::permissions(bin / "xdg-open", fs::perms::owner_all);
        }
        Keys("alt+space h");
        if (opens) {
            EXPECT_TRUE(WaitUntil(10s, [&] { return fs::exists(opened); })) << Logs();
            std::this_thread::sleep_for(1500ms);
            EXPECT_EQ(ReadFile(opened), (ProgramDir() / "readme.txt").string() + "\n");
        }
        shown += !opens;
        EXPECT_TRUE(WaitUntil(10s, [&] { return Count(History(), readme) == shown; })) << History();
    }

    SilentServer silent;
    HandOff(silent.Url("/slow"));
    const std::string opening = std::string(kProductWord) + " > " + silent.Url("/slow") + " を開いています...";
    EXPECT_TRUE(WaitUntil(30s, [&] { return WindowTitle(X(), window).ends_with(opening); }))
        << WindowTitle(X(), window);
}

// Pop-ups ------------------------------------------------------------------------

struct PopupCase {
    const char* name;
    bool script;  // window.open a moment after the pointer reaches the link, else a click on target=_blank
    WindowManager manager;
    OnCloseRequest stray;
    int strays = 1;                // the first titled with markup and non-ASCII text, the others numbered
    const char* lang = "C.UTF-8";  // an ASCII locale runs in UTF-8 too, titles of other windows included
};

class PopupTest : public ProgramTest, public ::testing::WithParamInterface<PopupCase> {
protected:
    PopupTest() : ProgramTest(GetParam().manager) {}
};

// A pop-up loads what the page asked for (a clicked target=_blank link, or the address a script gave)
// and the stray windows close at the next download start; the program's own load texts never pass
// for a link. A web page's pop-up never brings a local address in: not the folder a hovered link
// names, whose listing would overwrite the user's Favorites.htm there.
TEST_P(PopupTest, LoadsWhatThePageAskedAndClosesTheStrayWindowsAtTheNextDownloadStart) {
    const PopupCase& c = GetParam();
    SetEnvironment(std::string("LANG=") + c.lang);
    // The program's own title is the stray windows' mark, short enough to stay whole beside the status
    // text: the sweep passes it by all the same.
    const std::string title = "Internet Explorer";
    // The link's address carries a byte that the log must escape. The script
    // waits a moment, so the status text has carried the link's address by then.
    const std::string link = std::string("<a id=\"link\" href=\"/target.htm?from=popup&x=1\"") +
                             (c.script ? "" : " target=\"_blank\"") +
                             " style=\"display:block;width:500px;height:250px\">Target</a>";
    const std::string opener = "<script>let opened = false; document.getElementById('link').onmouseover ="
                               " () => { if (!opened) setTimeout(() => window.open('/elsewhere.htm'), 300);"
                               " opened = true; };</script>";
    const std::string victim = (Folder() / "victim").string(), user = "<p>USER FILE</p>";
    std::filesystem::create_directory(victim);
    WriteFile(victim + "/Favorites.htm", user);
    const std::string local = "<a id=\"local\" href=\"file://" + victim +
                              "/#http\" onclick=\"window.open('about:blank');return false\""
                              " style=\"display:block;width:500px;height:100px\">Local</a>";
    HttpServer server({{"/popup.htm", Page(title, link + (c.script ? opener : ""))},
                       {"/local.htm", Page("Local", local)},
                       {"/target.htm?from=popup&x=1", Page("Target", "")},
                       {"/elsewhere.htm", Page("Elsewhere", "")}});
    // As the log holds it.
    const std::string target = server.Url(c.script ? "/elsewhere.htm" : "/target.htm?from=popup&amp;x=1");
    const std::string reached = c.script ? "Elsewhere" : "Target";
    const std::string strayLine = "(IE)\t&quot;窓&quot; &lt;R&amp;D&gt; - Internet Explorer\r\n";

    XWindow window = StartOn(server.Url("/popup.htm"), title);
    ASSERT_NE(window, 0u);
    std::vector<std::unique_ptr<StrayWindow>> strays;
    for (int i = 0; i < c.strays; ++i) {
        std::string name = (i ? "Stray " + std::to_string(i) : "\"窓\" <R&D>") + " - Internet Explorer";
        strays.push_back(std::make_unique<StrayWindow>(DisplayName(), name, c.stray));
    }
    PointAt(window, 100, 100);
    ASSERT_TRUE(WaitForTitle(window, BareTitle(title) + server.Url("/target.htm?from=popup&x=1")));
    if (!c.script) Xdotool({"click", "1"});

    ASSERT_TRUE(WaitUntil(15s, [&] { return History().find("new\t" + target) != std::string::npos; }))
        << History();
    auto asked = Clock::now();
    ASSERT_TRUE(WaitForTitle(window, BareTitle(reached))) << History();
    // One window's close request is waited for about a second, twenty windows' about two in all.
    EXPECT_LT(Clock::now() - asked, 4s);
    const bool closes = c.stray == OnCloseRequest::Close;
    for (const auto& stray : strays) {
        EXPECT_TRUE(closes ? WaitUntil(5s, [&] { return stray->Gone(); }) : !stray->Gone()) << closes;
        EXPECT_TRUE(closes ? stray->CloseRequests() == 1 : stray->CloseRequests() >= 1)
            << stray->CloseRequests();
    }

    // In order: the page, the request redirected to the link, the stray
    // window closed at the download start, the link's page.
    std::string history = History();
    std::size_t at = 0;
    for (const std::string& line : {HistoryLink(server.Url("/popup.htm"), title), NewWindowLine(target), strayLine,
                                    HistoryLink(target, reached)}) {
        at = history.find(line, at);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << line << "history:\n" << history;
    }
    EXPECT_EQ(Count(history, "new\t"), 1u) << history;
    // Windows that ignore their requests stay in the walk: every one of them is logged, once.
    EXPECT_EQ(Count(history, "(IE)\t"), std::size_t(c.strays)) << history;
    // A script's pop-up went where the script asked, not to the link under the pointer.
    for (const std::string& path : server.Requests()) EXPECT_NE(path, c.script ? "/target.htm?from=popup&x=1" : "/elsewhere.htm");

    // The local link's pop-up: nothing is loaded or logged, and the user's file stays.
    HandOff(server.Url("/local.htm"));
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Local")));
    PointAt(window, 100, 50);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Local") + "file://" + victim + "/#http"));
    Xdotool({"click", "1"});
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(ReadFile(victim + "/Favorites.htm"), user);
    EXPECT_EQ(Count(History(), "new\t"), 1u) << History();
    EXPECT_TRUE(WindowTitle(X(), window).starts_with(BareTitle("Local"))) << WindowTitle(X(), window);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PopupTest,
    ::testing::Values(PopupCase{"ScriptOpenInOpenbox", true, WindowManager::Openbox, OnCloseRequest::Close},
                      PopupCase{"BlankTargetClicked", false, WindowManager::Off, OnCloseRequest::Close, 1, "C"},
                      PopupCase{"TwentyStubborn", true, WindowManager::Openbox, OnCloseRequest::Ignore, 20}),
    [](const auto& info) { return std::string(info.param.name); });

// Downloads ------------------------------------------------------------------------

struct DownloadCase {
    const char* name;
    bool local;             // a link of a local page to a local file, else an attachment over HTTP
    const char* existing;   // what the download folder holds under the name beforehand, if anything
    std::vector<std::pair<const char*, std::size_t>> keys;  // each key, and the program's windows after it
    bool saved;             // the file holds the download afterwards
    const char* status;     // how the title tells the end
    int dripMs = 0;         // the transfer's length, the idle watchdog's tick 50 ms; else at once
    bool coded = false;     // sent deflate-coded, longer coded than plain as stored blocks are
    bool linked = false;    // the download folder holds a link under the name, to `existing` elsewhere
    int closedBy = 0;       // the signal that closes the window after the keys, if any
    int count = 1;          // the attachment asked for so often at once, by the page's script
};

// The bytes as one stored deflate block in a zlib stream: the coding adds its frame and checksum and
// saves nothing.
std::string Deflated(const std::string& bytes) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : bytes) a = (a + c) % 65521, b = (b + a) % 65521;
    const std::size_t n = bytes.size();  // below 64 KiB
    std::string out{'\x78', '\x01', '\x01', char(n), char(n >> 8), char(~n), char(~n >> 8)};
    out += bytes;
    for (std::uint32_t sum = b << 16 | a, shift = 32; shift;) out += char(sum >> (shift -= 8));
    return out;
}

class DownloadTest : public ListingTest, public ::testing::WithParamInterface<DownloadCase> {};

// The save dialog proposes the user's download folder and the server's name;
// the keys answer it (and the question before a file is replaced) as a user
// would; the end, good or bad, reaches the title.
TEST_P(DownloadTest, AsksWhereToSaveAndTellsTheEndInTheTitle) {
    const DownloadCase& c = GetParam();
    if (c.dripMs && !UseTestHooks(50)) GTEST_SKIP() << "needs -DPOREMISU_TEST_HOOKS=ON";
    // A piece of a dripped body is past what the engine reads to sniff a type.
    const std::string content = "PK\x03\x04 archive bytes" + std::string(c.dripMs ? 10000 : 0, 'x');
    const fs::path downloads = Folder() / "home" / "ダウンロード";
    fs::create_directories(Folder() / "home" / ".config");
    fs::create_directories(downloads);
    WriteFile(Folder() / "home" / ".config" / "user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/ダウンロード\"\n");
    const std::string fileName = c.local ? "archive.zip" : "report.zip";
    const fs::path usersFile = Folder() / "home" / "notes.txt";
    if (c.existing) WriteFile(c.linked ? usersFile : downloads / fileName, c.existing);
    if (c.linked) fs::create_symlink(usersFile, downloads / fileName);
    const std::string sent = c.coded ? Deflated(content) : content;

    auto linkPage = [&](const std::string& href) {
        // Each in a frame of its own: the window's own loads would replace one another.
        const std::string script = "for (let i = 0; i < " + std::to_string(c.count) +
                                   "; ++i) { const f = document.createElement('iframe'); f.src = '" + href +
                                   "?' + i; document.body.append(f); } return false";
        return Page("Downloads", "<a href=\"" + href + "\"" + (c.count > 1 ? " onclick=\"" + script + "\"" : "") +
                                     " style=\"display:block;width:500px;height:250px\">Get</a>");
    };
    HttpServer server(
        {{"/page.htm", linkPage("/report.zip")},
         {"/report.zip", "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n"
                         "Content-Disposition: attachment; filename=\"report.zip\"\r\nContent-Length: " +
                             std::to_string(sent.size() + (c.saved ? 0 : 100000)) +
                             (c.dripMs ? "\r\nX-Drip-Ms: " + std::to_string(c.dripMs) : "") +
                             (c.coded ? "\r\nContent-Encoding: deflate" : "") +
                             "\r\nConnection: close\r\n\r\n" + sent}});
    WriteFile(PagePath("archive.zip"), content);
    WriteFile(PagePath("page.htm"), linkPage("archive.zip"));
    Process* program = nullptr;
    XWindow window = StartRecording(c.local ? PageUrl("page.htm") : server.Url("/page.htm"), "Downloads", &program);
    ASSERT_NE(window, 0u);
    PointAt(window, 100, 100);
    Xdotool({"click", "1"});

    ASSERT_NE(WaitForTitled("Save As"), 0u);
    // Every download the script started has come, and waits behind the first question.
    ASSERT_TRUE(WaitUntil(10s, [&] {
        const std::vector<std::string> asked = server.Requests();
        return std::count_if(asked.begin(), asked.end(), [](const std::string& path) {
                   return path.starts_with("/report.zip");
               }) >= (c.local ? 0 : c.count);
    }));
    std::this_thread::sleep_for(500ms);  // the chooser fills its name field once shown
    for (const auto& [key, windows] : c.keys) {
        SCOPED_TRACE(key);
        const std::vector<XWindow> before = ProgramWindows(X());
        Keys(key);
        // As many windows as before means one question took another's place.
        ASSERT_TRUE(WaitUntil(10s, [&, w = windows] {
            const std::vector<XWindow> now = ProgramWindows(X());
            return now.size() == w && (w != before.size() || now != before);
        })) << ProgramWindows(X()).size() << " windows";
        // The next key goes to the question shown, as a user's would: the focus lies in a window
        // of the program's other than the main one.
        if (windows > 1) {
            EXPECT_TRUE(WaitUntil(5s, [&] {
                XWindow focus = 0, root = 0, parent = 0, *children = nullptr;
                int revert = 0;
                unsigned count = 0;
                XGetInputFocus(X(), &focus, &revert);
                const std::vector<XWindow> now = ProgramWindows(X());
                for (int up = 0; focus > 1 && up < 8; ++up, focus = parent) {
                    if (std::find(now.begin(), now.end(), focus) != now.end()) return focus != window;
                    if (!XQueryTree(X(), focus, &root, &parent, &children, &count)) return false;
                    if (children) XFree(children);
                }
                return false;
            }));
        }
        std::this_thread::sleep_for(300ms);
    }
    const std::string told = std::string(kProductWord) + " > " + c.status +
                             (c.saved ? (downloads / fileName).string() : "");
    ASSERT_TRUE(WaitUntil(15s, [&] { return m_titles->Log().find(told) != std::string::npos; }))
        << told << "\n" << m_titles->Log();
    // A close ends the program whatever question is open.
    if (c.closedBy) {
        ::kill(program->Pid(), c.closedBy);
        EXPECT_EQ(program->WaitExit(10s), 0) << Logs();
    }
    EXPECT_EQ(ReadFile(downloads / fileName), c.saved ? content : c.existing ? c.existing : "");
    // Nothing else stays: no part of a transfer.
    EXPECT_EQ(std::distance(fs::directory_iterator(downloads), {}), 1);
    // What a link pointed to is the user's, whatever became of the name.
    if (c.linked) {
        EXPECT_EQ(ReadFile(usersFile), c.existing);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, DownloadTest,
    ::testing::Values(
        DownloadCase{"LocalZipSaved", true, nullptr, {{"Return", 1}}, true, "Download complete: "},
        DownloadCase{"ReplaceConfirmed", false, "old", {{"Return", 3}, {"Return", 1}}, true, "Download complete: "},
        DownloadCase{"ReplaceDeclined", false, "old", {{"Return", 3}, {"Escape", 2}, {"Escape", 1}}, false,
                     "Download cancelled: report.zip"},
        // Cut short after the user agreed to replace a file: that file stays as it was.
        DownloadCase{"BrokenTransfer", false, "old", {{"Return", 3}, {"Return", 1}}, false,
                     "Download failed: report.zip"},
        DownloadCase{"CodedWhole", false, nullptr, {{"Return", 1}}, true, "Download complete: ", 0, true},
        // Ctrl+C in the terminal it was started from closes it, as SIGTERM and a hang-up do.
        DownloadCase{"ClosedAtTheQuestion", false, "old", {{"Return", 3}}, false, "", 0, false, false, SIGINT},
        DownloadCase{"LinkReplaced", false, "notes", {{"Return", 3}, {"Return", 1}}, true, "Download complete: ", 0,
                     false, true, SIGTERM},
        // Three asked at once by a script: one question at a time, and the last two refused at once.
        DownloadCase{"ThreeByScript", false, nullptr, {{"Return", 2}, {"alt+a", 1}}, true, "Download complete: ", 0,
                     false, false, 0, 3},
        // A fresh attachment, longer than the watchdog lets an untouched window live: the download keeps it.
        DownloadCase{"OutlastsTheIdleWatchdog", false, nullptr, {{"Return", 1}}, true, "Download complete: ", 8000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace poremisu::e2e
