// The Win32 services against the system itself (run under Windows or Wine).

#include "platform/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "browser/CWebBrowser2.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessServices.h"
#include "platform/win32/Win32ProfileStore.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32WebBrowser.h"
#include "platform/win32/Win32WindowSystem.h"
#include "ui/CommandTable.h"

namespace poremisu {
namespace {

// A fresh folder, made current for the test and removed afterwards.
class Folder {
public:
    Folder() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        static std::atomic<int> serial{0};
        m_path = std::string(temp) + "poremisu-w32-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(serial++);
        CreateDirectoryA(m_path.c_str(), nullptr);
        char saved[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, saved);
        m_saved = saved;
        SetCurrentDirectoryA(m_path.c_str());
    }
    ~Folder() {
        SetCurrentDirectoryA(m_saved.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_saved;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kProductWordCp932 = "\x82\xdb\x82\xea\x82\xdd\x82\xb7";

TEST(Win32Text, ArgumentTextIsTheCommandLineAfterTheProgramName) {
    struct Case {
        const char* commandLine;
        const char* argument;
    };
    const Case cases[] = {
        {"poremisu.exe", ""},
        {"poremisu.exe http://a/", "http://a/"},
        {"\"C:\\Program Files\\p\\poremisu.exe\" \"C:\\a b\\x.url\"", "\"C:\\a b\\x.url\""},
        {"\"C:\\p q\\poremisu.exe\"", ""},
        {"poremisu.exe \t  two  words ", "two  words "},
        {"C:\\\"odd dir\"\\poremisu.exe x", "x"},
    };
    for (const Case& c : cases) EXPECT_EQ(ArgumentTextOf(c.commandLine), c.argument) << c.commandLine;
}

TEST(Win32Text, FixedTextsReachTheAnsiCodePage) {
    if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not 932";
    EXPECT_EQ(AnsiFromUtf8("\xe3\x81\xbd\xe3\x82\x8c\xe3\x81\xbf\xe3\x81\x99"), kProductWordCp932);
    EXPECT_EQ(AnsiFromUtf8("\xe2\x97\x8b"), "\x81\x9b");  // the folder mark
    EXPECT_EQ(BytesFrom(WideFrom(kProductWordCp932)), kProductWordCp932);
    EXPECT_EQ(AnsiFromUtf8(""), "");
}

TEST(Win32FileSystem, LinesGoToDiskWithCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\n", "a\r\n"}, {"", ""}, {"a\nb\n", "a\r\nb\r\n"}, {"no end", "no end"}, {"\n\n", "\r\n\r\n"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(ToCrLf(in), out);
}

TEST(Win32FileSystem, AppendKeepsAndTruncateDiscards) {
    Folder folder;
    Win32FileSystem files;
    const std::string log = folder / "log.htm";
    for (int i = 0; i < 2; ++i) {
        auto file = files.Open(log, OpenMode::Append);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->WriteLine("line " + std::to_string(i) + "\n"));
    }
    EXPECT_EQ(ReadAll(log), "line 0\r\nline 1\r\n");

    // Another reader or writer may have the file open meanwhile.
    std::ifstream reader(log);
    auto truncated = files.Open(log, OpenMode::Truncate);
    ASSERT_TRUE(truncated);
    EXPECT_TRUE(truncated->WriteLine("header\n"));
    truncated.reset();
    reader.close();
    EXPECT_EQ(ReadAll(log), "header\r\n");

    EXPECT_FALSE(files.Open(folder / "missing\\x.htm", OpenMode::Append));
}

TEST(Win32FileSystem, ConcurrentAppendersNeverSplitALine) {
    Folder folder;
    const std::string log = folder / "shared.htm";
    constexpr int kWriters = 4;
    constexpr int kLines = 150;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            Win32FileSystem files;
            // Each line opened, written in one piece and closed, as the
            // history log does; long lines make a split likely if it can happen.
            std::string body(300, static_cast<char>('a' + w));
            for (int i = 0; i < kLines; ++i) {
                auto file = files.Open(log, OpenMode::Append);
                if (file) file->WriteLine(std::to_string(w) + ":" + std::to_string(i) + ":" + body + "\n");
            }
        });
    }
    for (auto& writer : writers) writer.join();

    std::istringstream lines(ReadAll(log));
    std::string line;
    std::set<std::string> seen;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "a line lost its CR LF";
        line.pop_back();
        std::size_t a = line.find(':');
        std::size_t b = line.find(':', a + 1);
        ASSERT_NE(b, std::string::npos) << line.substr(0, 40);
        int w = std::stoi(line.substr(0, a));
        EXPECT_EQ(line.substr(b + 1), std::string(300, static_cast<char>('a' + w))) << "a line was split";
        seen.insert(line.substr(0, b));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kLines));
}

