// End-to-end runs of poremisu.exe: each test copies the program into a fresh
// folder (its settings and history files live beside it), starts it, and
// drives it from outside as a user or another program would. POREMISU_EXE
// names the program (by default ..\poremisu.exe); fake_browser.exe stands
// beside this test.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

const wchar_t kProductWord[] = L"\u307d\u308c\u307f\u3059";

std::string ModuleDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string() + "\\";
}

std::string ProgramPath() {
    char exe[MAX_PATH] = {};
    return GetEnvironmentVariableA("POREMISU_EXE", exe, MAX_PATH) ? exe : ModuleDir() + "..\\poremisu.exe";
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeout = 10000) {
    for (DWORD start = GetTickCount(); !done(); Sleep(50)) {
        if (GetTickCount() - start > timeout) return false;
    }
    return true;
}

std::string ReadAll(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void WriteAll(const std::string& path, const char* text) { std::ofstream(path, std::ios::binary) << text; }

// A window's text through the message, so that controls of other processes answer too.
std::wstring TextOf(HWND window) {
    wchar_t buffer[8192] = {};
    DWORD_PTR length = 0;
    bool answered = window && SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer),
                                                  SMTO_ABORTIFHUNG, 3000, &length);
    return answered ? std::wstring(buffer, length) : L"<no answer>";
}

// The first visible top-level window of the class, and of the process when given.
HWND FindTopLevel(const char* className, DWORD process = 0, HWND owner = nullptr,
                  const std::wstring& title = L"") {
    for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExA(nullptr, w, className, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        bool ours = (!process || id == process) && (!owner || GetWindow(w, GW_OWNER) == owner);
        if (IsWindowVisible(w) && ours && (title.empty() || TextOf(w) == title)) {
            return w;
        }
    }
    return nullptr;
}

// A box (dialog or message box) owned by the window, found by its caption.
HWND WaitBox(HWND owner, const std::wstring& caption) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindTopLevel("#32770", 0, owner, caption)) != nullptr; });
    return box;
}

bool HasChildText(HWND parent, const std::wstring& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (TextOf(child) == text) return true;
    }
    return false;
}

RECT RectIn(HWND child, HWND parent) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

bool Running(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
bool WaitExit(HANDLE process, DWORD ms = 10000) { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }

// A fresh folder with a copy of the program; the processes started from it
// are ended before it goes.
class Sandbox {
public:
    Sandbox() {
        static int serial = 0;
        auto name = "poremisu-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        m_dir = (std::filesystem::temp_directory_path() / name).string() + "\\";
        std::filesystem::create_directories(m_dir);
        CopyFileA(ProgramPath().c_str(), (m_dir + "poremisu.exe").c_str(), FALSE);
    }
    ~Sandbox() {
        for (HANDLE process : m_processes) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string operator/(const std::string& name) const { return m_dir + name; }
    HANDLE Start(const std::string& arguments = "", std::string exe = "") {
        if (exe.empty()) exe = m_dir + "poremisu.exe";
        std::string commandLine = "\"" + exe + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, m_dir.c_str(),
                       &startup, &info);
        if (info.hThread) CloseHandle(info.hThread);
        return info.hProcess ? m_processes.emplace_back(info.hProcess) : nullptr;
    }
    HANDLE StartStray(const std::string& title) { return Start(title, ModuleDir() + "fake_browser.exe"); }
    // The program, once every earlier run has ended (one instance at a time
    // holds the name), and its main window.
    std::pair<HANDLE, HWND> Launch() {
        WaitUntil([] { return !FindTopLevel("poremisu"); });
        HANDLE app = Start();
        HWND main = nullptr;
        auto shown = [&] { return (main = FindTopLevel("poremisu", GetProcessId(app))) || !Running(app); };
        WaitUntil(shown, 30000);
        return {app, main};
    }
    std::string Setting(const char* key) const {
        char value[1024] = {};
        GetPrivateProfileStringA("setting", key, "", value, sizeof value, (m_dir + "poremisu.ini").c_str());
        return value;
    }
    std::string History() const { return ReadAll(m_dir + "WindowTitleHis.htm"); }

private:
    std::string m_dir;
    std::vector<HANDLE> m_processes;
};

void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

class E2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(ProgramPath())) << ProgramPath();
        std::tie(m_app, m_main) = m_box.Launch();
        ASSERT_TRUE(m_main) << "no main window appeared";
    }
    Sandbox m_box;
    HANDLE m_app = nullptr;
    HWND m_main = nullptr;
};

