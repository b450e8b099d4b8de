#include "platform/gtk/GtkWindowHost.h"

#include <algorithm>
#include <cmath>

#include "platform/gtk/ClientArea.h"
#include "platform/gtk/GtkUrlInputDialog.h"
#include "platform/gtk/MenuText.h"
#include "platform/gtk/PageText.h"
#include "platform/HandOff.h"
#include "ui/CommandTable.h"
#include "ui/DialogTemplates.h"
#include "ui/MainWindow.h"

// Last: Xlib's macros (None, Status, ...) must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace poremisu {

namespace {

// The main window's template size and its address bar's height, in dialog units.
constexpr int kTemplateWidth = main_template::kSize.width;
constexpr int kTemplateHeight = main_template::kSize.height;
constexpr int kAddressBarUnits = main_template::kAddressBar.height;

constexpr const char* kCommandKey = "poremisu-command";

// The address bar is as high as its template row, not as the theme's entries.
constexpr const char* kStyle =
    "#poremisu-address { min-height: 0; padding-top: 1px; padding-bottom: 1px;"
    " font-family: \"IPAPGothic\"; font-size: 9pt; }\n"
    "#poremisu-status, #poremisu-status label { font-family: \"IPAPGothic\"; font-size: 9pt; }\n";

int MulDiv(int number, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(number) * numerator / denominator));
}

bool IsInput(GdkEventType type) {
    switch (type) {
    case GDK_MOTION_NOTIFY:
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
    case GDK_SCROLL:
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
        return true;
    default:
        return false;
    }
}

// The frame a stored placement asks for, which the settings file may fill
// with any numbers: sizes are taken in 64 bits and kept within the screen,
// and a frame that would lie wholly off the screen is moved onto it, as the
// platform the program was made for does with such a placement.
GdkRectangle FrameOnScreen(const WindowPlacement& placement) {
    std::int64_t x = placement.left;
    std::int64_t y = placement.top;
    std::int64_t width = std::max<std::int64_t>(std::int64_t{placement.right} - placement.left, 1);
    std::int64_t height = std::max<std::int64_t>(std::int64_t{placement.bottom} - placement.top, 1);
    // The box around every monitor.
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    if (GdkDisplay* display = gdk_display_get_default()) {
        for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
            GdkRectangle area{0, 0, 0, 0};
            gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
            if (i == 0) left = area.x, top = area.y, right = area.x, bottom = area.y;
            left = std::min<std::int64_t>(left, area.x);
            top = std::min<std::int64_t>(top, area.y);
            right = std::max<std::int64_t>(right, std::int64_t{area.x} + area.width);
            bottom = std::max<std::int64_t>(bottom, std::int64_t{area.y} + area.height);
        }
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
    return GdkRectangle{static_cast<int>(x), static_cast<int>(y), static_cast<int>(width), static_cast<int>(height)};
}

// The engine's own items get labels in one language throughout; each keeps
// its action and its place.
void RelabelEngineItems(WebKitContextMenu* menu, PageLanguage language) {
    GList* items = g_list_copy(webkit_context_menu_get_items(menu));
    guint position = 0;
    for (GList* entry = items; entry; entry = entry->next, ++position) {
        auto* item = static_cast<WebKitContextMenuItem*>(entry->data);
        if (WebKitContextMenu* submenu = webkit_context_menu_item_get_submenu(item)) {
            RelabelEngineItems(submenu, language);
            continue;
        }
        WebKitContextMenuAction action = webkit_context_menu_item_get_stock_action(item);
        const char* label = ContextMenuLabel(language, action);
        if (!label) continue;
        webkit_context_menu_remove(menu, item);
        webkit_context_menu_insert(menu, webkit_context_menu_item_new_from_stock_action_with_label(action, label),
                                   static_cast<gint>(position));
    }
    g_list_free(items);
}

}  // namespace

int DialogBaseUnits::X(int units) const { return MulDiv(units, charWidth, 4); }
int DialogBaseUnits::Y(int units) const { return MulDiv(units, charHeight, 8); }

DialogBaseUnits MeasureDialogBaseUnits(GtkWidget* widget, const char* font) {
    DialogBaseUnits units;
    PangoContext* context = gtk_widget_get_pango_context(widget);
    PangoFontDescription* description = pango_font_description_from_string(font);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, description);
    // The average width of the Latin letters, rounded as the dialog manager does.
    pango_layout_set_text(layout, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    PangoFontMetrics* metrics = pango_context_get_metrics(context, description, nullptr);
    int charHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);
    g_object_unref(layout);
    pango_font_description_free(description);
    if (width > 0) units.charWidth = std::max(1, (width / 26 + 1) / 2);
    units.charHeight = charHeight > 0 ? charHeight : std::max(height, 1);
    return units;
}