TEST(Win32FileSystem, ProbeAndExistsNeverCreate) {
    Folder folder;
    Win32FileSystem files;
    EXPECT_FALSE(files.Probe("absent.htm"));
    EXPECT_FALSE(files.Exists("absent.htm"));
    EXPECT_FALSE(files.Exists(folder / "absent.htm"));
    WriteAll(folder / "present.htm", "x");
    EXPECT_TRUE(files.Probe("present.htm"));
    EXPECT_TRUE(files.Exists("present.htm"));
    EXPECT_FALSE(files.Probe(folder.Path()));  // a folder cannot be opened for reading
    EXPECT_TRUE(files.Exists(folder.Path()));
}

TEST(Win32FileSystem, RenameRefusesAnExistingTargetAndAMissingSource) {
    Folder folder;
    Win32FileSystem files;
    WriteAll(folder / "a.htm", "a");
    WriteAll(folder / "b.htm", "b");
    EXPECT_FALSE(files.Rename("a.htm", "b.htm"));
    EXPECT_EQ(ReadAll(folder / "b.htm"), "b");
    EXPECT_FALSE(files.Rename("missing.htm", "c.htm"));
    EXPECT_TRUE(files.Rename("a.htm", "c.htm"));
    EXPECT_EQ(ReadAll(folder / "c.htm"), "a");
    EXPECT_FALSE(files.Exists("a.htm"));
}

TEST(Win32FileSystem, CurrentDirectoryAndFullPaths) {
    Folder folder;
    Win32FileSystem files;
    CreateDirectoryA((folder / "sub").c_str(), nullptr);
    ASSERT_TRUE(files.SetCurrentDirectory("sub"));
    EXPECT_EQ(files.GetCurrentDirectory(), folder / "sub");
    EXPECT_EQ(files.FullPath("Favorites.htm"), folder / "sub\\Favorites.htm");
    EXPECT_EQ(files.FullPath("..\\x.url"), folder / "x.url");
    EXPECT_EQ(files.FullPath("a/b.htm"), folder / "sub\\a\\b.htm");
    EXPECT_FALSE(files.SetCurrentDirectory(folder / "no such folder"));
    EXPECT_EQ(files.GetCurrentDirectory(), folder / "sub");
    EXPECT_TRUE(files.IsDirectory(folder.Path()));
    EXPECT_TRUE(files.IsDirectory(folder.Path() + "/sub"));
    EXPECT_FALSE(files.IsDirectory(folder / "sub\\none"));
}

TEST(Win32FileSystem, EnumerationListsEveryEntryWithDotAndDotDot) {
    Folder folder;
    Win32FileSystem files;
    CreateDirectoryA((folder / "Sub").c_str(), nullptr);
    WriteAll(folder / "News.url", "");
    WriteAll(folder / "hidden.htm", "");
    SetFileAttributesA((folder / "hidden.htm").c_str(), FILE_ATTRIBUTE_HIDDEN);
    std::set<std::pair<std::string, bool>> entries;
    EXPECT_TRUE(files.EnumerateCurrentDirectory([&](const DirectoryEntry& entry) {
        entries.insert({entry.name, entry.isDirectory});
        return true;
    }));
    std::set<std::pair<std::string, bool>> expected{
        {".", true}, {"..", true}, {"Sub", true}, {"News.url", false}, {"hidden.htm", false}};
    EXPECT_EQ(entries, expected);

    int calls = 0;
    files.EnumerateCurrentDirectory([&](const DirectoryEntry&) { return ++calls < 2; });
    EXPECT_EQ(calls, 2) << "the callback stops the enumeration";
}

TEST(Win32FileSystem, EnvironmentVariables) {
    Win32FileSystem files;
    SetEnvironmentVariableA("POREMISU_TEST_SET", "C:\\WINDOWS");
    SetEnvironmentVariableA("POREMISU_TEST_EMPTY", "");
    SetEnvironmentVariableA("POREMISU_TEST_UNSET", nullptr);
    EXPECT_EQ(files.GetEnv("POREMISU_TEST_SET"), std::optional<std::string>("C:\\WINDOWS"));
    EXPECT_EQ(files.GetEnv("POREMISU_TEST_EMPTY"), std::optional<std::string>(""));
    EXPECT_EQ(files.GetEnv("POREMISU_TEST_UNSET"), std::nullopt);
    EXPECT_EQ(files.Separators(), "\\/");
}

