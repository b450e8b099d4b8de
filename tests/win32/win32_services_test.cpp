// The Win32 services against the system itself (run under Windows or Wine). What the core's folder tests
// cover over these services (listing, current directory, environment, lines in CR LF, files that are
// missing) is not repeated here.

#include "platform/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <tuple>

#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProcessServices.h"
#include "platform/win32/Win32ProfileStore.h"
#include "platform/win32/Win32Text.h"
#include "win32_test_support.h"

namespace poremisu {
namespace {

namespace fs = std::filesystem;

// A fresh folder holding a.htm and b.htm, made current while the object lives.
class Folder {
public:
    Folder() : m_saved(fs::current_path()) {
        static int serial = 0;
        m_path = fs::temp_directory_path() / ("poremisu-w32-" + std::to_string(GetCurrentProcessId()) + "-" +
                                              std::to_string(serial++));
        fs::create_directories(m_path);
        fs::current_path(m_path);
        std::ofstream("a.htm", std::ios::binary) << "a";
        std::ofstream("b.htm", std::ios::binary) << "b";
    }
    ~Folder() {
        std::error_code ignored;
        fs::current_path(m_saved, ignored);
        fs::remove_all(m_path, ignored);
    }
    // What a.htm and b.htm hold; nothing for one that is gone.
    static std::string Files() { return "a.htm=" + ReadAll("a.htm") + ";b.htm=" + ReadAll("b.htm") + ";"; }

private:
    fs::path m_saved, m_path;
};

bool Append(Win32FileSystem& files, const std::string& path, const std::string& line,
            OpenMode mode = OpenMode::Append) {
    auto file = files.Open(path, mode);
    return file && file->WriteLine(line);
}

// Writers that each open, write one line in one piece and close, as the
// history log does; long lines make a split likely if it can happen.
bool ConcurrentAppendersKeepEveryLine(Win32FileSystem&) {
    constexpr int kWriters = 4, kLines = 150;
    auto line = [](int id) { return std::to_string(id) + ":" + std::string(300, static_cast<char>('a' + id / 1000)); };
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&line, w] {
            Win32FileSystem files;
            for (int i = 0; i < kLines; ++i) Append(files, "log.htm", line(w * 1000 + i) + "\n");
        });
    }
    for (auto& writer : writers) writer.join();
    std::istringstream text(ReadAll("log.htm"));
    std::set<int> seen;
    for (std::string read; std::getline(text, read); seen.insert(std::atoi(read.c_str()))) {
        if (read != line(std::atoi(read.c_str())) + "\r") return false;
    }
    return seen.size() == kWriters * kLines;
}

// Another program that locked the file beyond its content (a reader, or an
// appender that hangs) holds an append up for a second at most, not for as
// long as it holds its lock: the window that appends would hang with it.
bool AppendPastAnotherHandlesLock(Win32FileSystem& files) {
    HANDLE holder = CreateFileA("a.htm", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED beyond = {};
    beyond.Offset = 4096;
    if (!LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD / 2, &beyond)) {
        CloseHandle(holder);
        return false;
    }
    auto appended = std::async(std::launch::async, [&files] { return Append(files, "a.htm", "h\n"); });
    bool inTime = appended.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    UnlockFileEx(holder, 0, MAXDWORD, MAXDWORD / 2, &beyond);
    CloseHandle(holder);
    return appended.get() && inTime;
}

// Folders of 258 and 259 bytes: only the first can be made current, so only
// it is one to list (the other's listing would be the folder before's).
bool OnlyAFolderThatCanBeMadeCurrentIsOne(Win32FileSystem& files) {
    const std::string here = fs::current_path().string() + "\\";
    auto longName = [](const std::string& path) { return L"\\\\?\\" + WideFrom(path, CP_ACP); };
    std::string fits = here + std::string(MAX_PATH - 2 - here.size(), 'x'), over = fits + "x";
    for (const auto& path : {fits, over}) CreateDirectoryW(longName(path).c_str(), nullptr);
    bool answer = files.IsDirectory(fits) && files.Exists(over) && !files.IsDirectory(over);
    for (const auto& path : {fits, over}) RemoveDirectoryW(longName(path).c_str());
    return answer;
}

TEST(Win32FileSystem, OperationsOnARealFolder) {
    using Act = std::function<bool(Win32FileSystem&)>;
    const std::string untouched = "a.htm=a;b.htm=b;";
    // Each case in a fresh folder that holds a.htm and b.htm.
    const std::tuple<const char*, Act, bool, std::string> cases[] = {
        {"truncate while open",
         [](auto& f) { return std::ifstream("a.htm") && Append(f, "a.htm", "h\n", OpenMode::Truncate); },
         true, "a.htm=h\r\n;b.htm=b;"},
        {"rename onto a file", [](auto& f) { return f.Rename("a.htm", "b.htm"); }, false, untouched},
        {"concurrent appenders", ConcurrentAppendersKeepEveryLine, true, untouched},
        {"append while another handle locks the file", AppendPastAnotherHandlesLock, true, "a.htm=ah\r\n;b.htm=b;"},
        {"folders of 258 and 259 bytes", OnlyAFolderThatCanBeMadeCurrentIsOne, true, untouched},
    };
    for (const auto& [name, act, result, after] : cases) {
        Folder folder;
        Win32FileSystem files;
        EXPECT_EQ(act(files), result) << name;
        EXPECT_EQ(folder.Files(), after) << name;
    }
}

TEST(Win32ProfileStore, WritesKeepEveryOtherKeyAndReadsFollowTheRules) {
    Folder folder;
    Win32ProfileStore profiles;
    const std::string ini = (fs::current_path() / "poremisu.ini").string();
    std::ofstream(ini, std::ios::binary) << "[setting]\r\nwin=1:2\r\n";
    EXPECT_TRUE(profiles.Write(ini, "setting", "cut", "first line\r\nsecond=line"));
    const std::tuple<const char*, const char*, std::size_t, const char*> cases[] = {
        {"setting", "cut", 100, "first line"},  // a line break cuts the value
        {"setting", "second", 100, "default"},  // and makes no line of its own
        {"setting", "win", 3, "1:"},            // kept, and read to count - 1 bytes
    };
    for (const auto& [section, key, count, value] : cases) {
        EXPECT_EQ(profiles.Read(ini, section, key, "default", count), value) << section << "/" << key;
    }
}

// The instance is the mutex's owner: a thread that has ended, as a process
// has one, leaves its mutex abandoned, and the next to ask takes the
// instance over. That a living owner is seen, the end-to-end tests show.
TEST(Win32ProcessServices, AnInstanceWhoseOwnerEndedIsTakenOver) {
    const std::string name = "poremisu-test-" + std::to_string(GetCurrentProcessId());
    Win32ProcessServices first, later;
    std::thread([&] { EXPECT_EQ(first.AcquireInstance(name), InstanceResult::First); }).join();
    EXPECT_EQ(later.AcquireInstance(name, std::chrono::milliseconds{500}), InstanceResult::First);
}

}  // namespace
}  // namespace poremisu
