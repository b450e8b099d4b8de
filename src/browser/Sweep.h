#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "app/Platform.h"
#include "pages/History.h"

namespace poremisu {

inline constexpr std::string_view kExternalBrowserMark = "Internet Explorer";
// How long one sweep may wait, in all, for windows to handle their close
// requests; the window is frozen meanwhile, however many windows there are.
inline constexpr std::chrono::milliseconds kSweepTimeout{2000};

// Logs and closes the stray browser windows the platform opened for pop-ups.
class ExternalBrowserSweep {
public:
    ExternalBrowserSweep(AppState& state, WindowSystem& windows, History& history)
        : m_state(state), m_windows(windows), m_history(history) {}

    // True when at least one title matched.
    bool SweepExternalBrowsers();
    // Waits for the window until `deadline` at most; a request made past it
    // does not wait.
    void CloseExternalBrowser(WindowId window, std::chrono::steady_clock::time_point deadline);

private:
    AppState& m_state;
    WindowSystem& m_windows;
    History& m_history;
    // The windows asked before that were still standing, by their titles:
    // asked again without a wait, and not logged again.
    std::vector<std::pair<WindowId, std::string>> m_asked;
};

}  // namespace poremisu
