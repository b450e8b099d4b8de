#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace poremisu {

// The charset of the current locale's character type (LC_CTYPE), as iconv names it.
std::string LocaleCharset();

bool IsUtf8Charset(std::string_view charset);

// UTF-8 text in the given charset, at most `maxBytes` bytes and only whole
// characters. A character the charset cannot hold, and a byte that is no
// UTF-8, become '?'. Into UTF-8 itself the bytes pass unchanged.
std::string Utf8ToCharset(std::string_view utf8, const std::string& charset, std::size_t maxBytes);

// The same into the locale's charset: the program's code page.
std::string Utf8ToCodePage(std::string_view utf8, std::size_t maxBytes);

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace poremisu