GtkWindowHost::GtkWindowHost(AppState& state, const Texts& texts, const CodePage& codePage)
    : m_state(state), m_texts(texts), m_codePage(codePage) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    // The title is composed by the core; until then it holds the product
    // word, so that a later start finds the window from its first moment.
    gtk_window_set_title(GTK_WINDOW(m_window), m_codePage.ToUtf8(m_texts.productWord).c_str());

    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(m_window), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);

    m_area = ClientAreaNew();
    gtk_container_add(GTK_CONTAINER(m_window), m_area);

    m_addressBar = gtk_entry_new();
    gtk_widget_set_name(m_addressBar, "poremisu-address");
    // No minimum width of its own: the layout gives it the window's width.
    gtk_entry_set_width_chars(GTK_ENTRY(m_addressBar), 0);
    ClientAreaAdd(m_area, m_addressBar);
    gtk_widget_show(m_addressBar);

    m_statusBar = gtk_statusbar_new();
    gtk_widget_set_name(m_statusBar, "poremisu-status");
    m_statusContext = gtk_statusbar_get_context_id(GTK_STATUSBAR(m_statusBar), "status");
    ClientAreaAdd(m_area, m_statusBar);

    m_units = MeasureDialogBaseUnits(m_window, kDialogFont);
    gtk_window_set_default_size(GTK_WINDOW(m_window), m_units.X(kTemplateWidth), m_units.Y(kTemplateHeight));
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
    gtk_widget_add_events(m_window, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                        GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_STRUCTURE_MASK);

    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(m_window, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(m_addressBar, "activate", G_CALLBACK(OnAddressActivate), this);
    g_signal_connect(m_addressBar, "focus-out-event", G_CALLBACK(OnAddressFocusOut), this);

    ClientAreaSetSizeHook(m_area, [this](int width, int height) {
        if (!Live() || !m_shown) return;
        m_sizeReported = true;
        m_core->OnSizeNotification(CurrentSizeKind(), width, height);
    });

    // Input anywhere in the window, the page included, restarts the idle
    // count; the engine's view keeps its events to itself, so they are
    // looked at before any widget sees them.
    gdk_event_handler_set(OnEvent, this, nullptr);

    // Realized now so that a later start can find the window and hand over.
    gtk_widget_realize(m_window);
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    if (GDK_IS_X11_WINDOW(gdkWindow)) {
        Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
        m_commandAtom = XInternAtom(display, kHandOffMessageType, False);
        m_ackAtom = XInternAtom(display, kHandOffAckProperty, False);
        m_frameExtentsAtom = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
        m_state.mainWindow = GDK_WINDOW_XID(gdkWindow);
        // Later starts of this copy of the program look for this mark; a
        // copy in another folder carries another name.
        const std::string& name = m_state.instanceName;
        XChangeProperty(display, m_state.mainWindow, XInternAtom(display, kInstanceProperty, False), XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(name.data()),
                        static_cast<int>(name.size()));
        gdk_window_add_filter(gdkWindow, OnXEvent, this);
    }
}