TEST(Win32ProfileStore, WritesKeepEveryOtherKeyAndReadsFollowTheRules) {
    Folder folder;
    Win32ProfileStore profiles;
    const std::string ini = folder / "poremisu.ini";
    WriteAll(ini, "; kept\r\n[other]\r\nnewurl=elsewhere\r\n[setting]\r\nwin=1:2\r\nextra = kept \r\n");
    EXPECT_TRUE(profiles.Write(ini, "setting", "newurl", "\"C:\\a b\\x.url\""));
    EXPECT_TRUE(profiles.Write(ini, "setting", "win", "0:1:2:3:4:5:6:7:8:9"));
    EXPECT_TRUE(profiles.Write(ini, "setting", "cut", "first line\r\nsecond=line"));

    struct Case {
        const char* section;
        const char* key;
        std::size_t count;
        const char* value;
    };
    const Case cases[] = {
        {"setting", "newurl", 60000, "C:\\a b\\x.url"},  // the enclosing quotes go
        {"setting", "win", 100, "0:1:2:3:4:5:6:7:8:9"},
        {"setting", "extra", 100, "kept"},
        {"other", "newurl", 100, "elsewhere"},
        {"SETTING", "WIN", 100, "0:1:2:3:4:5:6:7:8:9"},  // names in any case
        {"setting", "cut", 100, "first line"},           // no line of its own
        {"setting", "second", 100, "default"},
        {"setting", "win", 4, "0:1"},                    // count - 1 bytes
        {"missing", "win", 100, "default"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(profiles.Read(ini, c.section, c.key, "default", c.count), c.value) << c.section << "/" << c.key;
    }
    EXPECT_NE(ReadAll(ini).find("; kept"), std::string::npos);
    EXPECT_EQ(profiles.Read(folder / "none.ini", "setting", "win", "", 100), "");
}

TEST(Win32ProcessServices, TheSecondInstanceOfANameIsSeen) {
    std::string name = "poremisu-test-" + std::to_string(GetCurrentProcessId());
    Win32ProcessServices first;
    Win32ProcessServices second;
    EXPECT_EQ(first.AcquireInstance(name), InstanceResult::First);
    EXPECT_EQ(second.AcquireInstance(name), InstanceResult::AlreadyExists);
    Win32ProcessServices other;
    EXPECT_EQ(other.AcquireInstance(name + "-other"), InstanceResult::First);
}

TEST(Win32ProcessServices, TheHandOffLockWaitsForItsHolder) {
    std::string name = "poremisu-lock-" + std::to_string(GetCurrentProcessId());
    Win32ProcessServices process;
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        auto lock = process.LockHandOff(name);
        held = true;
        while (!release) Sleep(5);
    });
    while (!held) Sleep(5);
    auto start = std::chrono::steady_clock::now();
    std::thread releaser([&] {
        Sleep(300);
        release = true;
    });
    auto lock = process.LockHandOff(name);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, kHandOffLockWait);
    holder.join();
    releaser.join();
}

