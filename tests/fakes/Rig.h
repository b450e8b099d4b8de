#pragma once

#include <memory>
#include <string>

#include "app/Text.h"
#include "fakes/CallLog.h"
#include "fakes/FakeBrowser.h"
#include "fakes/FakeHost.h"
#include "fakes/FakeProcessServices.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/PlatformServices.h"
#include "fakes/TempDir.h"
#include "fakes/U8.h"
#include "ui/MainWindow.h"

namespace poremisu::test {

inline std::string Identity(std::string_view utf8) { return std::string(utf8); }

inline constexpr WindowId kMainWindowId = 1;

// A main window over fakes of the toolkit, the browser control and the
// desktop, with real files in a temporary program folder.
struct Rig {
    explicit Rig(const Encoder& encode = Identity) : texts(Texts::Make(encode)) {
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
    MainWindow window{state, texts, host, browser, services};
};

}  // namespace poremisu::test
