#include "platform/gtk/GtkMenus.h"

#include "app/Text.h"
#include "platform/gtk/ClientArea.h"
#include "platform/gtk/MenuText.h"
#include "platform/gtk/PageText.h"
#include "ui/CommandTable.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

constexpr const char* kCommandKey = "poremisu-command";

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

GtkMenus::GtkMenus(GtkWidget* window, GtkWidget* area, const CodePage& codePage, const HostLink& link)
    : m_window(window), m_area(area), m_codePage(codePage), m_link(link) {}

GtkMenus::~GtkMenus() {
    for (PendingCommand* pending : m_pending) {
        g_source_remove(pending->source);
        delete pending;
    }
    if (m_systemMenu) gtk_widget_destroy(m_systemMenu);
    if (m_systemActions) g_object_unref(m_systemActions);
}

void GtkMenus::Attach(GtkWidget* browserView) {
    g_signal_connect(browserView, "context-menu", G_CALLBACK(OnContextMenu), this);
}

GtkWidget* GtkMenus::BuildMenuBar() {
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
                                 static_cast<GtkMenus*>(self)->PostCommand(Route::Command, id);
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
                                     static_cast<GtkMenus*>(self)->PostCommand(Route::Command, id);
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

void GtkMenus::AttachMainMenu() { ClientAreaSetBar(m_area, BuildMenuBar()); }

void GtkMenus::DestroyMenu() { ClientAreaSetBar(m_area, nullptr); }

bool GtkMenus::HasMainMenu() { return ClientAreaBar(m_area) != nullptr; }

void GtkMenus::AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                                          const std::string& help) {
    m_systemItems = {{syscmd::kUrlInput, GtkMnemonic(m_codePage.ToUtf8(urlInput))},
                     {syscmd::kMenuSet, GtkMnemonic(m_codePage.ToUtf8(menuSet))},
                     {syscmd::kHelp, GtkMnemonic(m_codePage.ToUtf8(help))}};
    BuildSystemMenu();
}

void GtkMenus::BuildSystemMenu() {
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
                             static_cast<GtkMenus*>(self)->PostCommand(Route::SysCommand, command);
                         }),
                         this);
        gtk_menu_shell_append(GTK_MENU_SHELL(m_systemMenu), item);

        std::string name = "system-" + std::to_string(id);
        GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
        g_object_set_data(G_OBJECT(action), kCommandKey, GINT_TO_POINTER(id));
        g_signal_connect(action, "activate", G_CALLBACK(+[](GSimpleAction* activated, GVariant*, gpointer self) {
                             int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(activated), kCommandKey));
                             static_cast<GtkMenus*>(self)->PostCommand(Route::SysCommand, command);
                         }),
                         this);
        g_action_map_add_action(G_ACTION_MAP(m_systemActions), G_ACTION(action));
        g_object_unref(action);
    }
    gtk_widget_show_all(m_systemMenu);
    gtk_menu_attach_to_widget(GTK_MENU(m_systemMenu), m_window, nullptr);
}

void GtkMenus::PopupSystemMenu(const GdkEvent* trigger) {
    if (!m_systemMenu) return;
    gtk_menu_popup_at_widget(GTK_MENU(m_systemMenu), m_window, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                             trigger);
    gtk_menu_shell_select_first(GTK_MENU_SHELL(m_systemMenu), FALSE);
}

void GtkMenus::PostCommand(Route route, int id) {
    auto* pending = new PendingCommand{this, route, id, 0};
    pending->source = g_idle_add(RunPostedCommand, pending);
    m_pending.push_back(pending);
}

gboolean GtkMenus::RunPostedCommand(gpointer data) {
    auto* pending = static_cast<PendingCommand*>(data);
    GtkMenus* self = pending->menus;
    std::erase(self->m_pending, pending);
    if (self->m_link.Live()) {
        if (pending->route == Route::Command) {
            self->m_link.core->OnCommand(pending->id);
        } else {
            // Anything else would be the window manager's own business.
            self->m_link.core->OnSysCommand(pending->id);
        }
    }
    delete pending;
    return G_SOURCE_REMOVE;
}

gboolean GtkMenus::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                 gpointer data) {
    auto* self = static_cast<GtkMenus*>(data);
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

}  // namespace poremisu
