// End-to-end runs of poremisu.exe (..\poremisu.exe from here): each test
// copies the program into a fresh folder (its settings and history files live
// beside it), starts it, and drives it from outside as a user or another
// program would. The stand-in control beside this test is registered as the
// system's web-browser control for the whole run, so pages complete: it
// reports the addresses it is sent to and the keys it is offered in
// browser-events.txt beside the program.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../common/Expected.h"
#include "platform/win32/Win32Text.h"
#include "win32_test_support.h"

namespace {

namespace expected = poremisu::expected;
const std::wstring kProductWord = poremisu::WideFrom(expected::kProductWord, CP_UTF8);
const char kControlKey[] = "Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}";
const char kServerKey[] = "Software\\Classes\\CLSID\\{8856F961-340A-11D0-A96B-00C04FD705A2}\\InprocServer32";

// Waits, answering meanwhile what is sent to this thread's windows.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout = 10000) {
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > timeout) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    }
    return true;
}

std::string Utf8(const std::wstring& text) { return poremisu::BytesFrom(text, CP_UTF8); }

// The address as the control reports a local path.
std::wstring FileUrl(std::wstring path) {
    for (std::size_t at = 0; (at = path.find_first_of(L"\\ ", at)) != std::wstring::npos;) {
        path.replace(at, 1, path[at] == L' ' ? L"%20" : L"/");
    }
    return L"file:///" + path;
}

// What both suites expect, in the ANSI code page.
std::string Ansi(const std::string& utf8) { return poremisu::BytesFrom(poremisu::WideFrom(utf8, CP_UTF8), CP_ACP); }
std::string LinkLine(const std::wstring& url, const std::wstring& name) {
    return Ansi(expected::HistoryLink(Utf8(url), Utf8(name)));
}

// A window's text through the message, so that controls of other processes answer too.
std::wstring TextOf(HWND window) {
    wchar_t buffer[8192] = {};
    DWORD_PTR length = 0;
    bool answered = window && SendMessageTimeoutW(window, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer),
                                                  SMTO_ABORTIFHUNG, 3000, &length);
    return answered ? std::wstring(buffer, length) : L"<no answer>";
}

// Sets a window's text through the message, as typing would leave it.
void SetText(HWND window, const wchar_t* text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 3000, &ignored);
}

// The first visible top-level window of the class, and of the process when given.
HWND FindTopLevel(const char* className, DWORD process = 0) {
    for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExA(nullptr, w, className, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(w, &id);
        if (IsWindowVisible(w) && (!process || id == process)) return w;
    }
    return nullptr;
}

// A box (dialog or message box) owned by the window, found by its caption.
HWND WaitBox(HWND owner, const std::wstring& caption) {
    HWND box = nullptr;
    auto found = [&] { return (box = FindWindowW(L"#32770", caption.c_str())) && GetWindow(box, GW_OWNER) == owner; };
    return WaitUntil(found) ? box : nullptr;
}

RECT RectIn(HWND child, HWND parent) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

bool WaitExit(HANDLE process, DWORD ms = 10000) { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }

