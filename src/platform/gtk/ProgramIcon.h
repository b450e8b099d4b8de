#pragma once

#include <gtk/gtk.h>

namespace poremisu {

// The program's icon at `size` pixels square (the caller owns the reference):
// the image of that size the build drew, or the largest one scaled. Never null.
GdkPixbuf* MakeProgramIcon(int size);

}  // namespace poremisu
