#include "platform/gtk/GtkFrame.h"

#include <algorithm>
#include <cstdint>

#include "platform/gtk/ClientArea.h"
#include "platform/gtk/ProgramIcon.h"
#include "ui/DialogTemplates.h"
#include "ui/MainWindow.h"

// Last: Xlib's macros (None, Status, ...) must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace poremisu {

namespace {

// The main window's template size, in dialog units.
constexpr int kTemplateWidth = main_template::kSize.width;
constexpr int kTemplateHeight = main_template::kSize.height;

}  // namespace

GtkFrame::GtkFrame(GtkWidget* window, GtkWidget* area, const DialogBaseUnits& units, const CodePage& codePage,
                   const HostLink& link)
    : m_window(window), m_area(area), m_units(units), m_codePage(codePage), m_link(link) {
    gtk_window_set_default_size(GTK_WINDOW(m_window), m_units.X(kTemplateWidth), m_units.Y(kTemplateHeight));
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
    g_signal_connect(m_window, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect(m_window, "configure-event", G_CALLBACK(OnConfigure), this);
    ClientAreaSetSizeHook(m_area, [this](int width, int height) {
        if (!m_link.Live() || !m_shown) return;
        m_sizeReported = true;
        m_link.core->OnSizeNotification(CurrentSizeKind(), width, height);
    });
}

GtkFrame::~GtkFrame() {
    if (GdkWindow* gdkWindow = gtk_widget_get_window(m_window)) gdk_window_remove_filter(gdkWindow, OnXEvent, this);
}

void GtkFrame::Realized() {
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    if (!GDK_IS_X11_WINDOW(gdkWindow)) return;
    m_frameExtentsAtom = XInternAtom(GDK_WINDOW_XDISPLAY(gdkWindow), "_NET_FRAME_EXTENTS", False);
    gdk_window_add_filter(gdkWindow, OnXEvent, this);
}

void GtkFrame::ShowInitially() {
    m_shown = true;
    gtk_widget_show(m_area);
    gtk_widget_show(m_window);
}

void GtkFrame::SetTitle(const std::string& title) {
    gtk_window_set_title(GTK_WINDOW(m_window), m_codePage.ToUtf8(title).c_str());
}

void GtkFrame::SetIcon() {
    GList* icons = nullptr;
    for (int size : {16, 32, 48}) icons = g_list_append(icons, MakeProgramIcon(size));
    gtk_window_set_icon_list(GTK_WINDOW(m_window), icons);
    g_list_free_full(icons, g_object_unref);
}

SizeKind GtkFrame::CurrentSizeKind() const {
    // A minimise asked for counts from the asking: the window manager may
    // take its time, or (with none running) never answer.
    if (m_iconified || m_iconifyRequested) return SizeKind::Minimized;
    return m_maximized ? SizeKind::Maximized : SizeKind::Restored;
}

void GtkFrame::ReportSize() {
    if (!m_link.Live()) return;
    int width = 0, height = 0;
    if (m_sizeReported) {
        ClientAreaContentSize(m_area, width, height);
    } else {
        // Not laid out yet: the size it will open with.
        width = m_units.X(kTemplateWidth);
        height = m_units.Y(kTemplateHeight);
    }
    m_sizeReported = true;
    m_link.core->OnSizeNotification(CurrentSizeKind(), width, height);
}

void GtkFrame::Show(ShowCommand command) {
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

GdkRectangle GtkFrame::FrameRect() const {
    GdkRectangle frame{0, 0, 0, 0};
    if (GdkWindow* gdkWindow = gtk_widget_get_window(m_window)) gdk_window_get_frame_extents(gdkWindow, &frame);
    return frame;
}

bool GtkFrame::GetPlacement(WindowPlacement& placement) {
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

void GtkFrame::SetPlacement(const WindowPlacement& placement) {
    GtkWindow* window = GTK_WINDOW(m_window);
    const PixelRect on = FrameOnScreen(placement, ScreenAreas());
    GdkRectangle frame{on.x, on.y, on.width, on.height};
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
    switch (static_cast<ShowCommand>(placement.showCommand)) {
    case ShowCommand::ShowMinimized:
    case ShowCommand::Minimize:
    case ShowCommand::ShowMinNoActive:
        m_iconifyRequested = true;
        gtk_window_iconify(window);
        break;
    case ShowCommand::Maximized: gtk_window_maximize(window); break;
    default:
        if (m_maximized) gtk_window_unmaximize(window);
        if (m_iconified) gtk_window_deiconify(window);
        break;
    }
}

std::vector<PixelRect> GtkFrame::ScreenAreas() const {
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

PixelRect GtkFrame::TemplateSize() const {
    PixelRect size{0, 0, m_units.X(kTemplateWidth), m_units.Y(kTemplateHeight)};
    // The placement is the outer frame: the decorations count when the
    // window manager has told them.
    if (auto extents = FrameExtents()) {
        size.width += static_cast<std::int32_t>((*extents)[0] + (*extents)[1]);
        size.height += static_cast<std::int32_t>((*extents)[2] + (*extents)[3]);
    }
    return size;
}

std::optional<std::array<long, 4>> GtkFrame::FrameExtents() const {
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

void GtkFrame::RequestFrameExtents() {
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

void GtkFrame::FitFrame() {
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

gboolean GtkFrame::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto* self = static_cast<GtkFrame*>(data);
    self->m_iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    self->m_maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) self->m_iconifyRequested = false;
    if (self->m_sizeReported && (event->changed_mask & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED))) {
        self->ReportSize();
    }
    return FALSE;
}

gboolean GtkFrame::OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    auto* self = static_cast<GtkFrame*>(data);
    if (!gtk_widget_get_mapped(self->m_window)) return FALSE;
    if (!self->m_iconified && !self->m_maximized) self->m_normalRect = self->FrameRect();
    return FALSE;
}

GdkFilterReturn GtkFrame::OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkFrame*>(data);
    auto* event = static_cast<XEvent*>(xevent);
    if (event->type == PropertyNotify && event->xproperty.atom == self->m_frameExtentsAtom) self->FitFrame();
    return GDK_FILTER_CONTINUE;
}

}  // namespace poremisu
