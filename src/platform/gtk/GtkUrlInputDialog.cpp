#include "platform/gtk/GtkUrlInputDialog.h"

#include <algorithm>

#include "platform/gtk/ClientArea.h"
#include "platform/gtk/ProgramIcon.h"
#include "ui/DialogTemplates.h"

namespace poremisu {

namespace {

// The product's version as the template spells it.
constexpr const char* kVersionText = POREMISU_VERSION;
constexpr const char* kControlIdKey = "poremisu-control-id";
constexpr const char* kDialogName = "poremisu-url-dialog";

// Fields and buttons are as high as the main window's address bar, one row,
// rather than as the theme's; the text is the dialog's font.
constexpr const char* kStyle =
    "#poremisu-url-dialog, #poremisu-url-dialog * { font-family: \"IPAPGothic\"; font-size: 9pt; }\n"
    "#poremisu-url-dialog entry { min-height: 0; padding-top: 1px; padding-bottom: 1px; }\n"
    "#poremisu-url-dialog button { min-height: 0; min-width: 0; padding: 0 2px; }\n";

void AddStyleOnce(GtkWidget* widget) {
    static bool added = false;
    if (added) return;
    added = true;
    AddScreenStyle(widget, kStyle);
}

GtkWidget* AddStatic(GtkWidget* area, const char* text) {
    // Plain text: no mnemonic, an ampersand is an ampersand.
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_yalign(GTK_LABEL(label), 0);
    ClientAreaAdd(area, label);
    gtk_widget_show(label);
    return label;
}

}  // namespace

GtkUrlInputDialog::GtkUrlInputDialog(GtkWindow* owner, const CodePage& codePage, const Texts& texts,
                                     const DialogBaseUnits& units)
    : m_codePage(codePage), m_units(units) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_set_name(m_window, kDialogName);
    AddStyleOnce(m_window);
    gtk_window_set_title(GTK_WINDOW(m_window), codePage.ToUtf8(texts.urlInputCaption).c_str());
    gtk_window_set_transient_for(GTK_WINDOW(m_window), owner);
    gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
    // An owned window: no taskbar entry of its own, but minimise and maximise
    // boxes as the template asks, so it is no "dialog" to the window manager.
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(m_window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_NORMAL);
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_default_size(GTK_WINDOW(m_window), m_units.X(url_template::kSize.width),
                                m_units.Y(url_template::kSize.height));
    if (GList* icons = gtk_window_get_icon_list(owner)) {
        gtk_window_set_icon_list(GTK_WINDOW(m_window), icons);
        g_list_free(icons);
    }

    m_area = ClientAreaNew();
    gtk_container_add(GTK_CONTAINER(m_window), m_area);

    // Template order, which is also the order Tab walks (below).
    GdkPixbuf* pixbuf = MakeProgramIcon(32);
    GtkWidget* icon = gtk_image_new_from_pixbuf(pixbuf);
    g_object_unref(pixbuf);
    ClientAreaAdd(m_area, icon);
    gtk_widget_show(icon);
    PlaceAtTemplate(icon, url_template::kIcon);
    PlaceAtTemplate(AddStatic(m_area, codePage.ToUtf8(texts.versionLabel).c_str()), url_template::kVersionLabel);
    m_go = AddButton(POREMISU_URL_GO_TEXT, dlg::kGo);
    PlaceAtTemplate(m_go, url_template::kGo);
    PlaceAtTemplate(AddStatic(m_area, kVersionText), url_template::kVersion);
    m_address = AddEntry(true);
    PlaceAtTemplate(m_address, url_template::kAddress);
    // Escape stands for this button's id; the button itself can never be used.
    m_menu = AddButton(POREMISU_URL_MENU_TEXT, dlg::kMenu);
    gtk_widget_set_sensitive(m_menu, FALSE);
    gtk_widget_hide(m_menu);
    PlaceAtTemplate(m_menu, url_template::kMenu);
    m_cancel = AddButton(POREMISU_URL_CANCEL_TEXT, dlg::kCancel);
    PlaceAtTemplate(m_cancel, url_template::kCancel);
    m_pageName = AddEntry(false);
    PlaceAtTemplate(m_pageName, url_template::kPageName);
    m_anchor = AddEntry(false);
    PlaceAtTemplate(m_anchor, url_template::kAnchor);

    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GList* chain = nullptr;
    for (GtkWidget* widget : {m_go, m_address, m_cancel, m_pageName, m_anchor}) {
        chain = g_list_append(chain, widget);
    }
    gtk_container_set_focus_chain(GTK_CONTAINER(m_area), chain);
    g_list_free(chain);
    G_GNUC_END_IGNORE_DEPRECATIONS