// A fresh folder with a copy of the program; the processes started from it
// are ended before it goes. Its program's last run and main window are `app`
// and `main`.
class Sandbox {
public:
    Sandbox() {
        static int serial = 0;
        auto name = L"poremisu-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
        m_dir = (std::filesystem::temp_directory_path() / name).wstring() + L"\\";
        std::filesystem::create_directories(m_dir);
        CopyFileW((ModuleFolder(nullptr) + L"..\\poremisu.exe").c_str(), At(L"poremisu.exe").c_str(), FALSE);
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
    std::wstring At(const std::wstring& name) const { return m_dir + name; }
    HANDLE Start(const std::wstring& arguments = L"") {
        std::wstring commandLine = L"\"" + At(L"poremisu.exe") + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        CreateProcessW(At(L"poremisu.exe").c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       m_dir.c_str(), &startup, &info);
        if (info.hThread) CloseHandle(info.hThread);
        return info.hProcess ? m_processes.emplace_back(info.hProcess) : nullptr;
    }
    // Starts the program, once every earlier run has ended (one instance at
    // a time holds the name), at an address or at none; false when it shows no window.
    bool Open(const std::wstring& argument = L"") {
        WaitUntil([] { return !FindTopLevel("poremisu"); });
        app = Start(argument);
        main = nullptr;
        WaitUntil([&] { return (main = FindTopLevel("poremisu", GetProcessId(app))) || WaitExit(app, 0); }, 30000);
        return main != nullptr;
    }
    // Writes a page or another file (its folders made) into the folder; returns its path.
    std::wstring Page(const std::wstring& name, const std::string& html) {
        std::filesystem::path path = At(name);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << html;
        return path.wstring();
    }
    // Awaits the title of a page named `name`, the status bar hidden and no status text shown.
    bool WaitTitle(const std::wstring& name) {
        const std::wstring title = poremisu::WideFrom(expected::BareTitle(Utf8(name)), CP_UTF8);
        return WaitUntil([&] { return TextOf(main) == title; });
    }
    std::string History() const { return ReadAll(At(L"WindowTitleHis.htm")); }
    // The stand-in control's report, in UTF-8.
    std::string Events() const { return ReadAll(At(L"browser-events.txt")); }
    HANDLE app = nullptr;
    HWND main = nullptr;

private:
    std::wstring m_dir;
    std::vector<HANDLE> m_processes;
};

struct E2E : ::testing::Test, Sandbox {};

// Runs a command of the menu bar with the keys a user presses: the bar is
// attached first when the window has none (the system menu's "show all"),
// then the keys walk from the bar's first entry to the item.
void MenuCommand(HWND main, int id) {
    if (!GetMenu(main)) {
        PostMessageA(main, WM_SYSCOMMAND, 32, 0);
        ASSERT_TRUE(WaitUntil([&] { return GetMenu(main) != nullptr; }));
    }
    const WORD R = VK_RIGHT, D = VK_DOWN;
    const std::map<int, std::vector<WORD>> keys = {
        {32778, {R, R, D, D}},                                            // the history popup
        {32779, {R, R, R, R, R, R, R, R, D, D}},                          // the help popup
        {32777, {R, R, R, R, R, R, R, R, D, D, D, D, R, D}},              // the help popup, then its nested popup
    };
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 0);
    for (WORD key : keys.at(id)) PostMessageA(main, WM_KEYDOWN, key, 0);
    PostMessageA(main, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(E2E, OpensBareTheDialogsAndBoxesWorkAndKeysReachTheControlFirst) {
    ASSERT_TRUE(Open()) << "no main window appeared";
    // Show all, sent or posted by another process, does nothing.
    DWORD_PTR sent = 0;
    SendMessageTimeoutA(main, WM_COMMAND, 32787, 0, SMTO_ABORTIFHUNG, 3000, &sent);
    PostMessageA(main, WM_COMMAND, 32787, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindow(main) && GetMenu(main) == nullptr) << "a foreign command was carried out";
    EXPECT_TRUE(WaitUntil([&] {
        RECT bar = RectIn(GetDlgItem(main, 1002), main), client = {};
        GetClientRect(main, &client);
        HWND page = GetDlgItem(main, 1000), status = GetDlgItem(main, 1);
        return status && !IsWindowVisible(status) && bar.bottom == bar.top && page && RectIn(page, main) == client;
    }, 3000)) << "the status bar and the address bar are hidden and the page fills the window";
    PostMessageA(main, WM_SYSCOMMAND, 16, 0);
    HWND dialog = WaitBox(main, L"URL\u5165\u529b");
    ASSERT_TRUE(dialog) << "the address dialog";
    std::wstring url = TextOf(GetDlgItem(dialog, 1006)), name = TextOf(GetDlgItem(dialog, 1007));
    EXPECT_EQ(TextOf(GetDlgItem(dialog, 1008)), L"<a href=\"" + url + L"\">" + name + L"</a>");
    // The fields lie in rows of the address bar's height.
    RECT address = RectIn(GetDlgItem(dialog, 1006), dialog), page = RectIn(GetDlgItem(dialog, 1007), dialog);
    EXPECT_TRUE(address.left == 0 && address.top == 0 && address.bottom > 0 && page.top == address.bottom);

    // Escape attaches a fresh menu bar and leaves the dialog open; the close box is refused.
    PostMessageA(GetDlgItem(dialog, 1), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(WaitUntil([&] { return GetMenu(main) != nullptr; })) << "Escape brings the menu bar";
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(500);
    EXPECT_TRUE(IsWindow(dialog)) << "neither Escape nor the close box ends the dialog";

    const wchar_t typed[] = L"http://example.invalid/go";
    SetText(GetDlgItem(dialog, 1006), typed);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1)));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "GO ends the dialog";
    EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(main, 1002)) == typed; })) << "and shows it";

    // The control's Path reaches its box, the menu's sweep closes a stray
    // browser window of another program, and a key reaches the control first.
    MenuCommand(main, 32779);  // "path": the control's Path in a box
    HWND path = WaitBox(main, L"\u30d1\u30b9");
    ASSERT_TRUE(path);
    EXPECT_TRUE(FindWindowExW(path, nullptr, nullptr, ModuleFolder(nullptr).c_str())) << "the stand-in's folder";
    PostMessageA(path, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(path); }));
    HWND stray = CreateWindowExW(0, L"Static", L"Stray - Internet Explorer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                 40, 320, 200, nullptr, nullptr, nullptr, nullptr);
    MenuCommand(main, 32777);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(stray); })) << "the sweep closes it";
    // A key in the page's window reaches the control first, as the control's own keys must.
    PostMessageA(GetDlgItem(main, 1000), WM_KEYDOWN, VK_F5, 0x003F0001);
    EXPECT_TRUE(WaitUntil([&] { return Events().find("TranslateAccelerator\t116\n") != std::string::npos; }, 3000))
        << Events();
}

