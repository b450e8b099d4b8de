#pragma once

// The GTK and WebKit part of the program is a module of its own, loaded only
// by a process that runs a window. Linking the toolkit and the engine costs a
// start some 45 ms before main; a later start that hands its address to the
// running window never pays it. This header names no toolkit type, so the
// program itself is built without them.

#include <cstdint>

#include "app/AppState.h"
#include "app/Placement.h"
#include "app/Platform.h"
#include "app/Text.h"
#include "platform/posix/CodePage.h"

namespace poremisu {

struct WindowModuleCall {
    AppState& state;
    const Texts& texts;
    Services& services;
    const CodePage& codePage;
    ShowCommand showState;
    std::int64_t tickPeriodMs = 0;  // the idle timer's period; 0 keeps the usual one
};

// Runs the main window to its end; false when no display could be opened.
using WindowModuleEntry = bool (*)(const WindowModuleCall& call);

inline constexpr const char* kWindowModuleEntryName = "poremisu_run_main_window";
inline constexpr const char* kWindowModuleFileName = "poremisu-window.so";

}  // namespace poremisu
