#include "ui/MainWindow.h"

#include <algorithm>

#include "pages/Shortcut.h"
#include "ui/CommandTable.h"

namespace poremisu {

namespace {
constexpr std::int32_t kMinimiseAfterTicks = 55;
constexpr std::int32_t kCloseAfterTicks = 60;
}  // namespace

bool PlacementFits(const WindowPlacement& placement, PixelRect templateSize, const std::vector<PixelRect>& screens) {
    std::int64_t width = std::int64_t{placement.right} - placement.left;
    std::int64_t height = std::int64_t{placement.bottom} - placement.top;
    if (width < templateSize.width || height < templateSize.height) return false;
    return std::any_of(screens.begin(), screens.end(), [&](const PixelRect& screen) {
        return placement.left >= screen.x && placement.top >= screen.y &&
               placement.right <= std::int64_t{screen.x} + screen.width &&
               placement.bottom <= std::int64_t{screen.y} + screen.height;
    });
}

PixelRect FrameOnScreen(const WindowPlacement& placement, const std::vector<PixelRect>& screens) {
    std::int64_t x = placement.left;
    std::int64_t y = placement.top;
    std::int64_t width = std::max<std::int64_t>(std::int64_t{placement.right} - placement.left, 1);
    std::int64_t height = std::max<std::int64_t>(std::int64_t{placement.bottom} - placement.top, 1);
    // The box around every monitor.
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const PixelRect& area = screens[i];
        if (i == 0) left = area.x, top = area.y, right = area.x, bottom = area.y;
        left = std::min<std::int64_t>(left, area.x);
        top = std::min<std::int64_t>(top, area.y);
        right = std::max<std::int64_t>(right, std::int64_t{area.x} + area.width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{area.y} + area.height);
    }
    if (right <= left || bottom <= top) {
        // No monitor known: at least the window system's 16-bit coordinates.
        left = top = 0;
        right = bottom = 32767;
    }
    width = std::min(width, right - left);
    height = std::min(height, bottom - top);
    if (x + width <= left || x >= right) x = std::clamp(x, left, right - width);
    if (y + height <= top || y >= bottom) y = std::clamp(y, top, bottom - height);
    return PixelRect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), static_cast<std::int32_t>(width),
                     static_cast<std::int32_t>(height)};
}


void IdleWatchdog(AppState& state, WindowFrame& frame) {
    ++state.idleTicks;
    if (state.idleTicks <= kMinimiseAfterTicks) return;
    // Minimising a window that is not minimised yet is a size change, whose
    // handler starts the count again; re-showing a minimised one is not.
    frame.Show(ShowCommand::ShowMinimized);
    if (state.idleTicks > kCloseAfterTicks) frame.SendClose();
}

MainWindow::MainWindow(AppState& state, const Texts& texts, WindowHost& host, CWebBrowser2& browser,
                       Services& services, BrowserMenu* browserMenu)
    : m_state(state),
      m_texts(texts),
      m_host(host),
      m_browser(browser),
      m_services(services),
      m_browserMenu(browserMenu),
      m_settings(state, services.profiles),
      m_title(state, texts, browser, host, host),
      m_history(state, texts, services.files),
      m_lister(state, texts, services.files, services.profiles),
      m_sweep(state, services.windows, m_history),
      m_events(state, browser, services.files, m_history, m_lister, m_sweep, *this) {}

bool MainWindow::OnInitDialog(ShowCommand startupShowState) {
    if (!m_texts.sysMenuUrlInput.empty()) {
        m_host.AppendSystemMenuItems(m_texts.sysMenuUrlInput, m_texts.sysMenuMenuSet, m_texts.sysMenuHelp);
    }
    m_host.SetIcon();
    m_browser.SetResizable(true);

    if (m_state.scratchText.empty()) {
        m_state.scratchText = kStartPage;
    } else if (HasExtension(m_state.scratchText, "url")) {
        m_state.scratchText = ReadShortcutUrl(m_services.files, m_services.profiles, m_state.scratchText);
    }
    LoadAsked();
    m_browser.Navigate2(m_state.scratchText);

    m_browser.SetStatusBar(true);
    m_host.StartTimer(kIdleTickPeriod);
    m_host.CreateStatusBar();
    m_state.rowHeight = m_host.AddressBarCreatedHeight();
    m_state.addressBarHeight = 0;
    m_state.statusBarHeight = m_host.StatusBarHeight();
    m_host.ShowStatusBar(false);

    // A rectangle too small to use or not wholly on a screen counts as no
    // placement: the window opens at its template's size, centred.
    auto placement = m_settings.ReadPlacement();
    if (placement && PlacementFits(*placement, m_host.TemplateSize(), m_host.ScreenAreas())) {
        placement->showCommand = static_cast<std::int32_t>(startupShowState);
        m_host.SetPlacement(*placement);
    }
    return true;
}

