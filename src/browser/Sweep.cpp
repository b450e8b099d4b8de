#include "browser/Sweep.h"

#include <algorithm>

#include "app/Text.h"

namespace poremisu {

bool ExternalBrowserSweep::SweepExternalBrowsers() {
    // Windows still standing when the time is up are logged and asked all
    // the same, once each. A window that ignored an earlier request is asked
    // again at each sweep, but neither logged nor waited for again, so a
    // page that opens pop-ups over and over never freezes the window.
    auto deadline = std::chrono::steady_clock::now() + kSweepTimeout;
    std::erase_if(m_asked, [&](const auto& asked) { return !m_windows.Exists(asked.first); });
    bool found = false;
    for (WindowId window : m_windows.TopLevelWindows()) {
        // The program's own window is never asked to close, whatever its
        // page made of its title.
        if (window == m_state.mainWindow) continue;
        std::string testTitle = m_windows.Title(window, kSweepTestTitleCount);
        if (!Contains(testTitle, kExternalBrowserMark)) continue;
        found = true;
        m_state.scratchText = m_windows.Title(window, kWindowTextCount);
        auto asked = std::find(m_asked.begin(), m_asked.end(), std::pair(window, m_state.scratchText));
        if (asked != m_asked.end()) {
            m_windows.RequestClose(window, std::chrono::milliseconds{0});
        } else {
            m_asked.emplace_back(window, m_state.scratchText);
            CloseExternalBrowser(window, deadline);
        }
        // The walk goes on from the window just handled; once that window is
        // gone there is nothing to go on from, and the rest waits for the
        // next sweep.
        if (!m_windows.Exists(window)) break;
    }
    return found;
}

void ExternalBrowserSweep::CloseExternalBrowser(WindowId window, std::chrono::steady_clock::time_point deadline) {
    m_state.scratchText = m_windows.Title(window, kWindowTextCount);
    // The line is written before the request, so a window that hangs on it
    // is still in the log.
    m_history.AppendHistoryLine("(IE)", m_state.scratchText);
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    m_windows.RequestClose(window, std::max(left, std::chrono::milliseconds{0}));
}

}  // namespace poremisu
