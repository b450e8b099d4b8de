#pragma once

#include <string>
#include <string_view>

namespace poremisu {

// The program's code page and the conversions at the toolkit boundary. The
// core keeps every text as bytes in this code page; GTK and WebKit want UTF-8.
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
    // UTF-8 to code-page bytes; characters the code page lacks become "?".
    std::string FromUtf8(std::string_view utf8) const;

private:
    std::string m_name;
    bool m_isUtf8;
};

// Valid UTF-8 for whatever bytes are given: invalid sequences become U+FFFD.
std::string MakeValidUtf8(std::string_view bytes);

}  // namespace poremisu