void MainWindow::OnSizeNotification(SizeKind kind, std::int32_t width, std::int32_t height) {
    SizeNotice notice{kind, width, height};
    if (m_lastSize == notice) return;
    m_lastSize = notice;
    OnSize(width, height);
}

void MainWindow::OnSize(std::int32_t width, std::int32_t height) {
    std::int32_t statusHeight = m_state.statusBarVisible ? m_state.statusBarHeight : 0;
    m_state.idleTicks = 0;
    m_browser.SetLeft(0);
    m_browser.SetWidth(width);
    m_browser.SetTop(m_state.addressBarHeight);
    // Passed as computed, negative when the window is lower than its bars.
    m_browser.SetHeight(height - statusHeight - m_state.addressBarHeight);
    if (m_state.statusBarVisible) m_host.MoveStatusBar(0, height - statusHeight, width, statusHeight);
    m_host.MoveAddressBar(0, 0, width, m_state.addressBarHeight);
}

template <typename Box>
void MainWindow::RunBox(Box box) {
    ++m_openBoxes;
    try {
        box();
    } catch (...) {
        --m_openBoxes;
        throw;
    }
    --m_openBoxes;
    // A close request that came meanwhile has ended the box; it is carried
    // out now that the box's loop has returned.
    if (m_openBoxes > 0 || !m_closePending) return;
    m_closePending = false;
    OnClose();
}

void MainWindow::OnClose() {
    if (m_openBoxes > 0) {
        // The box goes first, so no box outlives the window it belongs to.
        m_closePending = true;
        m_host.EndBoxes();
        return;
    }
    WindowPlacement placement;
    if (m_host.GetPlacement(placement)) {
        if (m_host.IsMaximized()) placement.flags |= kPlacementRestoreToMaximized;
        m_settings.SavePlacement(placement);
    }
    m_host.EndWindow();
}

void MainWindow::NavigateToAddressBar() {
    m_state.idleTicks = 0;
    m_state.scratchText = m_host.GetAddressBarText(kWindowTextCount);
    m_addressBarKnown = m_state.scratchText;
    if (HasExtension(m_state.scratchText, "url")) {
        m_state.scratchText = ReadShortcutUrl(m_services.files, m_services.profiles, m_state.scratchText);
    }
    LoadAsked();
    m_browser.Navigate2(m_state.scratchText);
}

std::string MainWindow::GetAddressBarText(std::size_t count) { return m_host.GetAddressBarText(count); }

void MainWindow::SetAddressBarText(const std::string& text) {
    m_host.SetAddressBarText(text);
    m_addressBarKnown = m_host.GetAddressBarText(kWindowTextCount);
}

void MainWindow::ReceiveHandOff() {
    // The newest address goes at once, replacing a page still loading: the
    // later start that sent it is answered as soon as this returns.
    m_state.scratchText = m_settings.ReadNewUrl();
    SetAddressBarText(m_state.scratchText);
    NavigateToAddressBar();
}

void MainWindow::OnAddressBarFocusOut() {
    // Only a text the user edited goes: leaving the bar to copy its address,
    // or after Enter, must not load the page again over what was typed into it.
    if (m_host.GetAddressBarText(kWindowTextCount) == m_addressBarKnown) return;
    NavigateToAddressBar();
}

void MainWindow::OnAddressBarActivate() { NavigateToAddressBar(); }

void MainWindow::OnInput() {
    if (m_openBoxes == 0) m_state.idleTicks = 0;
    // What the page opens next, the user may have asked for.
    m_state.popUpsTaken = 0;
}

