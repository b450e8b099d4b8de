#pragma once

#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// Whether the path or address ends in the extension (given without its dot),
// ignoring the case of ASCII letters. Only the last dot counts, wherever it
// stands; one trailing double quote is ignored.
bool HasExtension(std::string_view path, std::string_view ext);

// The "URL" of section "InternetShortcut" of the file, at most 59999 bytes;
// empty when the file is missing, unreadable or has no such key. Relative
// paths resolve against the current directory.
std::string ReadShortcutUrl(FileSystem& files, ProfileStore& profiles, const std::string& path);

}  // namespace poremisu