GtkWindowHost::~GtkWindowHost() {
    gdk_event_handler_set([](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    if (GdkWindow* gdkWindow = gtk_widget_get_window(m_window)) gdk_window_remove_filter(gdkWindow, OnXEvent, this);
    if (m_timer) g_source_remove(m_timer);
    for (PendingCommand* pending : m_pending) {
        g_source_remove(pending->source);
        delete pending;
    }
    if (m_systemMenu) gtk_widget_destroy(m_systemMenu);
    if (m_systemActions) g_object_unref(m_systemActions);
    gtk_widget_destroy(m_window);
}

void GtkWindowHost::Attach(MainWindow& core, CWebBrowser2& browser, GtkWidget* browserView) {
    m_core = &core;
    m_browser = &browser;
    m_browserView = browserView;
    gtk_widget_show(browserView);
    g_signal_connect(browserView, "context-menu", G_CALLBACK(OnContextMenu), this);
}

void GtkWindowHost::ShowInitially() {
    if (m_ended) return;
    // The page takes the keyboard first, as the first control of the window.
    if (m_browserView) gtk_widget_grab_focus(m_browserView);
    m_shown = true;
    gtk_widget_show(m_area);
    gtk_widget_show(m_window);
}

void GtkWindowHost::SetTitle(const std::string& title) {
    gtk_window_set_title(GTK_WINDOW(m_window), m_codePage.ToUtf8(title).c_str());
}

std::string GtkWindowHost::GetAddressBarText(std::size_t count) {
    return CutToCount(m_codePage.FromUtf8(gtk_entry_get_text(GTK_ENTRY(m_addressBar))), count);
}

void GtkWindowHost::SetAddressBarText(const std::string& text) {
    gtk_entry_set_text(GTK_ENTRY(m_addressBar), m_codePage.ToUtf8(text).c_str());
}

std::int32_t GtkWindowHost::AddressBarCreatedHeight() { return m_units.Y(kAddressBarUnits); }

void GtkWindowHost::MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    ClientAreaPlace(m_area, m_addressBar, GdkRectangle{x, y, std::max(w, 0), std::max(h, 0)});
}

void GtkWindowHost::CreateStatusBar() {
    gtk_statusbar_remove_all(GTK_STATUSBAR(m_statusBar), m_statusContext);
    gtk_widget_show(m_statusBar);
}

std::int32_t GtkWindowHost::StatusBarHeight() {
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(m_statusBar, &minimum, &natural);
    return natural;
}

void GtkWindowHost::ShowStatusBar(bool visible) { gtk_widget_set_visible(m_statusBar, visible); }

void GtkWindowHost::MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    ClientAreaPlace(m_area, m_statusBar, GdkRectangle{x, y, std::max(w, 0), std::max(h, 0)});
}

void GtkWindowHost::SetStatusText(const std::string& text) {
    GtkStatusbar* bar = GTK_STATUSBAR(m_statusBar);
    gtk_statusbar_remove_all(bar, m_statusContext);
    gtk_statusbar_push(bar, m_statusContext, m_codePage.ToUtf8(text).c_str());
}

GtkWidget* GtkWindowHost::BuildMenuBar() {
    GtkWidget* bar = gtk_menu_bar_new();
    // shells[level] is the menu that rows of that level go into.
    std::vector<GtkWidget*> shells{bar};
    for (const MenuRow& row : MainMenuRows()) {
        auto level = static_cast<std::size_t>(row.level);
        if (level >= shells.size()) continue;
        shells.resize(level + 1);
        GtkMenuShell* shell = GTK_MENU_SHELL(shells[level]);
        std::string caption = GtkMnemonic(Utf8(row.caption));
        GtkWidget* item = nullptr;
        switch (row.kind) {
        case MenuRowKind::Popup: {
            item = gtk_menu_item_new_with_mnemonic(caption.c_str());
            GtkWidget* submenu = gtk_menu_new();
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), submenu);
            shells.push_back(submenu);
            break;
        }
        case MenuRowKind::Item:
            item = gtk_menu_item_new_with_mnemonic(caption.c_str());
            g_object_set_data(G_OBJECT(item), kCommandKey, GINT_TO_POINTER(row.id));
            g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* activated, gpointer self) {
                                 int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(activated), kCommandKey));
                                 static_cast<GtkWindowHost*>(self)->PostCommand(Route::Command, id);
                             }),
                             this);
            if (level == 0) {
                // A click shorter than the menu bar's open delay only selects
                // an item of the bar itself; commands on the bar run on release.
                g_signal_connect(item, "button-release-event",
                                 G_CALLBACK(+[](GtkWidget* released, GdkEventButton* event, gpointer self) -> gboolean {
                                     if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
                                     int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(released), kCommandKey));
                                     if (GtkWidget* shell = gtk_widget_get_parent(released)) {
                                         gtk_menu_shell_deactivate(GTK_MENU_SHELL(shell));
                                     }
                                     static_cast<GtkWindowHost*>(self)->PostCommand(Route::Command, id);
                                     return TRUE;
                                 }),
                                 this);
            }
            break;
        case MenuRowKind::Separator:
            if (level == 0) {
                // On the bar a separator is an empty item that does nothing.
                item = gtk_menu_item_new_with_label("");
                gtk_widget_set_sensitive(item, FALSE);
            } else {
                item = gtk_separator_menu_item_new();
            }
            break;
        }
        gtk_menu_shell_append(shell, item);
    }
    gtk_widget_show_all(bar);
    return bar;
}