void MainWindow::OnDownloadActivity() { m_state.idleTicks = 0; }

void MainWindow::SetFullScreen(bool fullScreen) {
    if (fullScreen == m_fullScreen) return;
    m_fullScreen = fullScreen;
    if (fullScreen) {
        m_barsBeforeFullScreen = {m_host.HasMainMenu(), m_state.addressBarHeight > 0, m_state.statusBarVisible != 0};
        HideAll();
        return;
    }
    // The bars come back as they were.
    if (m_barsBeforeFullScreen.menu) m_host.AttachMainMenu();
    m_state.addressBarHeight = m_barsBeforeFullScreen.address ? m_state.rowHeight : 0;
    m_state.statusBarVisible = m_barsBeforeFullScreen.status ? 1 : 0;
    m_host.ShowStatusBar(m_barsBeforeFullScreen.status);
    RelayoutMainWindow();
}

bool MainWindow::OnControlKey(ControlAction action) {
    switch (action) {
    case ControlAction::Back: OnCommand(cmd::kBack); return true;
    case ControlAction::Forward: OnCommand(cmd::kForward); return true;
    case ControlAction::Reload:
    case ControlAction::ReloadBypassingCache:
        // The page again is no new page: it is not logged again. The
        // platform's control fetches it anew past its cache itself.
        m_state.idleTicks = 0;
        m_state.recordNextPage = 0;
        LoadAsked();
        if (action == ControlAction::ReloadBypassingCache) return false;
        m_browser.Refresh();
        return true;
    case ControlAction::FullScreen:
        SetFullScreen(!m_fullScreen);
        m_host.SetFullScreen(m_fullScreen);
        return true;
    case ControlAction::FocusAddress:
        if (m_state.addressBarHeight > 0) {
            m_host.FocusAddressBar();
        } else {
            RunBox([&] { m_host.RunUrlInputDialog(); });
        }
        return true;
    default: return false;
    }
}

bool MainWindow::OnEscape(bool inPage) {
    // The page keeps its own Escape.
    if (inPage) return false;
    OnCommand(cmd::kCancel);
    return true;
}

void MainWindow::OnEngineCrashed() {
    // A page is shown again once: one that takes every new process down with
    // it stays down until the user goes elsewhere, by a link as by a command.
    std::string page = m_browser.GetLocationURL();
    if (m_reloadedAfterCrash == page) return;
    m_reloadedAfterCrash = std::move(page);
    m_browser.Refresh();
}

void MainWindow::OnTimer() {
    // A window started beside one that had not shown itself yet runs without
    // the instance: it takes the instance over once that one has gone, so that
    // later starts still hand their addresses to a window.
    if (!m_state.instanceHeld) {
        m_state.instanceHeld = m_services.process.AcquireInstance(m_state.instanceName) == InstanceResult::First;
    }
    IdleWatchdog(m_state, m_host);
}

void MainWindow::RelayoutMainWindow() {
    // The layout runs even if the size and state stay as they were.
    m_lastSize.reset();
    m_host.RelayoutMainWindow();
}

void MainWindow::ToggleAddressBar() {
    m_state.addressBarHeight = m_state.addressBarHeight ? 0 : m_state.rowHeight;
    RelayoutMainWindow();
}

void MainWindow::ToggleStatusBar() {
    m_state.statusBarVisible = m_state.statusBarVisible ? 0 : 1;
    m_host.ShowStatusBar(m_state.statusBarVisible != 0);
    RelayoutMainWindow();
    // The title takes the form that matches the status bar at once.
    m_title.ComposeTitle("");
}

void MainWindow::ShowAll() {
    m_state.addressBarHeight = m_state.rowHeight;
    m_host.AttachMainMenu();
    m_state.statusBarVisible = 1;
    m_host.ShowStatusBar(true);
    RelayoutMainWindow();
}

void MainWindow::HideAll() {
    m_state.addressBarHeight = 0;
    RemoveMenu();
    m_state.statusBarVisible = 0;
    m_host.ShowStatusBar(false);
    RelayoutMainWindow();
}

