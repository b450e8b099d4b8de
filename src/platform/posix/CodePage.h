#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace poremisu {

// The program's code page and the conversions at its edges. The core keeps
// every text as bytes in this code page; GTK, WebKit and the X server want
// UTF-8. One converter is made at start and handed to every part that needs
// it, so all of them agree whatever the process's locale says later.
class CodePage {
public:
    // The locale's charset when it can hold `probeUtf8` (the product word),
    // otherwise UTF-8. setlocale must have run before.
    static CodePage ForLocale(std::string_view probeUtf8);
    explicit CodePage(std::string name);

    const std::string& Name() const { return m_name; }
    bool IsUtf8() const { return m_isUtf8; }

    // Code-page bytes to valid UTF-8. Bytes that do not form a character
    // (a text cut inside a double-byte character, say) become U+FFFD.
    std::string ToUtf8(std::string_view bytes) const;
    // UTF-8 to code-page bytes, at most `maxBytes` of them and only whole
    // characters. A character the code page lacks, and a byte that is no
    // UTF-8, become "?"; into UTF-8 itself the bytes pass unchanged. A code
    // page that cannot be opened gets ASCII, the part every one shares.
    std::string FromUtf8(std::string_view utf8, std::size_t maxBytes = std::string::npos) const;

private:
    std::string m_name;
    bool m_isUtf8;
};

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace poremisu