void GtkWindowHost::AttachMainMenu() { ClientAreaSetBar(m_area, BuildMenuBar()); }

void GtkWindowHost::DestroyMenu() { ClientAreaSetBar(m_area, nullptr); }

void GtkWindowHost::AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                                          const std::string& help) {
    m_systemItems = {{syscmd::kUrlInput, GtkMnemonic(m_codePage.ToUtf8(urlInput))},
                     {syscmd::kMenuSet, GtkMnemonic(m_codePage.ToUtf8(menuSet))},
                     {syscmd::kHelp, GtkMnemonic(m_codePage.ToUtf8(help))}};
    BuildSystemMenu();
}

void GtkWindowHost::BuildSystemMenu() {
    if (m_systemMenu) gtk_widget_destroy(m_systemMenu);
    if (m_systemActions) g_object_unref(m_systemActions);
    // The window manager owns the real system menu; the same items are
    // offered on Alt+Space and at the top of the page's context menu.
    m_systemMenu = gtk_menu_new();
    m_systemActions = g_simple_action_group_new();
    for (const auto& [id, caption] : m_systemItems) {
        GtkWidget* item = gtk_menu_item_new_with_mnemonic(caption.c_str());
        g_object_set_data(G_OBJECT(item), kCommandKey, GINT_TO_POINTER(id));
        g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* activated, gpointer self) {
                             int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(activated), kCommandKey));
                             static_cast<GtkWindowHost*>(self)->PostCommand(Route::SysCommand, command);
                         }),
                         this);
        gtk_menu_shell_append(GTK_MENU_SHELL(m_systemMenu), item);

        std::string name = "system-" + std::to_string(id);
        GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
        g_object_set_data(G_OBJECT(action), kCommandKey, GINT_TO_POINTER(id));
        g_signal_connect(action, "activate", G_CALLBACK(+[](GSimpleAction* activated, GVariant*, gpointer self) {
                             int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(activated), kCommandKey));
                             static_cast<GtkWindowHost*>(self)->PostCommand(Route::SysCommand, command);
                         }),
                         this);
        g_action_map_add_action(G_ACTION_MAP(m_systemActions), G_ACTION(action));
        g_object_unref(action);
    }
    gtk_widget_show_all(m_systemMenu);
    gtk_menu_attach_to_widget(GTK_MENU(m_systemMenu), m_window, nullptr);
}

void GtkWindowHost::PopupSystemMenu(const GdkEvent* trigger) {
    if (!m_systemMenu) return;
    gtk_menu_popup_at_widget(GTK_MENU(m_systemMenu), m_window, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                             trigger);
    gtk_menu_shell_select_first(GTK_MENU_SHELL(m_systemMenu), FALSE);
}

void GtkWindowHost::PostCommand(Route route, int id) {
    auto* pending = new PendingCommand{this, route, id, 0};
    pending->source = g_idle_add(RunPostedCommand, pending);
    m_pending.push_back(pending);
}

gboolean GtkWindowHost::RunPostedCommand(gpointer data) {
    auto* pending = static_cast<PendingCommand*>(data);
    GtkWindowHost* self = pending->host;
    std::erase(self->m_pending, pending);
    if (self->Live()) {
        if (pending->route == Route::Command) {
            self->m_core->OnCommand(pending->id);
        } else {
            // Anything else would be the window manager's own business.
            self->m_core->OnSysCommand(pending->id);
        }
    }
    delete pending;
    return G_SOURCE_REMOVE;
}

void GtkWindowHost::SetIcon() {
    GList* icons = nullptr;
    for (int size : {16, 32, 48}) icons = g_list_append(icons, MakeProgramIcon(size));
    gtk_window_set_icon_list(GTK_WINDOW(m_window), icons);
    g_list_free_full(icons, g_object_unref);
}

SizeKind GtkWindowHost::CurrentSizeKind() const {
    // A minimise asked for counts from the asking: the window manager may
    // take its time, or (with none running) never answer.
    if (m_iconified || m_iconifyRequested) return SizeKind::Minimized;
    return m_maximized ? SizeKind::Maximized : SizeKind::Restored;
}

