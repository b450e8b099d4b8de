#include "platform/gtk/CodePage.h"

#include <glib.h>
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace poremisu {

namespace {

bool NamesUtf8(std::string_view name) {
    std::string folded;
    for (char c : name) {
        if (c != '-' && c != '_') folded += g_ascii_tolower(c);
    }
    return folded == "utf8";
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

// Converts as much as it can; each byte that does not convert is replaced by
// `replacement` and skipped, so a cut or foreign byte never loses the rest.
// Returns false only when the conversion cannot be opened at all.
bool ConvertLossy(const std::string& to, const std::string& from, std::string_view input,
                  std::string_view replacement, std::string& output, bool* exact = nullptr) {
    IconvHandle handle = OpenIconv(to, from);
    if (!handle) return false;
    iconv_t cd = static_cast<iconv_t>(handle.get());
    if (exact) *exact = true;
    output.clear();
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (true) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result = inLeft ? iconv(cd, &in, &inLeft, &out, &outLeft)
                                    : iconv(cd, nullptr, nullptr, &out, &outLeft);
        output.append(buffer, out - buffer);
        if (result != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                // Flush any shift state once the input is done.
                out = buffer;
                outLeft = sizeof buffer;
                iconv(cd, nullptr, nullptr, &out, &outLeft);
                output.append(buffer, out - buffer);
                return true;
            }
            continue;
        }
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: a byte that starts no character here, or a
        // character cut at the end of the text.
        if (exact) *exact = false;
        output += replacement;
        if (inLeft == 0) return true;
        if (from == "UTF-8") {
            // Skip the whole UTF-8 character, not just its first byte.
            const char* next = g_utf8_find_next_char(in, in + inLeft);
            std::size_t step = next ? static_cast<std::size_t>(next - in) : inLeft;
            in += step;
            inLeft -= step;
        } else {
            ++in;
            --inLeft;
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace

std::string MakeValidUtf8(std::string_view bytes) {
    gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

CodePage::CodePage(std::string name) : m_name(std::move(name)), m_isUtf8(NamesUtf8(m_name)) {}

CodePage CodePage::ForLocale(std::string_view probeUtf8) {
    std::string charset = nl_langinfo(CODESET);
    if (charset.empty() || NamesUtf8(charset)) return CodePage("UTF-8");
    std::string converted;
    bool exact = false;
    if (ConvertLossy(charset, "UTF-8", probeUtf8, "?", converted, &exact) && exact) {
        return CodePage(charset);
    }
    // A charset that cannot spell the product word would lose every
    // Japanese text of the program.
    return CodePage("UTF-8");
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
    if (m_isUtf8) return MakeValidUtf8(bytes);
    std::string output;
    if (!ConvertLossy("UTF-8", m_name, bytes, "\xEF\xBF\xBD", output)) return MakeValidUtf8(bytes);
    return MakeValidUtf8(output);
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
    if (m_isUtf8) return std::string(utf8);
    std::string output;
    if (!ConvertLossy(m_name, "UTF-8", utf8, "?", output)) return std::string(utf8);
    return output;
}

}  // namespace poremisu
