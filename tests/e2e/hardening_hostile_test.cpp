// What a user can meet from pages, folders and other programs, at its worst:
// titles and link addresses of megabytes, an address of a megabyte handed
// over, names with markup and line breaks in a listed folder, a folder path
// past every bound, and the web engine's page process dying.

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Harness.h"

// After the test framework, whose names Xlib's macros would clash with.
#include <X11/Xlib.h>

namespace poremisu::e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTenMegabytes = 10u << 20;

// A page whose head runs the script; its title is what the script makes it.
std::string ScriptPage(const std::string& title, const std::string& script, const std::string& body = "") {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title + "</title><script>\n" + script +
           "\n</script></head><body style=\"margin:0\">" + body + "</body></html>\n";
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(text.substr(begin, end - begin));
    }
    return lines;
}

// The processes below `pid`, with their command names.
std::map<pid_t, std::string> Descendants(pid_t pid) {
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, std::string> names;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadFile(entry.path() / "stat");
        std::size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (!(rest >> state >> parent)) continue;
        parents[std::stoi(name)] = parent;
        names[std::stoi(name)] = stat.substr(open + 1, close - open - 1);
    }
    std::map<pid_t, std::string> found;
    std::vector<pid_t> frontier{pid};
    while (!frontier.empty()) {
        pid_t parent = frontier.back();
        frontier.pop_back();
        for (const auto& [child, itsParent] : parents) {
            if (itsParent == parent && !found.count(child)) {
                found[child] = names[child];
                frontier.push_back(child);
            }
        }
    }
    return found;
}

// Every "Favorites.htm" below the folder.
std::vector<fs::path> ListingPagesUnder(const fs::path& folder) {
    std::vector<fs::path> pages;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->path().filename() == "Favorites.htm") pages.push_back(it->path());
    }
    return pages;
}

class HostileTest : public ProgramTest {
protected:
    // A later start of the program with these arguments; true when it handed
    // them over and exited.
    bool HandOver(const std::vector<std::string>& arguments) {
        Process& later = Start(arguments);
        std::optional<int> status = later.WaitExit(20s);
        EXPECT_EQ(status, 0) << Logs();
        return status == 0;
    }
};

// A page title of 10 MB of three-byte characters (the engine passes on its
// first 1000): the window's title is cut to 1023 bytes, giving way in the page
// name, and still carries the product word, so a later start finds the window
// and hands its address over.
TEST_F(HostileTest, ATenMegabyteTitleIsCutAndTheWindowStaysFindable) {
    WriteFile(PagePath("huge-title.htm"), ScriptPage("", "document.title = '\u3042'.repeat(" +
                                                                std::to_string(kTenMegabytes / 3) + ");"));
    Start({PageUrl("huge-title.htm")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    const std::string tail = std::string(" - ") + kProductWord + " > ";
    std::string name;
    while (name.size() + 3 + tail.size() <= 1023) name += "あ";
    ASSERT_EQ(name.size() + tail.size(), 1023u);
    ASSERT_TRUE(WaitForTitle(window, name + tail, 40s));

    ASSERT_TRUE(HandOver({WritePage("after.htm", "After")}));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("After")));
    EXPECT_EQ(ProgramWindows(X()).size(), 1u) << "the later start did not find the window";
    // The history keeps the name as the engine gave it: it has no bound of its own.
    std::vector<std::string> lines = CrLfLines(History());
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("<a href=\"" + PageUrl("huge-title.htm") + "\">" + name, 0), 0u)
        << lines[0].substr(0, 200);
}

