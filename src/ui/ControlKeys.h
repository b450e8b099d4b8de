#pragma once

#include <cstdint>
#include <optional>

namespace poremisu {

// The keys (and mouse buttons) of a browser control that the platform's own
// control does not answer by itself: one table, which a platform layer asks
// about each key the window gets.
enum class ControlKey {
    F3, F5, F6, F11, Escape, F, Left, Right, Backspace, Plus, Minus, Zero, D, L, P, R,
    MouseBack,     // the mouse's back button (8)
    MouseForward,  // and its forward button (9)
};

namespace modifier {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kShift = 1;
inline constexpr unsigned kCtrl = 2;
inline constexpr unsigned kAlt = 4;
}  // namespace modifier

enum class ControlAction {
    Reload,
    ReloadBypassingCache,
    Back,     // the window's own Back command: the page reached is not logged
    Forward,  // likewise Forward
    ZoomIn,
    ZoomOut,
    ZoomReset,
    Print,
    Stop,          // a load under way; else the key is the page's
    FocusAddress,  // the address bar when it is shown, else the address dialog
    FullScreen,    // on, the bars hidden; off, the bars as they were
    Find,          // the find bar, open and its text selected
    FindNext,
    FindPrevious,
};

// Whether the page may keep the key for itself (a text field's Backspace,
// a page's own Escape): such a key acts only when the page left it alone.
enum class PageFirst { No, Yes };

struct ControlKeyRow {
    ControlKey key;
    unsigned modifiers;  // exactly these of Shift, Ctrl and Alt
    ControlAction action;
    PageFirst pageFirst;
};

std::optional<ControlKeyRow> FindControlKey(ControlKey key, unsigned modifiers);

// The page's zoom in steps, as the control offers them: 30 % to 300 %.
double NextZoom(double zoom, ControlAction action);

}  // namespace poremisu
