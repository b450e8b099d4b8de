#pragma once

#include "platform/win32/Win32Api.h"

namespace poremisu {

// A new menu bar built from the core's command table, captions in the ANSI
// code page; null when the system has no menu to give. The caller owns it.
HMENU BuildMainMenu();

}  // namespace poremisu
