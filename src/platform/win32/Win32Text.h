#pragma once

#include "platform/win32/Win32Api.h"

#include <string>
#include <string_view>

namespace poremisu {

// Conversions at the system's boundary. The program's texts are bytes in the
// ANSI code page; UTF-8 only for the fixed texts compiled into the core, and
// UTF-16 only where COM wants it.
std::wstring WideFrom(std::string_view bytes, UINT codePage = CP_ACP);
std::string BytesFrom(std::wstring_view wide, UINT codePage = CP_ACP);
// UTF-8 to the ANSI code page: the encoder of the program's fixed texts.
std::string AnsiFromUtf8(std::string_view utf8);

// The argument text of a command line: everything after the program's name
// and the blanks that follow it, quotes kept as typed.
std::string ArgumentTextOf(std::string_view commandLine);

}  // namespace poremisu
