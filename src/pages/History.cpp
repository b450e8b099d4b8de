#include "pages/History.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/Text.h"
#include "pages/Html.h"

namespace poremisu {

std::string MakeNumberedName(std::string_view name, std::int32_t n) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", static_cast<int>(n));
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::string(name) + number;
    std::string out(name.substr(0, dot));
    out += number;
    out += '.';
    out += name.substr(dot + 1);
    return out;
}

void History::Append(const std::string& line) {
    auto file = m_files.Open(m_state.historyPath, OpenMode::Append);
    if (file) file->WriteLine(line);
}

void History::AppendHistoryLine(std::string_view tag, std::string_view text) {
    if (tag.empty()) return;
    std::string line = EscapeHtml(tag);
    line += '\t';
    line += EscapeHtml(text);
    line += '\n';
    Append(line);
}

namespace {

// Whether a history line may link to the address.
bool MayLinkTo(std::string_view url) {
    // The scheme as a browser reads it: blanks and control bytes before it
    // and tabs or line breaks inside it are dropped ("java\tscript:" runs).
    std::string scheme;
    std::size_t i = 0;
    while (i < url.size() && static_cast<unsigned char>(url[i]) <= 0x20) ++i;
    for (; i < url.size() && url[i] != ':'; ++i) {
        char c = url[i];
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (!IsAsciiLetter(c) && (scheme.empty() || !(IsAsciiDigit(c) || c == '+' || c == '-' || c == '.'))) {
            return true;  // no scheme at all: a relative name, read against the history page's folder
        }
        scheme += FoldAscii(c);
    }
    // A colon before any scheme letter starts a relative name too.
    if (i == url.size() || scheme.empty()) return true;
    // A drive letter names a local path; only these schemes show a page
    // without running anything of the address's own.
    for (std::string_view kept : {"http", "https", "ftp", "file"}) {
        if (scheme == kept) return true;
    }
    if (scheme == "about") {
        // "about:blank" and the start page; one engine shows whatever
        // markup follows "about:" as a page.
        std::string_view rest = url.substr(i + 1);
        return !rest.empty() && std::all_of(rest.begin(), rest.end(), IsAsciiLetter);
    }
    return scheme.size() == 1;
}

}  // namespace

void History::AppendHistoryLink(std::string_view url, std::string_view name) {
    if (StartsWith(url, "http:///")) return;
    // An address that runs script or brings content of its own (a server's
    // redirect to "javascript:" or "data:", the program's own scheme) would
    // run in the history page, which is local: its line keeps the name but
    // links nowhere.
    Append(LinkLine(MayLinkTo(url) ? url : std::string_view("#"), name));
}

bool History::RotateHistoryFile() {
    m_files.SetCurrentDirectory(m_state.programDir);
    // Names are joined to the log's folder rather than left relative, so that
    // a folder that could not be entered never has its own files renamed. The
    // backups lie beside the log, which is in the user's own folder when the
    // program's is not writable.
    const std::string& log = m_state.historyPath;
    std::string folder = log.substr(0, log.size() - std::min(log.size(), kHistoryFileName.size()));
    std::int32_t n = 1;
    for (;; ++n) {
        m_state.scratchText = MakeNumberedName(kHistoryFileName, n);
        if (!FileExists(folder + m_state.scratchText) || n == INT32_MAX) break;
    }
    return m_files.Rename(log, folder + m_state.scratchText);
}

void History::ClearHistory(MessageBoxOwner& owner) {
    if (owner.MessageBox(m_texts.resetQuestion, m_texts.productWord, Buttons::OkCancel) != Answer::Ok) return;
    bool moved = RotateHistoryFile();
    // A log that could not be moved aside keeps its lines: starting it anew
    // would lose them without a backup.
    if (!moved && m_files.Exists(m_state.historyPath)) return;
    // Appending rather than truncating: a line another process wrote since
    // the rename stays, and the header follows it.
    Append(m_texts.historyHeader + "\n");
}

}  // namespace poremisu
