#include "app/BrowserApp.h"

#include <algorithm>

#include "app/Settings.h"
#include "pages/History.h"

namespace poremisu {

std::string DirectoryOf(std::string_view path, std::string_view separators) {
    std::size_t last = path.find_last_of(separators);
    if (last == std::string_view::npos) return {};
    return std::string(path.substr(0, last + 1));
}

std::string BaseNameOf(std::string_view path, std::string_view separators) {
    std::size_t last = path.find_last_of(separators);
    std::string_view name = last == std::string_view::npos ? path : path.substr(last + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

// The folder for one kind of the program's files: beside the program, or,
// where this user may not write there (installed for all users), the user's
// own folder of the kind, when there is one and its paths fit.
std::string BrowserApp::UserFileFolder(const std::string& programDir, const std::string& modulePath,
                                       UserFolder kind) {
    FileSystem& files = m_services.files;
    if (!files.IsReadOnlyFolder(programDir)) return programDir;
    std::string folder = files.ProgramUserFolder(kind, BaseNameOf(modulePath, files.Separators()));
    std::size_t longestName = std::max(kSettingsFileName.size(), kHistoryFileName.size());
    return folder.empty() || folder.size() + longestName >= kPathSize ? programDir : folder;
}

bool BrowserApp::SetFileLocations(const std::string& modulePath) {
    std::string dir = DirectoryOf(modulePath, m_services.files.Separators());
    std::string settings = UserFileFolder(dir, modulePath, UserFolder::Settings) + std::string(kSettingsFileName);
    std::string history = UserFileFolder(dir, modulePath, UserFolder::Data) + std::string(kHistoryFileName);
    std::string readme = dir + std::string(kReadmeFileName);
    // A path cut at its bound would name another file: refuse instead.
    for (const std::string* path : {&dir, &settings, &history, &readme}) {
        if (path->size() >= kPathSize) return false;
    }
    m_state.programDir = dir;
    m_state.settingsPath = settings;
    m_state.historyPath = history;
    m_state.readmePath = readme;
    return true;
}

bool BrowserApp::HandOff(const std::string& instanceName, const std::string& argumentText) {
    // One later start at a time: the next one writes "newurl" only after the
    // running window has read this one's.
    auto lock = m_services.process.LockHandOff(instanceName);
    Settings(m_state, m_services.profiles).WriteNewUrl(argumentText);
    WindowSystem& windows = m_services.windows;
    for (WindowId window : windows.TopLevelWindows()) {
        m_state.scratchText = windows.Title(window, kHandOffTitleCount);
        if (!Contains(m_state.scratchText, m_texts.productWord)) continue;
        // Only a window of this program may receive the command.
        if (!windows.IsProgramWindow(window)) continue;
        windows.SendHandOff(window, kHandOffTimeout);
        return true;
    }
    return false;
}

StartOutcome BrowserApp::Start(const StartupInfo& info, MainWindowRunner& runner) {
    if (!SetFileLocations(info.modulePath)) return StartOutcome::Refused;
    std::string instanceName = BaseNameOf(info.modulePath, m_services.files.Separators());
    if (m_services.process.AcquireInstance(instanceName) == InstanceResult::AlreadyExists) {
        if (HandOff(instanceName, info.argumentText)) return StartOutcome::HandedOff;
    }
    m_state.scratchText = CutToCount(info.argumentText, kScratchSize);
    runner.RunMainWindow(info.showState);
    return StartOutcome::RanMainWindow;
}

}  // namespace poremisu