void GtkWindowHost::ReportSize() {
    if (!Live()) return;
    int width = 0, height = 0;
    if (m_sizeReported) {
        ClientAreaContentSize(m_area, width, height);
    } else {
        // Not laid out yet: the size it will open with.
        width = m_units.X(kTemplateWidth);
        height = m_units.Y(kTemplateHeight);
    }
    m_sizeReported = true;
    m_core->OnSizeNotification(CurrentSizeKind(), width, height);
}

// The client area is laid out in place; a minimised or maximised window
// comes back to its normal state first, as the layout's commands expect.
void GtkWindowHost::RelayoutMainWindow() { Show(ShowCommand::Normal); }

void GtkWindowHost::Show(ShowCommand command) {
    GtkWindow* window = GTK_WINDOW(m_window);
    switch (command) {
    case ShowCommand::Hide:
        gtk_widget_hide(m_window);
        break;
    case ShowCommand::Minimize:
    case ShowCommand::ShowMinimized:
        if (!m_iconified && !m_iconifyRequested) {
            m_iconifyRequested = true;
            gtk_window_iconify(window);
        }
        // The core hears of it now, as from the platform's size notification.
        if (m_sizeReported) ReportSize();
        break;
    case ShowCommand::Maximized:
        if (m_shown) gtk_widget_show(m_window);
        gtk_window_maximize(window);
        break;
    case ShowCommand::Normal:
    default:
        if (m_shown) gtk_widget_show(m_window);
        if (m_iconified || m_iconifyRequested) {
            m_iconifyRequested = false;
            gtk_window_deiconify(window);
        }
        if (m_maximized) gtk_window_unmaximize(window);
        ReportSize();
        break;
    }
}

bool GtkWindowHost::IsMaximized() { return m_maximized; }

GdkRectangle GtkWindowHost::FrameRect() const {
    GdkRectangle frame{0, 0, 0, 0};
    if (GdkWindow* gdkWindow = gtk_widget_get_window(m_window)) gdk_window_get_frame_extents(gdkWindow, &frame);
    return frame;
}

bool GtkWindowHost::GetPlacement(WindowPlacement& placement) {
    if (gtk_widget_get_mapped(m_window) && !m_iconified && !m_maximized) m_normalRect = FrameRect();
    if (!m_normalRect) return false;
    placement.flags = (m_iconified && m_maximized) ? kPlacementRestoreToMaximized : 0;
    placement.showCommand = static_cast<std::int32_t>(m_iconified    ? ShowCommand::ShowMinimized
                                                      : m_maximized ? ShowCommand::Maximized
                                                                    : ShowCommand::Normal);
    // Where the window manager puts minimised and maximised windows is its own affair.
    placement.minX = placement.minY = -1;
    placement.maxX = placement.maxY = -1;
    placement.left = m_normalRect->x;
    placement.top = m_normalRect->y;
    placement.right = m_normalRect->x + m_normalRect->width;
    placement.bottom = m_normalRect->y + m_normalRect->height;
    return true;
}

void GtkWindowHost::SetPlacement(const WindowPlacement& placement) {
    GtkWindow* window = GTK_WINDOW(m_window);
    GdkRectangle frame = FrameOnScreen(placement);
    gtk_window_set_position(window, GTK_WIN_POS_NONE);
    // The frame's top-left corner goes to the point given.
    gtk_window_move(window, frame.x, frame.y);
    // The placement is the outer frame; the window is what lies inside the
    // decorations, which the window manager tells once it has framed it.
    gtk_window_resize(window, frame.width, frame.height);
    m_frameToFit = frame;
    if (FrameExtents()) {
        FitFrame();
    } else if (!gtk_widget_get_mapped(m_window)) {
        RequestFrameExtents();
    }
    m_normalRect = frame;
    switch (placement.showCommand) {
    case 2:
    case 6:
    case 7:
        m_iconifyRequested = true;
        gtk_window_iconify(window);
        break;
    case 3: gtk_window_maximize(window); break;
    default:
        if (m_maximized) gtk_window_unmaximize(window);
        if (m_iconified) gtk_window_deiconify(window);
        break;
    }
}

std::vector<PixelRect> GtkWindowHost::ScreenAreas() {
    std::vector<PixelRect> screens;
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return screens;
    for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
        GdkRectangle area{0, 0, 0, 0};
        gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &area);
        screens.push_back({area.x, area.y, area.width, area.height});
    }
    return screens;
}

