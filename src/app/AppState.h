#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace poremisu {

// Buffer sizes are counts that include the terminating zero of the original
// byte buffers, so a buffer of N bytes holds at most N - 1 bytes of text.
inline constexpr std::size_t kScratchSize = 60000;      // scratchText, lastLinkUrl, profile reads
inline constexpr std::size_t kWindowTextCount = 59999;  // window texts and the address bar
inline constexpr std::size_t kHandOffTitleCount = 60000;
inline constexpr std::size_t kSweepTestTitleCount = 600;
inline constexpr std::size_t kTitleCount = 1024;        // the formatter stops at 1024 with its zero
inline constexpr std::size_t kPathSize = 260;           // MAX_PATH
inline constexpr std::size_t kPlacementSize = 100;
inline constexpr std::size_t kDirectoryArgSize = 1000;
inline constexpr std::size_t kEntryNameSize = 260;
inline constexpr std::size_t kMaxExtensionCount = 10;   // "ext" and ".ext" must stay under this

// Identifies a top-level window of the window system; 0 is none.
using WindowId = std::uint64_t;

// The process-wide record. Owned by the application for the whole run and
// handed by reference to whatever needs it; handlers read and write it in turn
// on the one user-interface thread.
struct AppState {
    // File locations, fixed at start-up.
    std::string programDir;
    std::string settingsPath;
    std::string historyPath;
    std::string readmePath;
    // Where the page engine keeps what sites store (cookies, local storage)
    // and its cache, on a platform whose engine asks: folders of this copy's
    // own, beside the history.
    std::string siteDataDir;
    std::string siteCacheDir;
    // Names this copy of the program: its lock, and the mark its window
    // carries for later starts of the same copy.
    std::string instanceName;
    bool instanceHeld = false;  // whether this process holds the instance, which a window takes over later

    // Shared work text: every user fills it before reading it, except the main
    // window's initialisation, which takes the start address start-up left here.
    std::string scratchText;

    // The whole of the last status text that contained "http".
    std::string lastLinkUrl;

    // View state of the main window.
    std::int32_t addressBarHeight = 0;  // 0 hidden, otherwise rowHeight
    std::int32_t rowHeight = 0;
    std::int32_t statusBarHeight = 0;
    std::int32_t statusBarVisible = 0;

    std::int32_t idleTicks = 0;

    std::int32_t recordNextPage = 1;
    std::int32_t newWindowPending = 0;
    // The pop-ups taken since the last page completed or the user's last
    // input, and the address the last one loaded.
    std::int32_t popUpsTaken = 0;
    std::string lastPopUpTarget;

    WindowId statusBarWindow = 0;
    WindowId mainWindow = 0;
};

}  // namespace poremisu
