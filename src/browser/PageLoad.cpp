#include "browser/PageLoad.h"

namespace poremisu {

bool HasExplicitPort(std::string_view uri) {
    std::size_t start = uri.find("://");
    if (start == std::string_view::npos || !(uri.starts_with("http") || uri.starts_with("ws"))) return false;
    std::string_view authority = uri.substr(start + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    authority = authority.substr(authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1);
    std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == authority.size()) return false;
    if (authority.find(']', colon) != std::string_view::npos) return false;  // inside an IPv6 address
    return authority.substr(colon + 1).find_first_not_of("0123456789") == std::string_view::npos;
}

void PageLoad::Asked(std::optional<std::string> uri) {
    ++m_loadsAsked;
    m_newestUri = std::move(uri);
}

void PageLoad::OwnPageAsked(const std::string& uri) {
    m_errorPageUri = uri;
    m_ownPage.Begin();
}

void PageLoad::CertificateFailed(const std::string& uri) {
    m_certificateFailedUri = uri;
    m_nextFinish = Finish::ErrorPage;
    OwnPageAsked(uri);
}

void PageLoad::Started(const std::string& uri) {
    // The page before completed, even if its title never came; a folder not
    // completed yet is replaced.
    FlushPendingComplete();
    m_pendingFolder.reset();
    m_nextFinish = Finish::Complete;
    const bool errorPage = !m_errorPageUri.empty() && uri == m_errorPageUri;
    m_errorPageUri.clear();
    m_loadingErrorPage = errorPage;
    if (errorPage && m_ownPage.Silent()) m_nextFinish = Finish::OwnPage;
    m_ownPage.End();
    // The error page belongs to the navigation that failed, which has
    // already reported its start.
    if (errorPage) return;
    m_loadsAskedAtStart = m_loadsAsked;
    m_startedUri = uri;
    if (m_events) m_events->OnDownloadBegin();
    ShowLoadStatus(OpeningStatusText(m_language, uri));
}

void PageLoad::Redirected(const std::string& uri) { ShowLoadStatus(OpeningStatusText(m_language, uri)); }

std::optional<PageLoad::ErrorPage> PageLoad::Failed(const std::string& uri, std::optional<LoadFailure> failure,
                                                    std::string_view engineMessage) {
    // A certificate the engine did not trust has its own page on the way.
    if (!uri.empty() && uri == m_certificateFailedUri) {
        m_certificateFailedUri.clear();
        return std::nullopt;
    }
    // The engine reports "finished" right after a failure. A load that became
    // a download or was cancelled completes nothing, and neither does one
    // that a newer load replaces: an error page now would take its place.
    if (!failure || (!m_loadingErrorPage && m_loadsAsked != m_loadsAskedAtStart)) {
        m_nextFinish = Finish::Silent;
        return std::nullopt;
    }
    // An error page that fails itself completes as it is: no page for it.
    if (m_loadingErrorPage) {
        if (m_nextFinish != Finish::OwnPage) m_nextFinish = Finish::Complete;
        return std::nullopt;
    }
    // Any other failure shows an error page under the failed address; the
    // navigation completes once, when that page has finished.
    m_nextFinish = Finish::ErrorPage;
    return AskErrorPage(uri, *failure, engineMessage);
}

PageLoad::ErrorPage PageLoad::AskErrorPage(const std::string& uri, LoadFailure failure,
                                           std::string_view engineMessage) {
    // The engine shows nothing under an address whose path is no text here,
    // nor under one of a port it refuses, not even a page of the program's
    // own: its error page goes under a blank one.
    const bool blank = failure == LoadFailure::UnreadableName || failure == LoadFailure::RestrictedPort;
    m_errorPageUri = blank ? "about:blank" : uri;
    return ErrorPage{uri, m_errorPageUri, failure, std::string(engineMessage)};
}

PageLoad::AfterFinish PageLoad::Finished(const std::string& uri, bool hasTitle) {
    AfterFinish after;
    const Finish finish = m_nextFinish;
    m_nextFinish = Finish::Complete;
    // A cancelled or stopped load opens nothing any more, and says so; the
    // program's own page is all there is to load.
    if (finish == Finish::Silent || finish == Finish::OwnPage) ShowLoadStatus("");
    if (m_pendingFolder && !m_folderDue) {
        m_folderDue = true;
        after.completeFolderSoon = true;
    }
    if (finish != Finish::Complete) return after;
    // A port the engine will not reach ends as a blank page, with no failure
    // told: the program says why instead.
    if (!m_loadingErrorPage && uri == "about:blank" && HasExplicitPort(m_startedUri)) {
        m_nextFinish = Finish::ErrorPage;
        after.errorPage = AskErrorPage(m_startedUri, LoadFailure::RestrictedPort, "");
        return after;
    }
    if (hasTitle) {
        RaiseComplete();
    } else if (!m_pendingComplete) {
        // The page passes its title on a moment after it has finished, if it
        // has one: the page itself is asked, and the completion runs on its
        // answer, or on the title, or on the next load's start.
        m_pendingComplete = ++m_questions;
        m_heldUri = LocationUrl(uri);
        after.askTitle = m_pendingComplete;
    }
    return after;
}

void PageLoad::TitleKnown() { FlushPendingComplete(); }

void PageLoad::TitleAnswered(unsigned question, std::optional<std::string> title) {
    if (!m_pendingComplete || m_pendingComplete != question) return;
    m_answeredTitle = title.value_or("");
    FlushPendingComplete();
    m_answeredTitle.clear();
}

void PageLoad::FlushPendingComplete() {
    if (!m_pendingComplete) return;
    m_pendingComplete = 0;
    RaiseComplete();
    m_heldUri.reset();
}

void PageLoad::RaiseComplete() {
    // Done is said before the completion, which then titles the page plainly.
    ShowLoadStatus(DoneStatusText(m_language));
    m_loadStatus.clear();
    if (m_events) m_events->OnDocumentComplete();
}

void PageLoad::FolderAnswered(std::string uri, std::string name) {
    m_pendingFolder = FolderAnswer{std::move(uri), std::move(name), m_loadsAsked};
}

void PageLoad::FolderDue() {
    m_folderDue = false;
    // A load the window asked for since replaces the folder.
    if (!m_pendingFolder || m_pendingFolder->asked != m_loadsAsked) {
        m_pendingFolder.reset();
        return;
    }
    // The page before completes first, under its own address.
    FlushPendingComplete();
    m_folder = std::move(m_pendingFolder);
    m_pendingFolder.reset();
    // As for a page: its start, then its completion.
    if (m_events) m_events->OnDownloadBegin();
    if (m_events) m_events->OnDocumentComplete();
    m_folder.reset();
}

void PageLoad::ShowLoadStatus(const std::string& text) {
    m_loadStatus = text;
    // A link under the pointer keeps its place; the load's text shows once the pointer leaves it.
    if (!m_statusLink.empty() || !m_events) return;
    m_events->OnStatusTextChange(m_toCodePage(text), StatusOrigin::LoadProgress);
}

void PageLoad::LinkHovered(const std::string& link) {
    if (link == m_statusLink) return;
    m_statusLink = link;
    if (!m_events) return;
    // Off a link, the status is the load's again: the address being opened, or nothing.
    if (link.empty()) {
        m_events->OnStatusTextChange(m_toCodePage(m_loadStatus), StatusOrigin::LoadProgress);
    } else {
        m_events->OnStatusTextChange(m_toCodePage(link), StatusOrigin::Control);
    }
}

std::optional<std::string> PageLoad::ReloadAfterHang() const {
    if (!m_newestUri || m_loadsAsked == m_loadsAskedAtStart) return std::nullopt;
    return m_newestUri;
}

std::string PageLoad::LocationName(std::string_view engineTitle) const {
    if (m_folder) return m_folder->name;
    // The page's answer stands in for a title the engine has not passed on yet.
    if (engineTitle.empty() && !m_answeredTitle.empty()) return m_toCodePage(m_answeredTitle);
    return m_toCodePage(engineTitle);
}

std::string PageLoad::LocationUrl(std::string_view engineUri) const {
    if (m_folder) return m_folder->uri;
    if (m_heldUri) return *m_heldUri;
    return m_toCodePage(engineUri);
}

}  // namespace poremisu
