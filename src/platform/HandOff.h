#pragma once

#include "ui/CommandTable.h"

namespace poremisu {

// The names a later start and the running instance agree on to hand an
// address over. The sender and the receiver both take them from here, so the
// two ends cannot drift apart.

// X11: a client message of type kHandOffMessageType, format 32, data.l[0] =
// kHandOffCommand and data.l[1] = a token; the receiver answers by setting
// kHandOffAckProperty (CARDINAL, 32 bits) on its window to the token once the
// command has been handled.
inline constexpr const char* kHandOffMessageType = "_POREMISU_COMMAND";
inline constexpr const char* kHandOffAckProperty = "_POREMISU_ACK";
inline constexpr long kHandOffCommand = cmd::kHandOff;
// The main window's mark of its copy of the program: the instance name, as
// an 8-bit STRING property.
inline constexpr const char* kInstanceProperty = "_POREMISU_INSTANCE";

// Windows: the command arrives as WM_COMMAND with kHandOffCommand at a window
// of the main window's class that carries a property named after the instance.

}  // namespace poremisu
