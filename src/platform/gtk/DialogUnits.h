#pragma once

#include <gtk/gtk.h>

namespace poremisu {

// The font the window's sizes are measured in, as dialog templates are.
inline constexpr const char* kDialogFont = "IPAPGothic 9";

// Pixels per dialog unit: horizontal units are a quarter of the average
// character width, vertical ones an eighth of the character height.
struct DialogBaseUnits {
    int charWidth = 6;
    int charHeight = 12;
    int X(int units) const;
    int Y(int units) const;
};
DialogBaseUnits MeasureDialogBaseUnits(GtkWidget* widget, const char* font);

// Applies a style sheet to every widget on `widget`'s screen, over the theme.
void AddScreenStyle(GtkWidget* widget, const char* style);

}  // namespace poremisu