TEST_F(E2E, OpensBareThenTheAddressDialogShowsTheAnchorTakesEscapeAndGo) {
    EXPECT_EQ(GetMenu(m_main), nullptr);
    HWND status = GetDlgItem(m_main, 1);
    EXPECT_TRUE(status && !IsWindowVisible(status)) << "the status bar is hidden";
    EXPECT_TRUE(WaitUntil([&] {
        RECT bar = RectIn(GetDlgItem(m_main, 1002), m_main), client = {};
        GetClientRect(m_main, &client);
        HWND page = GetDlgItem(m_main, 1000);  // missing when the system has no web-browser control
        return bar.bottom == bar.top && (!page || RectIn(page, m_main) == client);
    }, 3000)) << "the address bar is hidden and the page fills the window";
    PostMessageA(m_main, WM_SYSCOMMAND, 16, 0);
    HWND dialog = WaitBox(m_main, L"URL\u5165\u529b");
    ASSERT_TRUE(dialog) << "the address dialog";
    EXPECT_FALSE(IsWindowEnabled(m_main)) << "the main window is disabled meanwhile";
    std::wstring url = TextOf(GetDlgItem(dialog, 1006)), name = TextOf(GetDlgItem(dialog, 1007));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 1008)), L"<a href=\"" + url + L"\">" + name + L"</a>");
    // The fields lie in rows of the address bar's height.
    RECT address = RectIn(GetDlgItem(dialog, 1006), dialog), page = RectIn(GetDlgItem(dialog, 1007), dialog);
    EXPECT_TRUE(address.left == 0 && address.top == 0 && address.bottom > 0 && page.top == address.bottom);

    // Escape attaches a fresh menu bar and leaves the dialog open; the close box is refused.
    PostMessageA(GetDlgItem(dialog, 1), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(WaitUntil([&] { return GetMenu(m_main) != nullptr; })) << "Escape brings the menu bar";
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(500);
    EXPECT_TRUE(IsWindow(dialog)) << "neither Escape nor the close box ends the dialog";

    const wchar_t typed[] = L"http://example.invalid/go";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, 1006), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed),
                        SMTO_ABORTIFHUNG, 3000, &ignored);
    HWND go = GetDlgItem(dialog, 1);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(go));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "GO ends the dialog";
    EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(m_main, 1002)) == typed; })) << "and shows it";
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(m_main) != 0; }));
}

