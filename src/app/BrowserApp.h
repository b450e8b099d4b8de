#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/AppState.h"
#include "app/Placement.h"
#include "app/Platform.h"
#include "app/Text.h"

namespace poremisu {

inline constexpr std::string_view kSettingsFileName = "poremisu.ini";
inline constexpr std::string_view kReadmeFileName = "readme.txt";
inline constexpr std::string_view kHistoryFileName = "WindowTitleHis.htm";
// The page engine's folders, where it asks for them.
inline constexpr std::string_view kSiteDataFolderName = "site-data/";
inline constexpr std::string_view kSiteCacheFolderName = "site-cache/";
// How long a later start waits for the running window to take its address.
inline constexpr std::chrono::milliseconds kHandOffTimeout{5000};
// How long a later start whose window did not answer waits for the running
// instance to let go of its lock, as one that has just ended does.
inline constexpr std::chrono::milliseconds kInstanceReleaseWait{2000};
// How often, and how far apart, a later start looks again for the window of
// an instance that started a moment before it and has not shown it yet.
inline constexpr int kWindowLooks = 50;
inline constexpr std::chrono::milliseconds kWindowLookPause{100};

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
    HandOffFailed,  // a running instance was not given the address (see FailureReason)
};

// The directory part of a path, separator included ("" when there is none).
std::string DirectoryOf(std::string_view path, std::string_view separators);
// The file name without directory and extension.
std::string BaseNameOf(std::string_view path, std::string_view separators);
// The name of one copy of the program: its base name and a digest of its
// folder, so that copies in two folders never take each other for the
// running instance. Letters are folded where the file system ignores case.
std::string InstanceNameOf(std::string_view modulePath, std::string_view separators, bool ignoreCase);

class BrowserApp {
public:
    BrowserApp(AppState& state, const Texts& texts, Services& services)
        : m_state(state), m_texts(texts), m_services(services) {}

    // Fixes the file locations; false when a path would not fit its bound.
    bool SetFileLocations(const std::string& modulePath);

    StartOutcome Start(const StartupInfo& info, MainWindowRunner& runner);
    // Why the last start ended as HandOffFailed, for the user.
    const std::string& FailureReason() const { return m_failureReason; }

private:
    std::string UserFileFolder(const std::string& programDir, const std::string& modulePath, UserFolder kind);
    enum class HandOffResult { Delivered, NoInstance, Failed };
    HandOffResult HandOff(const std::string& argumentText);
    // Sends the hand-off to the first window of this copy of the program; nothing when there is none.
    std::optional<HandOffResult> HandToWindow();

    AppState& m_state;
    const Texts& m_texts;
    Services& m_services;
    std::string m_failureReason;
};

}  // namespace poremisu
