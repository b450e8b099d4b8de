#include "platform/posix/CodePage.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace poremisu {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool NamesUtf8(std::string_view name) {
    std::string folded;
    for (char c : name) {
        if (c == '-' || c == '_') continue;
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded == "utf8";
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the UTF-8 sequence that starts with `lead`; 1 for a byte
// that starts none, so that it is stepped over alone.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// The bytes of the one character at the start of `text` that cannot be
// converted: a whole UTF-8 sequence, as far as it goes, or a single byte.
std::size_t UnconvertibleLength(std::string_view text, bool fromUtf8) {
    if (!fromUtf8) return 1;
    std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(text[0])), text.size());
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i]))) return i;
    }
    return length;
}

// The length of the valid UTF-8 character at the start of `text`; 0 when
// there is none: a zero byte, a stray or missing continuation, an overlong
// form, a surrogate, or a code point past U+10FFFF.
std::size_t ValidCharacterLength(std::string_view text) {
    auto lead = static_cast<unsigned char>(text[0]);
    if (lead == 0) return 0;
    if (lead < 0x80) return 1;
    std::size_t length = SequenceLength(lead);
    if (length == 1 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i]))) return 0;
    }
    auto second = static_cast<unsigned char>(text[1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90)) return 0;  // overlong
    if (lead == 0xED && second >= 0xA0) return 0;                                      // a surrogate
    if (lead == 0xF4 && second >= 0x90) return 0;                                      // past U+10FFFF
    return length;
}

// Valid UTF-8 for whatever bytes are given: each byte where no valid
// character starts becomes U+FFFD.
std::string MakeValidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        std::size_t length = ValidCharacterLength(bytes);
        if (length == 0) {
            out += kReplacementCharacter;
            length = 1;
        } else {
            out += bytes.substr(0, length);
        }
        bytes.remove_prefix(length);
    }
    return out;
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

struct IconvCloser {
    void operator()(void* cd) const { ::iconv_close(static_cast<iconv_t>(cd)); }
};

// Converts as much as fits in `maxBytes` bytes, whole characters only. Each
// character that does not convert, a cut one at the end included, is
// replaced by `replacement` and stepped over, so that it never loses the
// rest. False only when the conversion cannot be opened at all.
bool Convert(const std::string& to, const std::string& from, std::string_view input, std::string_view replacement,
             std::size_t maxBytes, std::string& output) {
    iconv_t opened = ::iconv_open(to.c_str(), from.c_str());
    if (opened == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<void, IconvCloser> handle(opened);
    const bool fromUtf8 = NamesUtf8(from);
    output.clear();
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (true) {
        std::size_t room = std::min(sizeof buffer, maxBytes - output.size());
        char* out = buffer;
        std::size_t outLeft = room;
        // With the input done, a charset with shift states returns to its initial one.
        std::size_t result = inLeft ? ::iconv(opened, &in, &inLeft, &out, &outLeft)
                                    : ::iconv(opened, nullptr, nullptr, &out, &outLeft);
        bool wrote = out != buffer;
        output.append(buffer, out);
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0 && !wrote) return true;
            continue;
        }
        // Full: the bound is reached, or the next character does not fit in it.
        if (errno == E2BIG) {
            if (room < sizeof buffer || !wrote) return true;
            continue;
        }
        // EILSEQ or EINVAL: bytes that start no character here, or a
        // character cut at the end of the text.
        if (maxBytes - output.size() < replacement.size()) return true;
        output += replacement;
        std::size_t step = UnconvertibleLength(std::string_view(in, inLeft), fromUtf8);
        in += step;
        inLeft -= step;
    }
}

}  // namespace

CodePage::CodePage(std::string name) : m_name(std::move(name)), m_isUtf8(NamesUtf8(m_name)) {}

CodePage CodePage::ForLocale(std::string_view probeUtf8) {
    const char* charset = ::nl_langinfo(CODESET);
    if (!charset || !*charset || NamesUtf8(charset)) return CodePage("UTF-8");
    CodePage candidate(charset);
    // A charset that cannot spell the product word would lose every
    // Japanese text of the program.
    if (candidate.ToUtf8(candidate.FromUtf8(probeUtf8)) == probeUtf8) return candidate;
    return CodePage("UTF-8");
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
    if (m_isUtf8) return MakeValidUtf8(bytes);
    std::string output;
    if (!Convert("UTF-8", m_name, bytes, kReplacementCharacter, std::string::npos, output)) {
        return MakeValidUtf8(bytes);
    }
    return MakeValidUtf8(output);
}

std::string CodePage::FromUtf8(std::string_view utf8, std::size_t maxBytes) const {
    if (m_isUtf8) return std::string(utf8.substr(0, WholeCharacterPrefix(utf8, maxBytes)));
    std::string output;
    if (!Convert(m_name, "UTF-8", utf8, "?", maxBytes, output)) return CodePage("ASCII").FromUtf8(utf8, maxBytes);
    return output;
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