PixelRect GtkWindowHost::TemplateSize() {
    PixelRect size{0, 0, m_units.X(kTemplateWidth), m_units.Y(kTemplateHeight)};
    // The placement is the outer frame: the decorations count when the
    // window manager has told them.
    if (auto extents = FrameExtents()) {
        size.width += static_cast<std::int32_t>((*extents)[0] + (*extents)[1]);
        size.height += static_cast<std::int32_t>((*extents)[2] + (*extents)[3]);
    }
    return size;
}

std::optional<std::array<long, 4>> GtkWindowHost::FrameExtents() const {
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow) || !m_frameExtentsAtom) return std::nullopt;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int status = XGetWindowProperty(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow), m_frameExtentsAtom,
                                    0, 4, False, XA_CARDINAL, &type, &format, &count, &after, &data);
    std::optional<std::array<long, 4>> extents;
    if (status == Success && type == XA_CARDINAL && format == 32 && count == 4) {
        auto* values = reinterpret_cast<long*>(data);
        extents = std::array<long, 4>{values[0], values[1], values[2], values[3]};
    }
    if (data) XFree(data);
    return extents;
}

void GtkWindowHost::RequestFrameExtents() {
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow)) return;
    // Window managers that know the request set the extents before mapping,
    // so the window opens at its final size.
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = GDK_WINDOW_XID(gdkWindow);
    request.xclient.message_type = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &request);
    XFlush(display);
}

void GtkWindowHost::FitFrame() {
    if (!m_frameToFit) return;
    auto extents = FrameExtents();
    if (!extents) return;
    GdkRectangle wanted = *m_frameToFit;
    m_frameToFit.reset();
    long width = wanted.width - (*extents)[0] - (*extents)[1];
    long height = wanted.height - (*extents)[2] - (*extents)[3];
    gtk_window_resize(GTK_WINDOW(m_window), static_cast<int>(std::max(width, 1L)),
                      static_cast<int>(std::max(height, 1L)));
}

void GtkWindowHost::StartTimer(std::chrono::milliseconds period) {
    if (m_timer) g_source_remove(m_timer);
    std::chrono::milliseconds chosen = m_tickOverride.value_or(period);
    m_timer = g_timeout_add(static_cast<guint>(std::max<std::int64_t>(chosen.count(), 1)), OnTick, this);
}

gboolean GtkWindowHost::OnTick(gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (!self->Live()) {
        self->m_timer = 0;
        return G_SOURCE_REMOVE;
    }
    self->m_core->OnTimer();
    return G_SOURCE_CONTINUE;
}

void GtkWindowHost::SendClose() { Close(); }

void GtkWindowHost::Close() {
    if (Live()) m_core->OnClose();
}

void GtkWindowHost::EndBoxes() { EndModalBoxes(); }

void GtkWindowHost::EndModalBoxes() {
    // Each box's loop returns once control gets back to it; its window goes now.
    for (auto box = m_modalBoxes.rbegin(); box != m_modalBoxes.rend(); ++box) {
        box->end();
        gtk_widget_hide(box->window);
    }
}

void GtkWindowHost::EndWindow() {
    if (m_ended) return;
    m_ended = true;
    if (m_timer) g_source_remove(m_timer);
    m_timer = 0;
    EndModalBoxes();
    // The window itself goes when the run is over: this may be called from
    // inside one of its own handlers.
    gtk_widget_hide(m_window);
    if (gtk_main_level() > 0) gtk_main_quit();
}

int GtkWindowHost::RunModal(GtkDialog* dialog) {
    // A close of the window answers the dialog that runs, so no nested loop outlives the window.
    m_modalBoxes.push_back(
        {GTK_WIDGET(dialog), [dialog] { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); }});
    int response = gtk_dialog_run(dialog);
    m_modalBoxes.pop_back();
    return response;
}

Answer GtkWindowHost::MessageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    if (m_ended) return Answer::Cancel;
    GtkWidget* dialog = gtk_message_dialog_new(
        GTK_WINDOW(m_window), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_OTHER, buttons == Buttons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_OK_CANCEL, "%s",
        m_codePage.ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), m_codePage.ToUtf8(caption).c_str());
    int response = RunModal(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_OK ? Answer::Ok : Answer::Cancel;
}

void GtkWindowHost::RunUrlInputDialog() {
    if (!Live()) return;
    GtkUrlInputDialog dialog(GTK_WINDOW(m_window), m_codePage, m_texts, m_units);
    UrlInputDialog core(m_state, *m_browser, *m_core, *this, dialog);
    m_modalBoxes.push_back({dialog.Window(), [&dialog] { dialog.End(); }});
    // The result changes nothing here: GO has navigated already.
    dialog.Run(core);
    m_modalBoxes.pop_back();
}

