#pragma once

#include <chrono>
#include <string>

#include "app/AppState.h"
#include "app/Placement.h"
#include "app/Platform.h"
#include "app/Text.h"

namespace poremisu {

inline constexpr std::string_view kSettingsFileName = "poremisu.ini";
inline constexpr std::string_view kReadmeFileName = "readme.txt";
// How long a later start waits for the running window to take its address.
inline constexpr std::chrono::milliseconds kHandOffTimeout{5000};

// What the platform supplies at process start.
struct StartupInfo {
    std::string modulePath;      // the executable's own path
    std::string argumentText;    // the whole argument text, possibly empty
    ShowCommand showState = ShowCommand::Normal;
};

// Creates the main window over the platform's toolkit and runs it until it ends.
class MainWindowRunner {
public:
    virtual ~MainWindowRunner() = default;
    virtual void RunMainWindow(ShowCommand startupShowState) = 0;
};

enum class StartOutcome {
    HandedOff,      // a running instance took the address
    RanMainWindow,  // this process ran the main window to its end
    Refused,        // the program's folder cannot hold its files' paths
};

// The directory part of a path, separator included ("" when there is none).
std::string DirectoryOf(std::string_view path, std::string_view separators);
// The file name without directory and extension.
std::string BaseNameOf(std::string_view path, std::string_view separators);

class BrowserApp {
public:
    BrowserApp(AppState& state, const Texts& texts, Services& services)
        : m_state(state), m_texts(texts), m_services(services) {}

    // Fixes the file locations; false when a path would not fit its bound.
    bool SetFileLocations(const std::string& modulePath);

    StartOutcome Start(const StartupInfo& info, MainWindowRunner& runner);

private:
    std::string UserFileFolder(const std::string& programDir, const std::string& modulePath, UserFolder kind);
    bool HandOff(const std::string& instanceName, const std::string& argumentText);

    AppState& m_state;
    const Texts& m_texts;
    Services& m_services;
};

}  // namespace poremisu