    // GO is the default button. Enter in any of the fields raises GO too: the
    // hidden "menu" button is never a candidate, so Enter means "go there".
    gtk_widget_set_can_default(m_go, TRUE);
    gtk_window_set_default(GTK_WINDOW(m_window), m_go);

    ClientAreaSetSizeHook(m_area, [this](int width, int height) { OnClientSize(width, height); });
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);
    gtk_widget_show(m_area);
}

GtkUrlInputDialog::~GtkUrlInputDialog() {
    ClientAreaSetSizeHook(m_area, nullptr);
    gtk_widget_destroy(m_window);
}

GtkWidget* GtkUrlInputDialog::AddEntry(bool editable) {
    GtkWidget* entry = gtk_entry_new();
    // No minimum width of its own: the layout gives it the dialog's width.
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 0);
    // Read-only fields still take the focus, so their text can be selected and copied.
    gtk_editable_set_editable(GTK_EDITABLE(entry), editable);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    ClientAreaAdd(m_area, entry);
    gtk_widget_show(entry);
    return entry;
}

GtkWidget* GtkUrlInputDialog::AddButton(const char* label, int id) {
    GtkWidget* button = gtk_button_new_with_label(label);
    g_object_set_data(G_OBJECT(button), kControlIdKey, GINT_TO_POINTER(id));
    g_signal_connect(button, "clicked", G_CALLBACK(OnClicked), this);
    ClientAreaAdd(m_area, button);
    gtk_widget_show(button);
    return button;
}

void GtkUrlInputDialog::PlaceAtTemplate(GtkWidget* widget, const DialogUnitRect& rect) {
    ClientAreaPlace(m_area, widget,
                    GdkRectangle{m_units.X(rect.x), m_units.Y(rect.y), m_units.X(rect.width), m_units.Y(rect.height)});
}

GtkWidget* GtkUrlInputDialog::Control(int id) const {
    switch (id) {
    case dlg::kGo: return m_go;
    case dlg::kMenu: return m_menu;
    case dlg::kCancel: return m_cancel;
    case dlg::kAddress: return m_address;
    case dlg::kPageName: return m_pageName;
    case dlg::kAnchor: return m_anchor;
    default: return nullptr;
    }
}

DialogResult GtkUrlInputDialog::Run(UrlInputDialog& core) {
    m_core = &core;
    m_ended = false;
    m_result = DialogResult::Cancel;
    // The core's initialisation asks for the focus on the first tab stop: GO,
    // so Enter right after opening goes to the address shown.
    if (core.OnInitDialog()) gtk_widget_grab_focus(m_go);
    CentreOverOwner();
    gtk_widget_show(m_window);
    if (!m_ended) {
        m_loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(m_loop);
        g_main_loop_unref(m_loop);
        m_loop = nullptr;
    }
    m_core = nullptr;
    return m_result;
}

