#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/AppState.h"
#include "app/Platform.h"
#include "app/Settings.h"
#include "app/Text.h"
#include "browser/CWebBrowser2.h"
#include "browser/PageEvents.h"
#include "browser/Sweep.h"
#include "pages/StartPage.h"
#include "pages/History.h"
#include "pages/Listing.h"
#include "ui/ControlKeys.h"
#include "ui/Title.h"
#include "ui/WindowHost.h"

namespace poremisu {

inline constexpr std::chrono::milliseconds kIdleTickPeriod{3000};

// What the main window decides: start address, navigation, layout, view
// state, commands, close paths. The platform's window calls these handlers
// and carries out what they ask of it through WindowHost. `browserMenu` is
// the control's own menu where the toolkit has one, else null.
class MainWindow final : public PageEventsSink {
public:
    MainWindow(AppState& state, const Texts& texts, WindowHost& host, CWebBrowser2& browser,
               Services& services, BrowserMenu* browserMenu = nullptr);

    // Initialisation, once, before the window is first shown.
    bool OnInitDialog(ShowCommand startupShowState);
    // The platform's word on the client size and show state, at every
    // change it sees and whenever it is unsure: a notice that repeats the
    // last one is no size change (re-showing a minimised window minimised)
    // and leaves the layout and the idle count alone.
    void OnSizeNotification(SizeKind kind, std::int32_t width, std::int32_t height);
    // The layout, with the client size of a real change.
    void OnSize(std::int32_t width, std::int32_t height);
    // A close request: the placement is saved, then the window ends. While a
    // box is open the box ends first and the close follows when it has.
    void OnClose();
    void OnCommand(int id);
    // A command another process sent: only the hand-off is taken from
    // outside. Returns whether it was.
    bool OnExternalCommand(std::int64_t id);
    // Returns false when the platform's default handling should run.
    bool OnSysCommand(int id);
    void OnAddressBarFocusOut();
    // Enter in the address bar navigates to its text.
    void OnAddressBarActivate();
    // Pointer motion, buttons, wheel and keys anywhere in the window; while
    // a box is open input goes to the box and does not count as activity.
    void OnInput();
    // A download moving on counts as activity, box or none.
    void OnDownloadActivity();
    // Escape pressed in the window, in the page or outside it: outside, it is
    // the window's Cancel. Returns whether the key was taken.
    bool OnEscape(bool inPage);
    // A key of the control's that the platform's control does not answer by
    // itself; false when the platform's own control is to carry it out.
    bool OnControlKey(ControlAction action);
    // The page's own full screen (a video's), or the window's at F11: the
    // bars hidden meanwhile, then back as they were.
    void SetFullScreen(bool fullScreen);
    // The engine lost the page with its process: shown again once, and not
    // again until the next navigation asked here, so that a page that takes
    // every new process down with it cannot loop.
    void OnEngineCrashed();
    void OnTimer();

    void NavigateToAddressBar() override;
    std::string GetAddressBarText(std::size_t count) override;
    void SetAddressBarText(const std::string& text) override;
    void ReceiveHandOff();
    // Shows the listing page just written into the current directory, or the
    // program's own page saying why it could not be written whole.
    void ShowListingPage() override;
    // The program's own page saying why the folder is not listed.
    void ShowListingFailure(const std::string& folder, FileError why) override;
    void ComposeTitle(std::string_view extra) override { m_title.ComposeTitle(extra); }
    void ComposeTitleNumber(std::int32_t number) override { m_title.ComposeTitleNumber(number); }
    void ShowStatusText(const std::string& text, StatusOrigin origin) override { m_title.ShowStatusText(text, origin); }

    void ShowAll();
    void HideAll();
    void ToggleStatusBar();
    void ToggleAddressBar();
    void RemoveMenu();
    void RelayoutMainWindow();

    BrowserEvents& Events() { return m_events; }

private:
    void OpenReadme();
    // Runs a box (a message box, the address dialog) over the window.
    template <typename Box>
    void RunBox(Box box);
    // A new page was asked of the control: a crash may reload it once more.
    void LoadAsked() { m_reloadedAfterCrash.reset(); }
    void ShowFavorites();

    AppState& m_state;
    const Texts& m_texts;
    WindowHost& m_host;
    CWebBrowser2& m_browser;
    Services& m_services;
    BrowserMenu* m_browserMenu;
    Settings m_settings;
    TitleComposer m_title;
    History m_history;
    DirectoryLister m_lister;
    ExternalBrowserSweep m_sweep;
    PageEvents m_events;

    struct SizeNotice {
        SizeKind kind;
        std::int32_t width, height;
        bool operator==(const SizeNotice&) const = default;
    };
    std::optional<SizeNotice> m_lastSize;
    int m_openBoxes = 0;
    bool m_closePending = false;
    std::optional<std::string> m_reloadedAfterCrash;  // the address shown again when the engine died
    // What the program last put into the address bar or went to from it.
    bool m_fullScreen = false;
    struct {
        bool menu = false, address = false, status = false;
    } m_barsBeforeFullScreen;
    std::string m_addressBarKnown;
};

// One tick of the idle timer: minimise once the count passes 55, ask to
// close once it passes 60.
void IdleWatchdog(AppState& state, WindowFrame& frame);

// Whether a stored placement's normal rectangle is at least the template's
// size and wholly on one screen.
bool PlacementFits(const WindowPlacement& placement, PixelRect templateSize, const std::vector<PixelRect>& screens);
// The frame a stored placement asks for, which the settings file may fill
// with any numbers: sizes are taken in 64 bits and kept within the screen,
// and a frame that would lie wholly off the screen is moved onto it, as the
// platform the program was made for does with such a placement.
PixelRect FrameOnScreen(const WindowPlacement& placement, const std::vector<PixelRect>& screens);

}  // namespace poremisu
