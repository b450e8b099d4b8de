#pragma once

// The system headers, included once here for every Windows source. The
// program calls the ANSI functions by their full names (CreateFileA,
// MessageBoxA, ...); the generic macros that would rename the core's
// operations of the same name are removed.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <ocidl.h>
#include <oleauto.h>
#include <shellapi.h>

#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef MessageBox
#undef GetClassName
