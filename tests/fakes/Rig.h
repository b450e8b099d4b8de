#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "fakes/Fakes.h"
#include "fakes/PlatformServices.h"
#include "ui/MainWindow.h"

namespace poremisu::test {

inline std::string Shortcut(const std::string& url) { return "[InternetShortcut]\r\nURL=" + url + "\r\n"; }

// A page's link line without its line end; an empty name shows the address.
inline std::string Link(std::string_view url, std::string_view name = {}) {
    return expected::Link(std::string(url), std::string(name.empty() ? url : name));
}

inline bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// The file's bytes; empty when it is missing.
inline std::string ReadFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(std::filesystem::path(path), std::ios::binary).rdbuf();
    return bytes.str();
}

// A listing page's lines, in no fixed order since folders list in none. Bytes after the last CR LF
// stand as a line marked unended, which no expected line matches.
inline std::multiset<std::string> PageLines(const std::string& page) {
    std::multiset<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = page.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.insert(page.substr(begin, end - begin));
    }
    if (begin < page.size()) lines.insert("unended: " + page.substr(begin));
    return lines;
}

inline bool FileExists(const std::string& path) { std::error_code e; return std::filesystem::exists(path, e); }
inline std::string Cwd() { return std::filesystem::current_path().generic_string(); }

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. The current directory at construction is
// restored first, since the code under test moves it.
class TempDir {
public:
    TempDir() : m_savedCwd(std::filesystem::current_path()) {
        std::random_device random;
        std::filesystem::path path;
        do path = std::filesystem::temp_directory_path() / ("poremisu-test-" + std::to_string(random()));
        while (!std::filesystem::create_directory(path));
        m_path = std::filesystem::canonical(path).generic_string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(m_savedCwd, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }

    // The folder, without a final separator.
    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::filesystem::path m_savedCwd;
    std::string m_path;
};

inline constexpr WindowId kMainWindowId = 1;

// A main window over fakes of the toolkit, the browser control and the
// desktop, with real files in a temporary program folder.
struct Rig {
    Rig() : texts(Texts::Make([](std::string_view utf8) { return std::string(utf8); })) {
        state.programDir = dir.Path() + "/";
        state.settingsPath = state.programDir + "poremisu.ini";
        state.historyPath = state.programDir + "WindowTitleHis.htm";
        state.readmePath = state.programDir + "readme.txt";
        state.mainWindow = kMainWindowId;
        host.window = &window;
    }

    std::string History() const { return ReadFile(state.historyPath); }

    TempDir dir;
    std::unique_ptr<FileSystem> files = MakePlatformFileSystem();
    std::unique_ptr<ProfileStore> profiles = MakePlatformProfileStore();
    FakeProcessServices process;
    FakeWindowSystem windows;
    Services services{*files, *profiles, process, windows};
    AppState state;
    Texts texts;
    CallLog log;
    FakeHost host{log};
    FakeBrowser browser{log};
    MainWindow window{state, texts, host, browser, services, &host};

    // How many times the call is in the log.
    std::ptrdiff_t Calls(const std::string& call) const { return std::count(log.begin(), log.end(), call); }
};

}  // namespace poremisu::test
