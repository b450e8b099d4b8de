#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// Whether the path or address ends in the extension (given without its dot),
// ignoring the case of ASCII letters. Only the last dot counts, wherever it
// stands; one trailing double quote is ignored.
bool HasExtension(std::string_view path, std::string_view ext);

// A shortcut that the user opens is a small text file; anything larger (a
// huge or sparse file given by mistake) is no shortcut and is not read.
inline constexpr std::uint64_t kMaxShortcutFileBytes = 1u << 20;

// The "URL" of section "InternetShortcut" of the file, at most 59999 bytes;
// empty when the file is missing, unreadable, not a regular file, larger
// than `maxFileBytes` or has no such key. Relative paths resolve against the
// current directory.
std::string ReadShortcutUrl(FileSystem& files, ProfileStore& profiles, const std::string& path,
                            std::uint64_t maxFileBytes = kMaxShortcutFileBytes);

}  // namespace poremisu