// Windows of this thread, for the window services.
class TestWindows : public ::testing::Test {
protected:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND) s_lastCommand = wParam;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    void SetUp() override {
        s_lastCommand = 0;
        for (const char* name : {kMainWindowClass, "PoremisuTestOther"}) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = Proc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = name;
            RegisterClassA(&windowClass);
        }
    }
    HWND Make(const char* windowClass, const std::string& title) {
        HWND window = CreateWindowExA(0, windowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        m_windows.push_back(window);
        return window;
    }
    void TearDown() override {
        for (HWND window : m_windows) {
            if (IsWindow(window)) DestroyWindow(window);
        }
    }
    static WindowId Id(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

    static inline WPARAM s_lastCommand = 0;
    std::vector<HWND> m_windows;
    Win32WindowSystem m_system;
};

TEST_F(TestWindows, TopLevelWindowsTitlesAndTheProgramsClass) {
    HWND program = Make(kMainWindowClass, "Example - " + kProductWordCp932 + " > ");
    HWND other = Make("PoremisuTestOther", "Not ours " + kProductWordCp932);
    auto windows = m_system.TopLevelWindows();
    std::set<WindowId> all(windows.begin(), windows.end());
    EXPECT_EQ(all.size(), windows.size()) << "each window once";
    EXPECT_TRUE(all.count(Id(program)));
    EXPECT_TRUE(all.count(Id(other)));

    EXPECT_TRUE(m_system.IsProgramWindow(Id(program)));
    EXPECT_FALSE(m_system.IsProgramWindow(Id(other)));
    EXPECT_EQ(m_system.Title(Id(other), 600), "Not ours " + kProductWordCp932);
    EXPECT_EQ(m_system.Title(Id(other), 4), "Not");
    EXPECT_EQ(m_system.Title(Id(other), 0), "");
    EXPECT_TRUE(m_system.Exists(Id(other)));
}

TEST_F(TestWindows, CloseRequestAndHandOff) {
    HWND stray = Make("PoremisuTestOther", "Page - Internet Explorer");
    m_system.RequestClose(Id(stray), std::chrono::milliseconds(1000));
    EXPECT_FALSE(m_system.Exists(Id(stray))) << "the close box's request destroys a plain window";
    EXPECT_EQ(m_system.Title(Id(stray), 600), "");

    HWND program = Make(kMainWindowClass, kProductWordCp932);
    EXPECT_TRUE(m_system.SendHandOff(Id(program), std::chrono::milliseconds(1000)));
    EXPECT_EQ(s_lastCommand, static_cast<WPARAM>(MAKEWPARAM(cmd::kHandOff, 0)));
}

struct RecordedEvents : BrowserEvents {
    void OnDownloadBegin() override { log += "download;"; }
    void OnDocumentComplete() override { log += "complete;"; }
    void OnNewWindow2() override { log += "new;"; }
    void OnStatusTextChange(const std::string& text) override { log += "status:" + text + ";"; }
    std::string log;
};

TEST(Win32WebBrowser, EventsAreRoutedByDispatchId) {
    struct Case {
        DISPID id;
        const char* log;
    };
    const Case cases[] = {
        {106, "download;"}, {259, "complete;"}, {251, "new;"}, {102, "status:;"},
        {250, ""},          {252, ""},          {227, ""},      {113, ""},         {271, ""},
    };
    for (const Case& c : cases) {
        RecordedEvents events;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        DispatchBrowserEvent(c.id, &none, events);
        EXPECT_EQ(events.log, c.log) << c.id;
    }

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"http://example.com/ link");
    DISPPARAMS params = {&text, nullptr, 1, 0};
    RecordedEvents events;
    DispatchBrowserEvent(102, &params, events);
    EXPECT_EQ(events.log, "status:http://example.com/ link;");
    VariantClear(&text);
}

TEST(Win32WebBrowser, WithoutAControlEveryOperationIsANoOp) {
    Win32WebBrowser browser;
    EXPECT_FALSE(browser.IsCreated());
    browser.Navigate2("about:blank");
    browser.SetLeft(1);
    browser.SetHeight(-5);
    browser.GoBack();
    browser.SetStatusBar(true);
    EXPECT_EQ(browser.GetLocationURL(), "");
    EXPECT_EQ(browser.GetLocationName(), "");
    EXPECT_EQ(browser.GetPath(), "");
    EXPECT_EQ(browser.Window(), nullptr);
}

TEST_F(TestWindows, TheHostedControlFollowsItsGeometry) {
    OleInitialize(nullptr);
    HWND parent = Make("PoremisuTestOther", "host");
    RecordedEvents events;
    {
        Win32WebBrowser browser;
        RECT start = {7, 18, 142, 264};
        if (!browser.Create(parent, start, 1000, events)) {
            OleUninitialize();
            GTEST_SKIP() << "the system's web-browser control cannot be created here";
        }
        ASSERT_NE(browser.Window(), nullptr);
        EXPECT_EQ(GetDlgCtrlID(browser.Window()), 1000);
        EXPECT_EQ(GetDlgItem(parent, 1000), browser.Window());

        // Left, Width, Top, Height in the order the layout sets them.
        browser.SetLeft(0);
        browser.SetWidth(300);
        browser.SetTop(20);
        browser.SetHeight(150);
        RECT rect = {};
        GetWindowRect(browser.Window(), &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 20);
        EXPECT_EQ(rect.right - rect.left, 300);
        EXPECT_EQ(rect.bottom - rect.top, 150);

        browser.SetResizable(true);
        browser.SetStatusBar(true);
        browser.Navigate2("about:blank");
        browser.Destroy();
        EXPECT_FALSE(browser.IsCreated());
        EXPECT_EQ(browser.GetLocationURL(), "");
    }
    OleUninitialize();
}

}  // namespace
}  // namespace poremisu