// The reset asks first. A close request meanwhile ends its box as cancelled,
// the log kept, then saves the placement and closes; OK moves the log to a
// numbered file.
TEST_F(E2E, ACloseSavesThePlacementEvenDuringTheResetAndTheNextStartRestoresIt) {
    Page(L"WindowTitleHis.htm", "old line\r\n");
    ASSERT_TRUE(Open()) << "no main window appeared";
    // The start page is logged first.
    const std::string home = LinkLine(L"about:home", L"about:home"), old = "old line\r\n" + home;
    ASSERT_TRUE(WaitUntil([&] { return History() == old; })) << History();
    // Larger than the template: a smaller rectangle gives way to the template's size.
    SetWindowPos(main, nullptr, 60, 70, 640, 560, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT normal = {};
    ASSERT_TRUE(WaitUntil([&] { return GetWindowRect(main, &normal) && normal.left == 60; }));
    MenuCommand(main, 32778);
    ASSERT_TRUE(WaitBox(main, kProductWord)) << "the confirmation box";
    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitExit(app)) << "a close request ends the program";
    EXPECT_EQ(History(), old);

    // What the close saved is where the next start puts the window.
    ASSERT_TRUE(Open());
    RECT now = {};
    EXPECT_TRUE(WaitUntil([&] { return GetWindowRect(main, &now) && now == normal; })) << "applied at start";
    ASSERT_TRUE(WaitUntil([&] { return History() == old + home; })) << History();
    MenuCommand(main, 32778);
    HWND question = WaitBox(main, kProductWord);
    ASSERT_TRUE(question) << "the confirmation box";
    PostMessageA(question, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(At(L"WindowTitleHis000001.htm")) == old + home; }));
}

TEST_F(E2E, TheAddressBarShowsALaterStartsArgumentAndEnterInItGoesToWhatItHolds) {
    // A page that never comes: the title is the product word from the first
    // moment, by which the later start finds the window. (How a quoted
    // argument fares through the settings file, the core's hand-off tests show
    // over the Windows services.)
    ASSERT_TRUE(Open(At(L"never.htm"))) << "no main window appeared";
    EXPECT_TRUE(WaitUntil([&] { return TextOf(main) == kProductWord; })) << Utf8(TextOf(main));
    auto exitCode = [](HANDLE process) {
        DWORD code = STILL_ACTIVE;
        return WaitExit(process, 20000) && GetExitCodeProcess(process, &code) ? code : STILL_ACTIVE;
    };
    HWND bar = GetDlgItem(main, 1002);
    EXPECT_EQ(exitCode(Start(L"http://example.invalid/handed-off")), 0u) << "the later start ends";
    EXPECT_TRUE(WaitUntil([&] { return TextOf(bar) == L"http://example.invalid/handed-off"; })) << Utf8(TextOf(bar));
    // Enter typed in the address bar goes to what it holds.
    PostMessageA(main, WM_SYSCOMMAND, 32, 0);  // show all
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(bar) != FALSE; }));
    SetText(bar, L"http://example.invalid/typed");
    PostMessageA(bar, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_TRUE(WaitUntil([&] { return Events().find("Navigate2\thttp://example.invalid/typed\n") !=
                                       std::string::npos; })) << Events();
    // An address that cannot be written is no success.
    std::filesystem::rename(At(L"poremisu.ini"), At(L"kept.ini"));
    std::filesystem::create_directory(At(L"poremisu.ini"));
    EXPECT_EQ(exitCode(Start(L"http://example.invalid/unwritten")), 1u);
    // A copy in another folder is another program: it opens its own window.
    Sandbox other;
    HANDLE copy = other.Start(L"http://example.invalid/elsewhere");
    EXPECT_TRUE(WaitUntil([&] { return FindTopLevel("poremisu", GetProcessId(copy)) != nullptr; }, 30000));
}

