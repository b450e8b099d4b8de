#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/BrowserApp.h"
#include "app/MessageBox.h"
#include "app/Platform.h"
#include "app/Text.h"

namespace poremisu {

// The name with the number, zero-padded to six digits, put in front of its
// last dot: ("WindowTitleHis.htm", 12) gives "WindowTitleHis000012.htm".
std::string MakeNumberedName(std::string_view name, std::int32_t n);

// The history page beside the program. Each line is opened, written in one
// piece, flushed and closed on its own, so a crash loses at most that line
// and another process appending at the same time never splits it.
class History {
public:
    History(AppState& state, const Texts& texts, FileSystem& files)
        : m_state(state), m_texts(texts), m_files(files) {}

    // tag, TAB, text. An empty tag writes nothing.
    void AppendHistoryLine(std::string_view tag, std::string_view text);
    // A link line, unless the address begins with "http:///".
    void AppendHistoryLink(std::string_view url, std::string_view name);
    // Asks, then moves the log to the first free backup and starts a new one
    // with the page header. The old log is never discarded without a backup.
    void ClearHistory(MessageBoxOwner& owner);
    // Renames the log to the first free numbered name; true when it moved.
    bool RotateHistoryFile();

    // Anything at the name takes it, a link to nowhere or an unreadable file
    // too: a rename onto it would fail at every reset.
    bool FileExists(const std::string& name) { return m_files.Exists(name); }

private:
    void Append(const std::string& line);

    AppState& m_state;
    const Texts& m_texts;
    FileSystem& m_files;
};

}  // namespace poremisu