TEST_F(E2E, PlacementIsSavedOnCloseAndRestoredButNotOnExit) {
    // Larger than the template: a smaller rectangle gives way to the template's size.
    SetWindowPos(m_main, nullptr, 60, 70, 640, 560, SWP_NOZORDER | SWP_NOACTIVATE);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    RECT& normal = placement.rcNormalPosition;
    ASSERT_TRUE(WaitUntil([&] { return GetWindowPlacement(m_main, &placement) && normal.left == 60; }));
    PostMessageA(m_main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitExit(m_app)) << "a close request ends the program";
    std::string win = m_box.Setting("win");
    RECT saved = {};
    ASSERT_EQ(std::sscanf(win.c_str(), "%*i:%*i:%*i:%*i:%*i:%*i:%li:%li:%li:%li", &saved.left, &saved.top,
                          &saved.right, &saved.bottom), 4) << win;
    EXPECT_TRUE(saved == normal) << win;

    auto [again, main] = m_box.Launch();
    ASSERT_TRUE(main);
    RECT now = {};
    EXPECT_TRUE(WaitUntil([&] { return GetWindowRect(main, &now) && now == saved; })) << "applied at start";
    // The menu's exit (command 2) ends the program without saving.
    SetWindowPos(main, nullptr, 10, 20, 300, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    WaitUntil([&] { return GetWindowRect(main, &now) && now.left == 10; });
    PostCommand(main, 2);
    ASSERT_TRUE(WaitExit(again));
    EXPECT_EQ(m_box.Setting("win"), win);
}

TEST_F(E2E, ALaterStartHandsItsArgumentToTheRunningWindow) {
    // The later start finds the window by the product word in its title, which the status toggle composes.
    auto titled = [&] { return TextOf(m_main).find(kProductWord) != std::wstring::npos; };
    if (!WaitUntil(titled, 3000)) PostCommand(m_main, 32786);
    ASSERT_TRUE(WaitUntil(titled));
    const std::pair<std::string, std::wstring> cases[] = {
        {"http://example.invalid/handed-off", L"http://example.invalid/handed-off"},
        {"\"C:\\with space\\page.htm\"", L"C:\\with space\\page.htm"},  // the read drops the quotes
    };
    auto exitCode = [](HANDLE process) {
        DWORD code = STILL_ACTIVE;
        return WaitExit(process, 20000) && GetExitCodeProcess(process, &code) ? code : STILL_ACTIVE;
    };
    HWND bar = GetDlgItem(m_main, 1002);
    for (const auto& [argument, shown] : cases) {
        EXPECT_EQ(exitCode(m_box.Start(argument)), 0u) << "the later start ends: " << argument;
        EXPECT_NE(ReadAll(m_box / "poremisu.ini").find("newurl=" + argument + "\r\n"), std::string::npos);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(bar) == shown; })) << argument << ": " << TextOf(bar);
    }
    // An address that cannot be written is no success.
    std::filesystem::rename(m_box / "poremisu.ini", m_box / "kept.ini");
    std::filesystem::create_directory(m_box / "poremisu.ini");
    EXPECT_EQ(exitCode(m_box.Start("http://example.invalid/unwritten")), 1u);
    // A copy in another folder is another program: it opens its own window.
    Sandbox other;
    HANDLE copy = other.Start("http://example.invalid/elsewhere");
    EXPECT_TRUE(WaitUntil([&] { return FindTopLevel("poremisu", GetProcessId(copy)) != nullptr; }, 30000));
    EXPECT_EQ(TextOf(bar), cases[1].second);
    EXPECT_TRUE(Running(m_app));
}

TEST_F(E2E, TheSweepLogsAndClosesStrayBrowserWindows) {
    HANDLE stray = m_box.StartStray("Test Page - Internet Explorer");
    HANDLE decoy = m_box.StartStray("test page - internet explorer");
    HANDLE stuck = m_box.StartStray("--ignore-close Stuck - Internet Explorer");
    for (const wchar_t* title :
         {L"Test Page - Internet Explorer", L"test page - internet explorer", L"Stuck - Internet Explorer"}) {
        ASSERT_TRUE(WaitUntil([&] { return FindTopLevel("PoremisuTestStrayWindow", 0, nullptr, title); }));
    }
    // A window destroyed by its close request ends a sweep, so the stuck one
    // may wait for the next: sweep until both have been logged.
    const std::string closedLine = "(IE)\tTest Page - Internet Explorer\r\n";
    const std::string stuckLine = "(IE)\tStuck - Internet Explorer\r\n";
    auto done = [&] { return !Running(stray) && m_box.History().find(stuckLine) != std::string::npos; };
    for (int sweep = 0; sweep < 3 && !done(); ++sweep) {
        PostCommand(m_main, 32777);
        WaitUntil(done, 3000);
    }
    EXPECT_TRUE(WaitExit(stray)) << "the stray window was closed";
    std::string history = m_box.History();
    EXPECT_NE(history.find(closedLine), std::string::npos) << history;
    EXPECT_EQ(history.find(closedLine), history.rfind(closedLine)) << "logged once";
    EXPECT_NE(history.find(stuckLine), std::string::npos) << "a window that refuses is logged too";
    EXPECT_EQ(history.find("internet explorer"), std::string::npos) << "other letter case does not match";
    EXPECT_TRUE(Running(stuck) && Running(decoy) && Running(m_app));
}

