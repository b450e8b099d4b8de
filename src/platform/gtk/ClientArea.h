#pragma once

#include <gtk/gtk.h>

#include <functional>

namespace poremisu {

// The main window's client area: an optional bar (the menu bar) across the
// top at its natural height, and below it children placed exactly at the
// rectangles the main window's layout gives them, in pixels of the area under
// the bar. The area asks for almost no room itself, so the user can shrink
// the window as far as the window manager allows.
GtkWidget* ClientAreaNew();

// Puts `bar` across the top, replacing (and destroying) the one before; nullptr removes it.
void ClientAreaSetBar(GtkWidget* area, GtkWidget* bar);

// The bar given by ClientAreaSetBar, or null.
GtkWidget* ClientAreaBar(GtkWidget* area);
void ClientAreaAdd(GtkWidget* area, GtkWidget* child);
// A child with no width or height left is kept mapped but moved out of sight,
// so it keeps the focus and its place in the tab order.
void ClientAreaPlace(GtkWidget* area, GtkWidget* child, GdkRectangle rect);

// The size under the bar, as the next allocation will make it.
void ClientAreaContentSize(GtkWidget* area, int& width, int& height);

// Called at each allocation with the content size, before the children are
// placed, so rectangles set from it take effect in the same allocation.
void ClientAreaSetSizeHook(GtkWidget* area, std::function<void(int width, int height)> hook);

}  // namespace poremisu
