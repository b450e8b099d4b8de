#include "browser/PageEvents.h"

#include "app/Text.h"
#include "pages/Listing.h"
#include "pages/Shortcut.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

constexpr std::string_view kFileUrlPrefix = "file:///";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::optional<std::string> FolderPathFromFileUrl(std::string_view address) {
    if (!StartsWith(address, kFileUrlPrefix)) return std::nullopt;
    std::string_view rest = address.substr(kFileUrlPrefix.size());
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string decoded;
    decoded.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
            HexValue(rest[i + 2]) >= 0) {
            char byte = static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            // A zero byte would end the path early and name another folder.
            if (byte == '\0') return std::nullopt;
            decoded += byte;
            i += 2;
        } else {
            decoded += rest[i];
        }
    }
    // A drive letter starts a path of its own; anything else is absolute
    // from the root.
    if (decoded.size() >= 2 && IsAsciiLetter(decoded[0]) && decoded[1] == ':') return decoded;
    return "/" + decoded;
}

void PageEvents::OnDocumentComplete() {
    AppState& state = m_window.State();
    CWebBrowser2& browser = m_window.Browser();
    state.idleTicks = 0;
    m_window.SetAddressBarText(browser.GetLocationURL());
    m_window.Title().ComposeTitle("");
    if (state.recordNextPage) {
        m_window.HistoryLog().AppendHistoryLink(browser.GetLocationURL(), browser.GetLocationName());
    }
    state.recordNextPage = 1;
    state.scratchText = m_window.Host().GetAddressBarText(kWindowTextCount);
    if (!StartsWith(state.scratchText, kFileUrlPrefix)) return;
    if (HasExtension(state.scratchText, "htm")) return;

    // Only a folder that can be entered is listed: a local file of another
    // kind stays on screen, and no other folder's page is overwritten.
    auto folder = FolderPathFromFileUrl(state.scratchText);
    if (!folder || folder->size() >= kDirectoryArgSize) return;
    FileSystem& files = m_window.Platform().files;
    if (!files.IsDirectory(*folder)) return;
    std::int32_t count = m_window.Lister().WriteDirectoryPage(kListingPageName, *folder);
    m_window.Title().ComposeTitleNumber(count);
    m_window.ShowListingPage();
}

void PageEvents::OnNewWindow2() {
    AppState& state = m_window.State();
    m_window.HistoryLog().AppendHistoryLine("new", state.lastLinkUrl);
    m_window.SetAddressBarText(state.lastLinkUrl);
    state.newWindowPending = 1;
    m_window.NavigateToAddressBar();
}

void PageEvents::OnDownloadBegin() {
    AppState& state = m_window.State();
    if (!state.newWindowPending) return;
    m_window.Sweep().SweepExternalBrowsers();
    state.newWindowPending = 0;
}

void PageEvents::OnStatusTextChange(const std::string& text) { m_window.Title().ShowStatusText(text); }

}  // namespace poremisu
