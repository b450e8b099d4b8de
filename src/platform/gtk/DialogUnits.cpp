#include "platform/gtk/DialogUnits.h"

#include <algorithm>
#include <cmath>

namespace poremisu {

namespace {

int MulDiv(int number, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(number) * numerator / denominator));
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

void AddScreenStyle(GtkWidget* widget, const char* style) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, style, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(widget), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

}  // namespace poremisu
