#include "browser/PageEvents.h"

#include "app/Text.h"
#include "pages/Listing.h"
#include "pages/Shortcut.h"
#include "pages/StartPage.h"

namespace poremisu {

namespace {

constexpr std::string_view kFileUrlPrefix = "file:///";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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

std::optional<std::string> ListedFolderPath(std::string_view address) {
    if (!StartsWith(address, kFileUrlPrefix) || HasExtension(address, "htm")) return std::nullopt;
    auto folder = FolderPathFromFileUrl(address);
    if (!folder || folder->size() >= kDirectoryArgSize) return std::nullopt;
    return folder;
}

bool MayOpenFrom(std::string_view opener, std::string_view target) {
    auto scheme = [](std::string_view address, std::string_view name) {
        return address.size() >= name.size() && EqualsFoldAscii(address.substr(0, name.size()), name);
    };
    // The program's own start page counts as local: its links are the program's.
    if (scheme(opener, "file:") || opener == kStartPage) return true;
    return scheme(target, "http://") || scheme(target, "https://");
}

void PageEvents::OnDocumentComplete() {
    m_state.idleTicks = 0;
    m_state.popUpsTaken = 0;
    m_window.SetAddressBarText(m_browser.GetLocationURL());
    m_window.ComposeTitle("");
    if (m_state.recordNextPage) m_history.AppendHistoryLink(m_browser.GetLocationURL(), PageName(m_browser));
    m_state.recordNextPage = 1;
    m_state.scratchText = m_window.GetAddressBarText(kWindowTextCount);
    // Only a folder that can be entered is listed: a local file of another
    // kind stays on screen, and no other folder's page is overwritten.
    auto folder = ListedFolderPath(m_state.scratchText);
    if (!folder) {
        // A folder past the listing's bound is neither entered nor listed;
        // what the engine shows for it would pass for its listing.
        auto deep = FolderPathFromFileUrl(m_state.scratchText);
        if (deep && deep->size() >= kDirectoryArgSize && !HasExtension(m_state.scratchText, "htm") &&
            m_files.IsDirectory(*deep)) {
            m_window.ShowListingFailure(*deep, FileError::TooLong);
        }
        return;
    }
    if (!m_files.IsDirectory(*folder)) return;
    std::int32_t count = m_lister.WriteDirectoryPage(kListingPageName, *folder);
    m_window.ComposeTitleNumber(count);
    m_window.ShowListingPage();
}

void PageEvents::OnNewWindow2(const std::string& requested) {
    // A blank window is what a script asks for before it writes into it:
    // the last link seen stands in, as it does where the control tells nothing.
    const std::string& target = requested.empty() || requested == "about:blank" ? m_state.lastLinkUrl : requested;
    // The platform may still open a window of its own: the sweep looks for it either way.
    m_state.newWindowPending = 1;
    if (!MayOpenFrom(m_browser.GetLocationURL(), target)) return;
    // A script that asks in a loop gets one line per address, and a few
    // addresses, until its page completes or the user does something: no
    // page fills the disk with pop-up lines.
    if (m_state.popUpsTaken > 0 && target == m_state.lastPopUpTarget) return;
    if (m_state.popUpsTaken >= kPopUpsPerPage) return;
    ++m_state.popUpsTaken;
    m_state.lastPopUpTarget = target;
    m_history.AppendHistoryLine("new", target);
    m_window.SetAddressBarText(target);
    m_window.NavigateToAddressBar();
}

void PageEvents::OnDownloadBegin() {
    if (!m_state.newWindowPending) return;
    m_sweep.SweepExternalBrowsers();
    m_state.newWindowPending = 0;
}

void PageEvents::OnStatusTextChange(const std::string& text, StatusOrigin origin) {
    m_window.ShowStatusText(text, origin);
}

}  // namespace poremisu
