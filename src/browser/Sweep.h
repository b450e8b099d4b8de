#pragma once

#include <chrono>

#include "app/AppState.h"
#include "app/Platform.h"
#include "pages/History.h"

namespace poremisu {

inline constexpr std::string_view kExternalBrowserMark = "Internet Explorer";
// How long one window may take over its close request before the sweep
// goes on without it.
inline constexpr std::chrono::milliseconds kCloseRequestTimeout{1000};

// Logs and closes the stray browser windows the platform opened for pop-ups.
class ExternalBrowserSweep {
public:
    ExternalBrowserSweep(AppState& state, WindowSystem& windows, History& history)
        : m_state(state), m_windows(windows), m_history(history) {}

    // True when at least one title matched.
    bool SweepExternalBrowsers();
    void CloseExternalBrowser(WindowId window);

private:
    AppState& m_state;
    WindowSystem& m_windows;
    History& m_history;
};

}  // namespace poremisu