// The stand-in control beside this test takes the system control's class id
// for the length of the run: for the current user and, since Wine's COM reads
// the machine's classes only, there too, the machine's registration coming
// back after the run.
class StandInControl : public ::testing::Environment {
public:
    void SetUp() override {
        char saved[MAX_PATH] = {};
        DWORD size = sizeof saved - 1;
        RegGetValueA(HKEY_LOCAL_MACHINE, kServerKey, nullptr, RRF_RT_REG_SZ, nullptr, saved, &size);
        // A run ended before it could restore left the stand-in there: Wine's own server is this.
        m_saved = std::string(saved).find("stand_in_browser") == std::string::npos
                      ? saved : "C:\\windows\\system32\\ieframe.dll";
        const std::string dll = poremisu::BytesFrom(ModuleFolder(nullptr) + L"stand_in_browser.dll", CP_ACP);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) SetServer(root, dll);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kControlKey);
        if (!m_saved.empty()) SetServer(HKEY_LOCAL_MACHINE, m_saved);
    }

private:
    static void SetServer(HKEY root, const std::string& server) {
        RegSetKeyValueA(root, kServerKey, nullptr, REG_SZ, server.c_str(), static_cast<DWORD>(server.size() + 1));
        RegSetKeyValueA(root, kServerKey, "ThreadingModel", REG_SZ, "Apartment", sizeof "Apartment");
    }
    std::string m_saved;  // the machine's registration, while the stand-in stands in its place
};
const auto* const g_standIn = ::testing::AddGlobalTestEnvironment(new StandInControl);

// A page completes into the title and the history; a folder address is
// written out as its listing page, and the listing shown.
TEST(E2EPages, CompleteIntoTheTitleAndTheHistory) {
    const struct {
        const wchar_t* file;
        const char* html;  // UTF-8
        const wchar_t* open;
        const wchar_t* shown;  // the page that completes
        const wchar_t* name;   // its name; none: its path
    } rows[] = {
        // Japanese in the address and the name reach the title and the history in CP932; the
        // command line's blank is part of the address, and escaped in it.
        {L"\u30da\u30fc\u30b8 x\\\u65e5\u672c.htm", "<title>\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e</title>",
         L"\u30da\u30fc\u30b8 x\\\u65e5\u672c.htm", L"\u30da\u30fc\u30b8 x\\\u65e5\u672c.htm", L"\u65e5\u672c\u8a9e"},
        // The folder's name ends in a byte 0x5C in CP932, a backslash where bytes are taken for characters.
        {L"\u8868\\Sub\\keep.htm", "", L"\u8868", L"\u8868\\Favorites.htm", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.open));
        Sandbox box;
        box.Page(row.file, row.html);
        const std::wstring open = box.At(row.open), shown = box.At(row.shown);
        const std::wstring name = row.name ? row.name : shown;
        ASSERT_TRUE(box.Open(open));
        EXPECT_TRUE(box.WaitTitle(name)) << Utf8(TextOf(box.main));
        const std::string opened = open == shown ? "" : LinkLine(FileUrl(open), open);
        EXPECT_EQ(box.History(), opened + LinkLine(FileUrl(shown), name));
    }
}

// A page's pop-up request: logged with the address it asked for, where the
// control tells it, else with the last link address, which the main window
// loads instead; the window the control opened for the request is logged and
// closed at that load's download start.
TEST(E2EPopUp, LoadsWhatItAskedForOrTheLastLinkAndItsDownloadSweepsTheStrayWindow) {
    struct Row {
        const char* marker;
        std::wstring loaded;
    } rows[] = {
        {"test-popup", L"http://popup.invalid/ad"},
        {"test-popup-unnamed", L"http://example.invalid/target"},  // a control without NewWindow3
    };
    const std::string pop = "<title>Pop</title><meta name=\"test-status\" content=\"http://example.invalid/target\">";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.marker);
        Sandbox box;
        const std::wstring page =
            box.Page(L"pop.htm", pop + "<meta name=\"" + row.marker + "\" content=\"http://popup.invalid/ad\">");
        ASSERT_TRUE(box.Open(page));
        EXPECT_TRUE(box.WaitTitle(row.loaded)) << Utf8(TextOf(box.main));
        EXPECT_EQ(box.History(), LinkLine(FileUrl(page), L"Pop") + expected::NewWindowLine(Utf8(row.loaded)) +
                                 "(IE)\thttp://popup.invalid/ad - Internet Explorer\r\n" +
                                 LinkLine(row.loaded, row.loaded));
        EXPECT_FALSE(FindWindowW(nullptr, L"http://popup.invalid/ad - Internet Explorer"))
            << "the stray window was closed";
    }
}

}  // namespace
