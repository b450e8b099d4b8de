#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "browser/CWebBrowser2.h"
#include "pages/ErrorPage.h"

namespace poremisu {

enum class ControlEvent { Start, Completion };

// A page of the program's own raises nothing up to its completion: nothing
// is logged or listed for it. A load asked for after it ends the silence.
class OwnPageSilence {
public:
    void Begin() { m_silent = true; }
    void End() { m_silent = false; }
    bool Silent() const { return m_silent; }
    // Whether the control's start or completion reaches the window; the
    // own page's completion is the last thing kept from it.
    bool Passes(ControlEvent event) {
        if (!m_silent) return true;
        if (event == ControlEvent::Completion) m_silent = false;
        return false;
    }

private:
    bool m_silent = false;
};

// What an engine tells of the window's loads, turned into the control's
// events in the order the window relies on: one start and one completion per
// navigation, the error page's completion standing for the failed load, a
// page's completion held for its title, the program's own pages silent, a
// folder answered by the program completing under its own address. Engine
// texts are the engine's (UTF-8 on this machine); events carry code-page
// bytes, converted by `toCodePage`.
class PageLoad {
public:
    PageLoad(PageLanguage language, std::function<std::string(std::string_view)> toCodePage)
        : m_language(language), m_toCodePage(std::move(toCodePage)) {}

    void SetEvents(BrowserEvents* events) { m_events = events; }

    // An error page the engine is to show in place of a failed load, under `underUri`.
    struct ErrorPage {
        std::string uri, underUri;
        LoadFailure failure;
        std::string engineMessage;
    };
    // What the engine is to do once a load has finished.
    struct AfterFinish {
        bool completeFolderSoon = false;     // call FolderDue() from the main loop
        std::optional<ErrorPage> errorPage;  // show it
        unsigned askTitle = 0;               // ask the page for its title; answer with this number
    };

    // The window asked for a load that replaces the one under way: `uri`, or
    // a step back or forth (nullopt) that has somewhere to go.
    void Asked(std::optional<std::string> uri);
    // A page of the program's own goes under `uri`, the address now shown.
    void OwnPageAsked(const std::string& uri);
    // The engine did not trust the certificate of `uri`; the program's own
    // page about it is shown under that address.
    void CertificateFailed(const std::string& uri);

    void Started(const std::string& uri);
    void Redirected(const std::string& uri);
    // A load failed; `failure` is empty for one that was cancelled or turned
    // into a download. `uri` is the address that failed.
    std::optional<ErrorPage> Failed(const std::string& uri, std::optional<LoadFailure> failure,
                                    std::string_view engineMessage);
    // `uri` is what the engine shows now, `hasTitle` whether it has passed on a title.
    AfterFinish Finished(const std::string& uri, bool hasTitle);
    // The engine passed on a page's title; the page's answer to its question.
    void TitleKnown();
    void TitleAnswered(unsigned question, std::optional<std::string> title);
    // The window's load of a local folder was taken from the engine.
    void FolderAnswered(std::string uri, std::string name);
    void FolderDue();
    // The link under the pointer ("" when none).
    void LinkHovered(const std::string& link);
    // The load under way is ended for a fresh page process: what to load again, if anything.
    std::optional<std::string> ReloadAfterHang() const;

    // What the control reports of the page, given what the engine says.
    std::string LocationName(std::string_view engineTitle) const;
    std::string LocationUrl(std::string_view engineUri) const;

private:
    // What the next finish stands for.
    enum class Finish {
        Complete,   // a page arrived: one DocumentComplete
        Silent,     // cancelled or turned into a download: nothing
        ErrorPage,  // failed: the error page's own finish reports it
        OwnPage,    // a page of the program's own: nothing
    };

    void FlushPendingComplete();
    void RaiseComplete();
    // The load's own status text, unless a link holds the status.
    void ShowLoadStatus(const std::string& text);
    ErrorPage AskErrorPage(const std::string& uri, LoadFailure failure, std::string_view engineMessage);

    PageLanguage m_language;
    std::function<std::string(std::string_view)> m_toCodePage;
    BrowserEvents* m_events = nullptr;
    Finish m_nextFinish = Finish::Complete;
    // The address whose error page is on its way; its start is no navigation.
    std::string m_errorPageUri;
    bool m_loadingErrorPage = false;
    OwnPageSilence m_ownPage;
    std::string m_startedUri;
    std::string m_certificateFailedUri;  // its failure is told by the certificate page
    // Loads asked for by the window, and how many had been asked for when
    // the load under way started: a failure that arrives after a newer one
    // was asked for belongs to a load the newer one replaces.
    unsigned m_loadsAsked = 0;
    unsigned m_loadsAskedAtStart = 0;
    // The newest load asked for, unless a step back or forth came after it.
    std::optional<std::string> m_newestUri;
    std::string m_statusLink;
    std::string m_loadStatus;  // "" once the load is done
    struct FolderAnswer {
        std::string uri, name;
        unsigned asked = 0;  // loads asked for by then: a later one replaces the folder
    };
    // The folder whose completion is on its way, and the one being completed.
    std::optional<FolderAnswer> m_pendingFolder, m_folder;
    bool m_folderDue = false;
    // The address of the page whose completion waits for its title: a load
    // started meanwhile has already put its own address on the engine.
    std::optional<std::string> m_heldUri;
    unsigned m_pendingComplete = 0;  // the question a held completion waits on
    unsigned m_questions = 0;
    std::string m_answeredTitle;
};

// Whether a web address names its port, as one the engine refuses to reach must.
bool HasExplicitPort(std::string_view uri);

}  // namespace poremisu