gboolean GtkWindowHost::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    // The close box: the placement is saved and the window ends.
    self->Close();
    return TRUE;
}

gboolean GtkWindowHost::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (!self->Live()) return FALSE;
    guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_space && modifiers == GDK_MOD1_MASK) {
        self->PopupSystemMenu(reinterpret_cast<GdkEvent*>(event));
        return TRUE;
    }
    // Desktops keep Alt+Space for their own window menu; F10 is the key
    // every program there answers with its menus: the menu bar when it is
    // shown (GTK opens it), else the system menu's items. Shift+F10 and the
    // Menu key reach the page's context menu, which carries them too.
    if (event->keyval == GDK_KEY_F10 && modifiers == 0 && !ClientAreaBar(self->m_area)) {
        self->PopupSystemMenu(reinterpret_cast<GdkEvent*>(event));
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape && modifiers == 0) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->m_window));
        bool inPage = focus && self->m_browserView &&
                      (focus == self->m_browserView || gtk_widget_is_ancestor(focus, self->m_browserView));
        return self->m_core->OnEscape(inPage) ? TRUE : FALSE;
    }
    return FALSE;
}

gboolean GtkWindowHost::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    self->m_iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    self->m_maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) self->m_iconifyRequested = false;
    if (self->m_sizeReported && (event->changed_mask & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED))) {
        self->ReportSize();
    }
    return FALSE;
}

gboolean GtkWindowHost::OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (!gtk_widget_get_mapped(self->m_window)) return FALSE;
    if (!self->m_iconified && !self->m_maximized) self->m_normalRect = self->FrameRect();
    return FALSE;
}

void GtkWindowHost::OnAddressActivate(GtkEntry*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (self->Live()) self->m_core->OnAddressBarActivate();
}

gboolean GtkWindowHost::OnAddressFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (self->Live()) self->m_core->OnAddressBarFocusOut();
    return FALSE;
}

gboolean GtkWindowHost::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                      gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    RelabelEngineItems(menu, CurrentPageLanguage());
    if (!self->m_systemActions || self->m_systemItems.empty()) return FALSE;
    webkit_context_menu_prepend(menu, webkit_context_menu_item_new_separator());
    for (auto item = self->m_systemItems.rbegin(); item != self->m_systemItems.rend(); ++item) {
        std::string name = "system-" + std::to_string(item->first);
        GAction* action = g_action_map_lookup_action(G_ACTION_MAP(self->m_systemActions), name.c_str());
        if (!action) continue;
        webkit_context_menu_prepend(menu,
                                    webkit_context_menu_item_new_from_gaction(action, item->second.c_str(), nullptr));
    }
    return FALSE;
}

void GtkWindowHost::OnEvent(GdkEvent* event, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    GdkWindow* toplevel = gtk_widget_get_window(self->m_window);
    bool forWindow = self->Live() && toplevel && event->any.window &&
                     gdk_window_get_toplevel(event->any.window) == toplevel;
    if (forWindow && event->type == GDK_DELETE) {
        // Taken here, since GTK drops a close request for a window while
        // another holds the grab (a modal box, an open menu): the window
        // closes all the same, ending any box first.
        self->Close();
        return;
    }
    if (forWindow && IsInput(event->type)) self->m_core->OnInput();
    gtk_main_do_event(event);
}

GdkFilterReturn GtkWindowHost::OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    auto* event = static_cast<XEvent*>(xevent);
    if (event->type == PropertyNotify && event->xproperty.atom == self->m_frameExtentsAtom) {
        self->FitFrame();
        return GDK_FILTER_CONTINUE;
    }
    if (event->type != ClientMessage || event->xclient.message_type != self->m_commandAtom) {
        return GDK_FILTER_CONTINUE;
    }
    if (event->xclient.format == 32 && self->Live() && self->m_core->OnExternalCommand(event->xclient.data.l[0])) {
        long token = event->xclient.data.l[1];
        // The sender waits for this property to learn that the address was taken.
        XChangeProperty(event->xclient.display, event->xclient.window, self->m_ackAtom, XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&token), 1);
        XFlush(event->xclient.display);
    }
    return GDK_FILTER_REMOVE;
}

}  // namespace poremisu
