#pragma once

#include "platform/win32/Win32Api.h"

#include <cstddef>
#include <string>

namespace poremisu {

// A window's text, at most `count` bytes with the terminator, as the system reads it.
std::string WindowText(HWND window, std::size_t count);

// Moves `window` to the middle of `over`, or of the work area when `over` is null.
void CentreOver(HWND window, HWND over);

}  // namespace poremisu
