#include "app/BrowserApp.h"

#include <algorithm>

#include "app/Settings.h"
#include "app/Text.h"

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

std::string InstanceNameOf(std::string_view modulePath, std::string_view separators, bool ignoreCase) {
    // A letter folds only after a byte below 0x80: the second byte of a
    // double-byte character, which follows one of 0x80 or above, may lie in
    // A..Z, and folding it would make two folders one.
    std::string path(modulePath);
    for (std::size_t i = 0; ignoreCase && i < path.size(); ++i) {
        if (i == 0 || static_cast<unsigned char>(path[i - 1]) < 0x80) path[i] = FoldAscii(path[i]);
    }
    return BaseNameOf(path, separators) + "-" + DigestHex(DirectoryOf(path, separators));
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
    m_state.siteDataDir = UserFileFolder(dir, modulePath, UserFolder::Data) + std::string(kSiteDataFolderName);
    m_state.siteCacheDir = UserFileFolder(dir, modulePath, UserFolder::Cache) + std::string(kSiteCacheFolderName);
    return true;
}

BrowserApp::HandOffResult BrowserApp::HandOff(const std::string& argumentText) {
    // The settings file keeps one line per value: blanks and line breaks
    // around the address go, as a first start drops them too, and one inside
    // it would cut the address short, so the start says so rather than hand
    // over a part.
    std::string_view address = TrimAddressBlanks(argumentText);
    if (address.find_first_of("\r\n") != std::string_view::npos) {
        m_failureReason = "the address holds a line break, which cannot be handed over";
        return HandOffResult::Failed;
    }
    const std::string& name = m_state.instanceName;
    ProcessServices& process = m_services.process;
    // One later start at a time: the next one writes "newurl" only after the
    // running window has read this one's, so an answer from the window means
    // that it read this start's address. Starts take turns by the file they
    // write, not by copy: two copies may share one (two names in one folder,
    // two installs with one user folder).
    const FileSystem& files = m_services.files;
    auto lock = process.LockHandOff(InstanceNameOf(m_state.settingsPath, files.Separators(), files.NamesIgnoreCase()));
    if (!lock) {
        m_failureReason = "another start of the program is still handing its address over";
        return HandOffResult::Failed;
    }
    std::string reason;
    if (!Settings(m_state, m_services.profiles).WriteNewUrl(std::string(address), &reason)) {
        m_failureReason = "cannot write the address to " + m_state.settingsPath + ": " + reason;
        return HandOffResult::Failed;
    }
    for (int look = 1;; ++look) {
        if (auto result = HandToWindow()) return *result;
        // No window yet: the instance that holds the name may have started a
        // moment before and still be opening it, and is given time to. Once it
        // has let go, or the time is up, this start runs a window of its own,
        // holding the instance if it is free.
        const bool last = look == kWindowLooks;
        if (process.AcquireInstance(name, last ? std::chrono::milliseconds(0) : kWindowLookPause) ==
            InstanceResult::First) {
            m_state.instanceHeld = true;
            return HandOffResult::NoInstance;
        }
        if (last) return HandOffResult::NoInstance;
    }
}

std::optional<BrowserApp::HandOffResult> BrowserApp::HandToWindow() {
    const std::string& name = m_state.instanceName;
    ProcessServices& process = m_services.process;
    WindowSystem& windows = m_services.windows;
    for (WindowId window : windows.TopLevelWindows()) {
        m_state.scratchText = windows.Title(window, kHandOffTitleCount);
        if (!Contains(m_state.scratchText, m_texts.productWord)) continue;
        // Only a window of this very copy of the program may receive the command.
        if (!windows.IsProgramWindow(window, name)) continue;
        if (windows.SendHandOff(window, kHandOffTimeout)) return HandOffResult::Delivered;
        // A window that went with its program leaves the instance free.
        if (process.AcquireInstance(name, kInstanceReleaseWait) == InstanceResult::First) {
            m_state.instanceHeld = true;
            return HandOffResult::NoInstance;
        }
        m_failureReason = "the running window did not take the address within " +
                          std::to_string(kHandOffTimeout.count() / 1000) + " seconds";
        return HandOffResult::Failed;
    }
    return std::nullopt;
}

StartOutcome BrowserApp::Start(const StartupInfo& info, MainWindowRunner& runner) {
    if (!SetFileLocations(info.modulePath)) return StartOutcome::Refused;
    m_state.instanceName =
        InstanceNameOf(info.modulePath, m_services.files.Separators(), m_services.files.NamesIgnoreCase());
    m_state.instanceHeld = m_services.process.AcquireInstance(m_state.instanceName) == InstanceResult::First;
    if (!m_state.instanceHeld) {
        switch (HandOff(info.argumentText)) {
        case HandOffResult::Delivered: return StartOutcome::HandedOff;
        case HandOffResult::Failed: return StartOutcome::HandOffFailed;
        case HandOffResult::NoInstance: break;
        }
    }
    m_state.scratchText = CutToCount(info.argumentText, kScratchSize);
    runner.RunMainWindow(info.showState);
    return StartOutcome::RanMainWindow;
}

}  // namespace poremisu