// A link whose address is 10 MB, under the pointer: the status text goes into
// the title, cut at 1023 bytes; the address remembered for a pop-up is cut at
// 59999 bytes, and the pop-up's history line carries exactly that much.
TEST_F(HostileTest, ATenMegabyteLinkUnderThePointerIsCutInTitleAndPopUpLine) {
    const std::string host = "http://x.invalid/";
    WriteFile(PagePath("hover.htm"),
              ScriptPage("Hover",
                         "var opened = false;\n"
                         "window.onload = function () {\n"
                         "  var link = document.getElementById('l');\n"
                         "  link.href = '" + host + "' + 'a'.repeat(" + std::to_string(kTenMegabytes) + ");\n"
                         "  link.onmouseover = function () {\n"
                         "    if (opened) return;\n"
                         "    opened = true;\n"
                         "    setTimeout(function () { window.open('about:blank'); }, 500);\n"
                         "  };\n"
                         "};",
                         "<a id=\"l\" style=\"display:block;width:100vw;height:100vh\">link</a>"));
    Start({PageUrl("hover.htm")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("Hover")));
    std::this_thread::sleep_for(300ms);  // the script has set the address

    const std::string address = host + std::string(kTenMegabytes, 'a');
    const std::string titled = (BareTitle("Hover") + address).substr(0, 1023);
    bool shown = WaitUntil(20s, [&] {
        for (int x : {40, 60}) {
            XWarpPointer(X(), 0, window, 0, 0, 0, 0, x, 50);
            XFlush(X());
            std::this_thread::sleep_for(50ms);
        }
        return WindowTitle(X(), window) == titled;
    });
    EXPECT_TRUE(shown) << "title \"" << WindowTitle(X(), window).substr(0, 80) << "...\" of "
                       << WindowTitle(X(), window).size() << " bytes\n" << Logs();

    const std::string popUpLine = "new\t" + address.substr(0, 59999);
    bool logged = WaitUntil(20s, [&] {
        std::vector<std::string> lines = CrLfLines(History());
        return std::find(lines.begin(), lines.end(), popUpLine) != lines.end();
    });
    EXPECT_TRUE(logged) << "no pop-up line of 59999 address bytes\n" << History().substr(0, 300);
    // The main window went to that address, and lives.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ProgramWindows(X()).size(), 1u) << Logs();
    EXPECT_NE(WindowTitle(X(), window).find(kProductWord), std::string::npos);
}

// A later start whose argument text is a megabyte (the arguments are joined,
// as the program takes its whole argument text as the address): it hands it
// over and exits; the running window takes the first 59999 bytes of it, and
// the next hand-off still arrives.
TEST_F(HostileTest, AMegabyteHandOffIsTakenCutAndTheNextOneStillArrives) {
    Process& first = Start({WritePage("first.htm", "First")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("First")));

    // One argument may hold 128 KiB: ten of 100 KiB make the megabyte.
    std::vector<std::string> arguments{"http://x.invalid/" + std::string(100 * 1024, 'h')};
    for (int i = 1; i < 10; ++i) arguments.push_back(std::string(100 * 1024, 'h'));
    std::string whole;
    for (const std::string& argument : arguments) whole += (whole.empty() ? "" : " ") + argument;
    ASSERT_GT(whole.size(), 1000000u);
    ASSERT_TRUE(HandOver(arguments));
    EXPECT_EQ(SettingsValue("newurl"), whole);

    ASSERT_TRUE(HandOver({WritePage("final.htm", "Final")}));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Final"), 40s));
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(ProgramWindows(X()).size(), 1u);
}

// Names that hold markup, quotes and line breaks: the listing page has one
// line per entry, every name escaped, and is shown.
TEST_F(HostileTest, NamesWithMarkupAndLineBreaksAreEscapedInTheListing) {
    const fs::path folder = PagePath("names");
    fs::create_directories(folder / "<i>folder\"");
    for (const char* name : {"two\nlines.htm", "<script>x.htm", "q\"uo'te&.htm", "cr\rname.htm"}) {
        WriteFile(folder / name, "<title>inner</title>\n");
    }
    Start({folder.string()});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find("/Favorites.htm\">") != std::string::npos; }))
        << "the listing was not shown\n" << History() << Logs();

    std::vector<std::string> lines = CrLfLines(ReadFile(folder / "Favorites.htm"));
    const std::string mark = "○";
    auto line = [](const std::string& name) { return "<a href=\"" + name + "\">" + name + "</a><br>"; };
    EXPECT_EQ(std::multiset<std::string>(lines.begin(), lines.end()),
              (std::multiset<std::string>{mark + line("."), mark + line(".."),
                                          mark + line("&lt;i&gt;folder&quot;"), line("two&#10;lines.htm"),
                                          line("&lt;script&gt;x.htm"), line("q&quot;uo&#39;te&amp;.htm"),
                                          line("cr&#13;name.htm"), line("Favorites.htm")}));
}

