#pragma once

// What the fuzz targets share: a check that stops the run with the broken
// invariant's text, the inverse of the pages' escaping, and a scratch folder.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

// A broken invariant is a finding: libFuzzer keeps the input that led here.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace poremisu::fuzz {

// Reads back what the pages' escaping wrote; false when a character
// reference is not one the escaping makes.
inline bool Unescape(std::string_view text, std::string& out) {
    static constexpr struct {
        std::string_view entity;
        char byte;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'},
                     {"&#39;", '\''}, {"&#10;", '\n'}, {"&#13;", '\r'}};
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        bool known = false;
        for (const auto& e : kEntities) {
            if (text.substr(i, e.entity.size()) == e.entity) {
                out += e.byte;
                i += e.entity.size();
                known = true;
                break;
            }
        }
        if (!known) return false;
    }
    return true;
}

// True when the bytes hold nothing that could end an attribute, open a tag or
// start a new line of the page.
inline bool InertInPage(std::string_view text) {
    return text.find_first_of("<>\"\r\n") == std::string_view::npos;
}

// The file's bytes; empty when it is missing.
inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

// A folder of the process's own under the temporary folder, made once and
// removed when the run ends normally.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "poremisu-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        m_path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline const std::string& ScratchFolder() {
    static const ScratchDir folder;
    return folder.Path();
}

}  // namespace poremisu::fuzz
