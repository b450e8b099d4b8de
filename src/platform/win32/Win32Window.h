#pragma once

#include "platform/win32/Win32Api.h"

#include <cstddef>
#include <string>

namespace poremisu {

// A window's text, at most `count` bytes with the terminator, as the system reads it.
std::string WindowText(HWND window, std::size_t count);

// Moves `window` to the middle of `over`, or of the work area when `over` is null.
void CentreOver(HWND window, HWND over);

// The object a dialog procedure serves: handed over with WM_INITDIALOG, kept
// with the dialog and found there for every later message (null before).
template <typename Owner>
Owner* DialogOwner(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return reinterpret_cast<Owner*>(lParam);
    }
    return reinterpret_cast<Owner*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

}  // namespace poremisu