TEST(E2EFavorites, AreWrittenAsAListingPageAndShown) {
    Sandbox box;
    const std::string favorites = box / "win\\favorites\\";
    std::filesystem::create_directories(favorites + "Sub");
    WriteAll(favorites + "News.url", "[InternetShortcut]\r\nURL=http://example.com/news\r\n");
    WriteAll(favorites + "notes.txt", "not listed");
    WriteAll(favorites + "page.HTM", "<p>");
    SetEnvironmentVariableA("winbootdir", (box / "win").c_str());
    HWND main = box.Launch().second;
    SetEnvironmentVariableA("winbootdir", nullptr);
    ASSERT_TRUE(main);
    PostCommand(main, 32780);

    const std::string page = favorites + "Favorites.htm";
    HWND bar = GetDlgItem(main, 1002);
    const std::wstring shown(page.begin(), page.end());  // the path is ASCII
    ASSERT_TRUE(WaitUntil([&] { return TextOf(bar) == shown; })) << TextOf(bar);
    const std::string mark = "\x81\x9b";  // the folder mark in CP932
    std::set<std::string> lines, expected{mark + "<a href=\".\">.</a><br>\r",
                                          mark + "<a href=\"Sub\">Sub</a><br>\r",
                                          "<a href=\"http://example.com/news\">News</a><br>\r",
                                          "<a href=\"page.HTM\">page.HTM</a><br>\r",
                                          "<a href=\"Favorites.htm\">Favorites.htm</a><br>\r"};
    std::istringstream text(ReadAll(page));
    for (std::string line; std::getline(text, line);) lines.insert(line);
    EXPECT_EQ(lines, expected) << ReadAll(page);
}

// The reset asks first: OK rotates the log to the first free number, Cancel
// changes nothing, and a close request meanwhile ends the box as cancelled,
// then saves and closes.
TEST(E2EHistory, ResetAsksThenRotatesTheLog) {
    const std::string header = "<html><head><title>URL\x97\x9a\x97\xf0</title></head><body>\r\n";
    for (int answer : {IDOK, IDCANCEL, 0}) {
        SCOPED_TRACE(answer == IDOK ? "OK" : answer == IDCANCEL ? "Cancel" : "close request");
        Sandbox box;
        WriteAll(box / "WindowTitleHis.htm", "old line\r\n");
        WriteAll(box / "WindowTitleHis000002.htm", "b2");
        auto [app, main] = box.Launch();
        ASSERT_TRUE(main);
        PostCommand(main, 32778);
        HWND question = WaitBox(main, kProductWord);
        ASSERT_TRUE(question) << "the confirmation box";
        EXPECT_TRUE(HasChildText(question, L"\u5c65\u6b74\u3092\u521d\u671f\u5316\u3059\u308b")) << "it asks";
        PostMessageA(answer ? question : main, answer ? WM_COMMAND : WM_CLOSE, answer, 0);
        if (answer == IDOK) {
            ASSERT_TRUE(WaitUntil([&] { return box.History() == header; })) << box.History();
            EXPECT_EQ(ReadAll(box / "WindowTitleHis000001.htm"), "old line\r\n");
        } else {
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(question); }));
        }
        if (answer) PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitExit(app));
        EXPECT_FALSE(box.Setting("win").empty()) << "the placement was saved";
        EXPECT_EQ(ReadAll(box / "WindowTitleHis000002.htm"), "b2");
        if (answer != IDOK) {
            EXPECT_EQ(box.History(), "old line\r\n");
            EXPECT_FALSE(std::filesystem::exists(box / "WindowTitleHis000001.htm"));
        }
    }
}

}  // namespace