void GtkUrlInputDialog::CentreOverOwner() {
    GtkWindow* owner = gtk_window_get_transient_for(GTK_WINDOW(m_window));
    GdkWindow* ownerWindow = owner ? gtk_widget_get_window(GTK_WIDGET(owner)) : nullptr;
    if (!ownerWindow || !gdk_window_is_viewable(ownerWindow)) return;
    // Outer frame over outer frame. The window manager frames the dialog as
    // it framed its owner, so the owner's decorations tell the dialog's
    // outer size before it has one; the position asked for is the frame's.
    GdkRectangle frame{0, 0, 0, 0};
    gdk_window_get_frame_extents(ownerWindow, &frame);
    int decorationWidth = std::max(frame.width - gdk_window_get_width(ownerWindow), 0);
    int decorationHeight = std::max(frame.height - gdk_window_get_height(ownerWindow), 0);
    int width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(m_window), &width, &height);
    int outerWidth = width + decorationWidth, outerHeight = height + decorationHeight;
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_NONE);
    gtk_window_move(GTK_WINDOW(m_window), frame.x + (frame.width - outerWidth) / 2,
                    frame.y + (frame.height - outerHeight) / 2);
}

void GtkUrlInputDialog::SetFieldText(int id, const std::string& text) {
    if (GtkWidget* field = Control(id); field && GTK_IS_ENTRY(field)) {
        gtk_entry_set_text(GTK_ENTRY(field), m_codePage.ToUtf8(text).c_str());
    }
}

std::string GtkUrlInputDialog::GetFieldText(int id, std::size_t count) {
    GtkWidget* field = Control(id);
    if (!field || !GTK_IS_ENTRY(field)) return {};
    return CutToCount(m_codePage.FromUtf8(gtk_entry_get_text(GTK_ENTRY(field))), count);
}

void GtkUrlInputDialog::MoveDialog(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    GtkWindow* window = GTK_WINDOW(m_window);
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    // The size asked for is the outer one; the window is what lies inside the
    // window manager's frame.
    int frameWidth = 0, frameHeight = 0;
    if (gdkWindow) {
        GdkRectangle frame{0, 0, 0, 0};
        gdk_window_get_frame_extents(gdkWindow, &frame);
        frameWidth = std::max(frame.width - gdk_window_get_width(gdkWindow), 0);
        frameHeight = std::max(frame.height - gdk_window_get_height(gdkWindow), 0);
        // A maximised window keeps its size; the move ends that state.
        if (gdk_window_get_state(gdkWindow) & GDK_WINDOW_STATE_MAXIMIZED) gtk_window_unmaximize(window);
    }
    gtk_window_move(window, x, y);
    gtk_window_resize(window, std::max(w - frameWidth, 1), std::max(h - frameHeight, 1));
}

void GtkUrlInputDialog::MoveControl(int id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (GtkWidget* control = Control(id)) ClientAreaPlace(m_area, control, GdkRectangle{x, y, w, h});
}

void GtkUrlInputDialog::EndDialog(DialogResult result) {
    if (m_ended) return;
    m_ended = true;
    m_result = result;
    // Gone from the screen at once, even while the loop is still unwinding.
    gtk_widget_hide(m_window);
    if (m_loop) g_main_loop_quit(m_loop);
}

void GtkUrlInputDialog::OnClientSize(int width, int height) {
    // Every allocation comes here. The nine-row cap's move arrives later as
    // an allocation of its own.
    if (m_core) m_core->OnSize(width, height);
}

gboolean GtkUrlInputDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkUrlInputDialog*>(data);
    guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_Escape && modifiers == 0 && self->m_core && !self->m_ended) {
        // Escape raises the hidden button's id: the menu bar comes back, the dialog stays.
        self->m_core->OnCommand(dlg::kMenu);
        return TRUE;
    }
    return FALSE;
}

gboolean GtkUrlInputDialog::OnDelete(GtkWidget* widget, GdkEvent*, gpointer) {
    // The close box stands for the disabled "menu" button: refused, with a warning sound.
    gdk_display_beep(gtk_widget_get_display(widget));
    return TRUE;
}

void GtkUrlInputDialog::OnClicked(GtkButton* button, gpointer data) {
    auto* self = static_cast<GtkUrlInputDialog*>(data);
    int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kControlIdKey));
    if (self->m_core && !self->m_ended) self->m_core->OnCommand(id);
}

}  // namespace poremisu
