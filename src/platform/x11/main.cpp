// The Linux program: the core over the posix services, X11 and GTK/WebKitGTK.
// The program itself links neither GTK nor WebKit: a start that hands its
// address over ends before they would have loaded; a start that runs the
// window loads them with the window module.

#include <dlfcn.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/BrowserApp.h"
#include "app/Text.h"
#include "platform/gtk/WindowModule.h"
#include "platform/posix/CodePage.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessServices.h"
#include "platform/posix/PosixProfileStore.h"
#include "platform/x11/X11WindowSystem.h"

namespace {

using namespace poremisu;

std::string ModulePath(const char* argv0) {
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return argv0 ? argv0 : "";
    path.resize(static_cast<std::size_t>(length));
    return path;
}

// The whole argument text, as the program's single argument: every word
// joined by one blank.
std::string ArgumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

// Runs the main window from the window module, loaded only now. It is looked
// for beside the program first, then where the build put it.
class ModuleRunner : public MainWindowRunner {
public:
    ModuleRunner(AppState& state, const Texts& texts, Services& services, const CodePage& codePage,
                 std::int64_t tickPeriodMs)
        : m_state(state),
          m_texts(texts),
          m_services(services),
          m_codePage(codePage),
          m_tickPeriodMs(tickPeriodMs) {}

    void RunMainWindow(ShowCommand startupShowState) override {
        std::vector<std::string> candidates = {m_state.programDir + kWindowModuleFileName};
#if defined(POREMISU_WINDOW_MODULE_DIR)
        candidates.push_back(std::string(POREMISU_WINDOW_MODULE_DIR) + "/" + kWindowModuleFileName);
#endif
        void* module = nullptr;
        std::string errors;
        for (const std::string& path : candidates) {
            // Global, so that the toolkit finds its own types and modules by name.
            module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
            if (module) break;
            const char* error = ::dlerror();
            errors += "\n  ";
            errors += error ? error : path;
        }
        WindowModuleEntry entry = nullptr;
        if (module) entry = reinterpret_cast<WindowModuleEntry>(::dlsym(module, kWindowModuleEntryName));
        if (!entry) {
            std::fprintf(stderr, "poremisu: cannot load the window module %s:%s\n", kWindowModuleFileName,
                         errors.c_str());
            m_failed = true;
            return;
        }
        WindowModuleCall call{m_state, m_texts, m_services, m_codePage, startupShowState, m_tickPeriodMs};
        m_failed = !entry(call);
        // The module stays loaded: the toolkit cannot be unloaded safely.
    }

    bool Failed() const { return m_failed; }

private:
    AppState& m_state;
    const Texts& m_texts;
    Services& m_services;
    const CodePage& m_codePage;
    std::int64_t m_tickPeriodMs;
    bool m_failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Fixed once: the toolkit sets the locale again when it opens, and every
    // part must go on converting to the code page the texts were made in.
    const CodePage codePage = CodePage::ForLocale(Utf8(u8"ぽれみす"));
    Texts texts = Texts::Make([&codePage](std::string_view utf8) { return codePage.FromUtf8(utf8); });

    PosixFileSystem files;
    PosixProfileStore profiles;
    PosixProcessServices process;
    X11WindowSystem windows(codePage);
    Services services{files, profiles, process, windows};
    AppState state;

    std::int64_t tickPeriodMs = 0;
#if defined(POREMISU_TEST_HOOKS)
    // Test runs shorten the idle timer's period so the watchdog can be watched.
    if (const char* tick = std::getenv("POREMISU_TEST_TICK_MS")) {
        long period = std::strtol(tick, nullptr, 10);
        if (period > 0) tickPeriodMs = period;
    }
#endif
    ModuleRunner runner(state, texts, services, codePage, tickPeriodMs);

    StartupInfo info;
    info.modulePath = ModulePath(argc > 0 ? argv[0] : nullptr);
    info.argumentText = ArgumentText(argc, argv);
    info.showState = ShowCommand::Normal;

    BrowserApp app(state, texts, services);
    StartOutcome outcome = app.Start(info, runner);
    if (outcome == StartOutcome::Refused) {
        std::fprintf(stderr,
                     "poremisu: cannot start from %s: the folder's path is too long for the program's files "
                     "(at most %zu bytes each)\n",
                     info.modulePath.c_str(), kPathSize - 1);
        return 1;
    }
    if (outcome == StartOutcome::HandOffFailed) {
        std::fprintf(stderr, "poremisu: %s\n", app.FailureReason().c_str());
        return 1;
    }
    if (runner.Failed()) return 1;
    return 0;
}
