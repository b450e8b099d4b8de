#include "platform/posix/PosixCodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>

namespace poremisu {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the UTF-8 sequence that starts with `lead`; 1 for a byte
// that starts none, so that it is stepped over alone.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// The longest prefix of at most `maxBytes` bytes that does not end inside a
// character.
std::size_t WholeCharacterPrefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t end = maxBytes;
    if (!IsContinuation(static_cast<unsigned char>(text[end]))) return end;
    std::size_t start = end;
    while (start > 0 && end - start < 3 && IsContinuation(static_cast<unsigned char>(text[start - 1])))
        --start;
    if (start > 0) {
        auto lead = static_cast<unsigned char>(text[start - 1]);
        if (SequenceLength(lead) > 1 && start - 1 + SequenceLength(lead) > end) return start - 1;
    }
    return end;
}

}  // namespace

std::string LocaleCharset() {
    const char* codeset = ::nl_langinfo(CODESET);
    return codeset && *codeset ? codeset : "ANSI_X3.4-1968";
}

bool IsUtf8Charset(std::string_view charset) {
    std::string folded;
    for (char c : charset) {
        if (c == '-' || c == '_') continue;
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded == "utf8";
}

std::string Utf8ToCharset(std::string_view utf8, const std::string& charset, std::size_t maxBytes) {
    if (IsUtf8Charset(charset)) return std::string(utf8.substr(0, WholeCharacterPrefix(utf8, maxBytes)));

    iconv_t converter = ::iconv_open(charset.c_str(), "UTF-8");
    // An unknown charset: ASCII is the part every charset shares.
    if (converter == reinterpret_cast<iconv_t>(-1)) return Utf8ToCharset(utf8, "ASCII", maxBytes);

    std::string out(maxBytes, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = maxBytes;
    while (inLeft > 0) {
        if (::iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno != EILSEQ || outLeft == 0) break;  // full, or input cut inside a character
        // One character that cannot be converted stands as one '?'.
        std::size_t skip = SequenceLength(static_cast<unsigned char>(*in));
        if (skip > inLeft) skip = inLeft;
        for (std::size_t i = 1; i < skip; ++i) {
            if (!IsContinuation(static_cast<unsigned char>(in[i]))) {
                skip = i;
                break;
            }
        }
        in += skip;
        inLeft -= skip;
        *next++ = '?';
        --outLeft;
    }
    // A charset with shift states ends in its initial state.
    ::iconv(converter, nullptr, nullptr, &next, &outLeft);
    ::iconv_close(converter);
    out.resize(maxBytes - outLeft);
    return out;
}

std::string Utf8ToCodePage(std::string_view utf8, std::size_t maxBytes) {
    return Utf8ToCharset(utf8, LocaleCharset(), maxBytes);
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (char c : latin1) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace poremisu
