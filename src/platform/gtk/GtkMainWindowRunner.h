#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <optional>

#include "app/AppState.h"
#include "app/BrowserApp.h"
#include "app/Platform.h"
#include "app/Text.h"
#include "platform/posix/CodePage.h"

namespace poremisu {

struct RunnerOptions {
    // Replaces the idle timer's period.
    std::optional<std::chrono::milliseconds> tickPeriod;
    // Called with the toplevel after each page completion the core has handled.
    std::function<void(GtkWidget* window)> afterDocumentComplete;
};

// Opens GTK (only now: a start that hands its address over never needs it),
// builds the main window, its browser and the core's MainWindow, and runs
// them until the window ends.
class GtkMainWindowRunner : public MainWindowRunner {
public:
    GtkMainWindowRunner(AppState& state, const Texts& texts, Services& services, const CodePage& codePage,
                        RunnerOptions options = {})
        : m_state(state), m_texts(texts), m_services(services), m_codePage(codePage), m_options(std::move(options)) {}

    void RunMainWindow(ShowCommand startupShowState) override;
    // True when no display could be opened.
    bool Failed() const { return m_failed; }

private:
    AppState& m_state;
    const Texts& m_texts;
    Services& m_services;
    const CodePage& m_codePage;
    RunnerOptions m_options;
    bool m_failed = false;
};

}  // namespace poremisu
