#include "platform/gtk/GtkModalBoxes.h"

#include "platform/gtk/GtkUrlInputDialog.h"
#include "ui/MainWindow.h"

namespace poremisu {

GtkModalBoxes::GtkModalBoxes(GtkWidget* window, AppState& state, const Texts& texts, const CodePage& codePage,
                             const DialogBaseUnits& units, Menus& menus, const HostLink& link)
    : m_window(window),
      m_state(state),
      m_texts(texts),
      m_codePage(codePage),
      m_units(units),
      m_menus(menus),
      m_link(link) {}

void GtkModalBoxes::EndBoxes() {
    // Each box's loop returns once control gets back to it; its window goes now.
    for (auto box = m_modalBoxes.rbegin(); box != m_modalBoxes.rend(); ++box) {
        box->end();
        gtk_widget_hide(box->window);
    }
}

int GtkModalBoxes::RunModal(GtkDialog* dialog) {
    // A close of the window answers the dialog that runs, so no nested loop outlives the window.
    m_modalBoxes.push_back(
        {GTK_WIDGET(dialog), [dialog] { gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL); }});
    int response = gtk_dialog_run(dialog);
    m_modalBoxes.pop_back();
    return response;
}

Answer GtkModalBoxes::MessageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    if (m_link.ended) return Answer::Cancel;
    GtkWidget* dialog = gtk_message_dialog_new(
        GTK_WINDOW(m_window), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_OTHER, buttons == Buttons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_OK_CANCEL, "%s",
        m_codePage.ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), m_codePage.ToUtf8(caption).c_str());
    int response = RunModal(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_OK ? Answer::Ok : Answer::Cancel;
}

void GtkModalBoxes::RunUrlInputDialog() {
    if (!m_link.Live()) return;
    GtkUrlInputDialog dialog(GTK_WINDOW(m_window), m_codePage, m_texts, m_units);
    UrlInputDialog core(m_state, *m_link.browser, *m_link.core, m_menus, dialog);
    m_modalBoxes.push_back({dialog.Window(), [&dialog] { dialog.End(); }});
    // The result changes nothing here: GO has navigated already.
    dialog.Run(core);
    m_modalBoxes.pop_back();
}

}  // namespace poremisu