void MainWindow::RemoveMenu() { m_host.DestroyMenu(); }

void MainWindow::OpenReadme() {
    if (m_services.process.OpenDocument(m_state.readmePath)) return;
    // No program of the desktop takes it: the window shows it itself.
    SetAddressBarText(m_state.readmePath);
    NavigateToAddressBar();
}

void MainWindow::ShowFavorites() {
    m_lister.WriteFavoritesPage();
    ShowListingPage();
}

void MainWindow::ShowListingFailure(const std::string& folder, FileError why) {
    // Whatever page stood there before would pass for this folder's
    // listing: the reason is shown instead, and nothing is logged.
    LoadAsked();
    m_browser.ShowPage(ListingFailedPage(m_texts, folder, why));
}

void MainWindow::ShowListingPage() {
    FileSystem& files = m_services.files;
    if (m_lister.Failure() != FileError::Ok) {
        ShowListingFailure(files.GetCurrentDirectory(), m_lister.Failure());
        return;
    }
    std::string page = files.FullPath(std::string(kListingPageName));
    // A page the engine cannot load would leave the page before on screen,
    // passing for this folder's listing: the reason is shown instead.
    if (page.empty() || page.size() >= files.PathLimit()) {
        ShowListingFailure(files.GetCurrentDirectory(), FileError::TooLong);
        return;
    }
    m_state.scratchText = page;
    SetAddressBarText(m_state.scratchText);
    NavigateToAddressBar();
}

void MainWindow::OnCommand(int id) {
    switch (id) {
    case cmd::kOk:
    case cmd::kCancel:
        // The dialog defaults: the window ends without saving its placement.
        m_host.EndWindow();
        break;
    case cmd::kBack:
        m_state.idleTicks = 0;
        m_state.recordNextPage = 0;
        LoadAsked();
        m_browser.GoBack();
        break;
    case cmd::kForward:
        m_state.idleTicks = 0;
        m_state.recordNextPage = 0;
        LoadAsked();
        m_browser.GoForward();
        break;
    case cmd::kNavigate: NavigateToAddressBar(); break;
    case cmd::kQuit: m_browser.Quit(); break;
    case cmd::kSearch: LoadAsked(), m_browser.GoSearch(); break;
    case cmd::kHelp: OpenReadme(); break;
    case cmd::kHandOff: ReceiveHandOff(); break;
    case cmd::kRemoveMenu: RemoveMenu(); break;
    case cmd::kTitleHistory:
        m_state.recordNextPage = 0;
        SetAddressBarText(m_state.historyPath);
        NavigateToAddressBar();
        break;
    case cmd::kCloseIe: m_sweep.SweepExternalBrowsers(); break;
    case cmd::kResetHistory: RunBox([&] { m_history.ClearHistory(m_host); }); break;
    case cmd::kPath:
        RunBox([&] { m_host.MessageBox(m_browser.GetPath(), m_texts.pathCaption, Buttons::OkCancel); });
        break;
    case cmd::kFavorites: ShowFavorites(); break;
    case cmd::kToggleAddressBar: ToggleAddressBar(); break;
    case cmd::kMenuIe:
        if (m_browserMenu) m_browserMenu->AttachBrowserMenu();
        break;
    case cmd::kHideAll: HideAll(); break;
    case cmd::kToggleStatusBar: ToggleStatusBar(); break;
    case cmd::kShowAll: ShowAll(); break;
    default:
        // 16 "ver.0.28.0", 32774 "+" and anything unknown do nothing.
        break;
    }
}

bool MainWindow::OnExternalCommand(std::int64_t id) {
    // The hand-off only loads what the settings file holds; every other
    // command stays with the window's own menus and keys.
    if (id != cmd::kHandOff) return false;
    OnCommand(cmd::kHandOff);
    return true;
}

bool MainWindow::OnSysCommand(int id) {
    switch (id & ~0xF) {
    case syscmd::kUrlInput: RunBox([&] { m_host.RunUrlInputDialog(); }); return true;
    case syscmd::kMenuSet: ShowAll(); return true;
    case syscmd::kHelp: OpenReadme(); return true;
    default: return false;
    }
}

}  // namespace poremisu