// A folder whose path is 2000 bytes: the engine shows what it shows, no
// listing is written into it or anywhere else, and the program goes on.
TEST_F(HostileTest, AFolderPathOf2000BytesIsNotListed) {
    std::string deep = PagePath("deep").string();
    while (deep.size() < 2000) deep += "/" + std::string(std::min<std::size_t>(150, 2000 - deep.size() - 1), 'd');
    ASSERT_EQ(deep.size(), 2000u);
    fs::create_directories(deep);
    Process& program = Start({"file://" + deep});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitUntil(20s, [&] { return History().find("/ddd") != std::string::npos; }))
        << "the folder's completion was not logged\n" << History().substr(0, 300) << Logs();
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(program.Running());
    EXPECT_EQ(ListingPagesUnder(ProgramDir().parent_path()), std::vector<fs::path>{});
    EXPECT_NE(WindowTitle(X(), window).find(kProductWord), std::string::npos);

    ASSERT_TRUE(HandOver({WritePage("after.htm", "After")}));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("After")));
}

// The engine's page process killed: the window stays, shows its page again,
// and goes on loading what it is handed.
TEST_F(HostileTest, TheWindowOutlivesItsPageProcess) {
    Process& program = Start({WritePage("first.htm", "First")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("First")));

    std::vector<pid_t> pageProcesses;
    for (const auto& [pid, name] : Descendants(program.Pid())) {
        if (name.rfind("WebKitWebProces", 0) == 0) pageProcesses.push_back(pid);
    }
    ASSERT_FALSE(pageProcesses.empty()) << "no page process found";
    const std::size_t logged = CrLfLines(History()).size();
    for (pid_t pid : pageProcesses) ::kill(pid, SIGKILL);

    // The page is loaded again in a new process, and completes once more.
    EXPECT_TRUE(WaitUntil(20s, [&] { return CrLfLines(History()).size() > logged; }))
        << "the page was not shown again\n" << History() << Logs();
    EXPECT_TRUE(program.Running()) << Logs();
    EXPECT_EQ(ProgramWindows(X()).size(), 1u);

    ASSERT_TRUE(HandOver({WritePage("second.htm", "Second")}));
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Second")));
}

// Any client of the X display can send the window the program's command
// message: the window takes the hand-off command alone, and that command only
// loads the address stored in its own settings file.
TEST_F(HostileTest, ForeignCommandMessagesDoNothingButTheHandOff) {
    Process& program = Start({WritePage("first.htm", "First")});
    XWindow window = WaitForWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(WaitForTitle(window, BareTitle("First")));
    const std::string historyBefore = History();

    auto send = [&](long command) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(X(), "_POREMISU_COMMAND", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = command;
        event.xclient.data.l[1] = 7;
        XSendEvent(X(), window, False, NoEventMask, &event);
        XFlush(X());
    };
    // OK and Cancel would end the window, the reset would ask and move the
    // history aside, the sweep would close windows, Back would leave the
    // page, the favorites command would write and show a listing.
    for (long command : {1L, 2L, 32778L, 32777L, 3L, 32780L, -1L, 0L}) send(command);
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(program.Running()) << Logs();
    EXPECT_EQ(WindowTitle(X(), window), BareTitle("First"));
    EXPECT_EQ(History(), historyBefore);
    EXPECT_FALSE(fs::exists(ProgramDir() / "WindowTitleHis000001.htm"));

    WriteFile(ProgramDir() / "poremisu.ini", "[setting]\r\nnewurl=" + WritePage("stored.htm", "Stored") + "\r\n");
    send(32772);
    EXPECT_TRUE(WaitForTitle(window, BareTitle("Stored")));
}

}  // namespace
}  // namespace poremisu::e2e
