#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace poremisu {

// Finds one value of an initialisation file while the bytes stream past, in
// memory bounded by the wanted count whatever the size or content of the
// file: the first section of the name (any letter case), the first key of the
// name in it, surrounding blanks trimmed, an enclosing pair of single or
// double quotes removed, cut to count - 1 bytes.
class ProfileValueFinder {
public:
    ProfileValueFinder(std::string_view section, std::string_view key, std::size_t count);

    // Feeds the next bytes; returns true once the answer is known and no more
    // input is needed.
    bool Feed(std::string_view bytes);
    // Ends the input; the last line need not end with a line feed.
    void Finish();

    // The value when the key was found.
    const std::optional<std::string>& Result() const { return m_result; }

private:
    enum class LineState { Lead, Section, SectionDone, Key, ValueLead, Value, Skip };

    void StartLine();
    void EndLine();
    void TakeByte(char c);
    void Conclude(std::optional<std::string> result);
    // Outside the wanted section: the offset of the next "[" that opens a
    // line, the line started afresh; npos when the bytes hold none.
    std::size_t SkipToSectionLine(std::string_view bytes, std::size_t from);

    std::string m_section;
    std::string m_key;
    std::size_t m_count;

    LineState m_state = LineState::Lead;
    bool m_inWantedSection = false;
    bool m_wantedSectionSeen = false;
    bool m_done = false;
    bool m_atFileStart = true;
    std::size_t m_bomMatched = 0;

    std::string m_token;          // section name or key, as read so far
    bool m_tokenOverflow = false;
    std::string m_value;          // the first bytes of the value
    std::size_t m_valueLength = 0;    // bytes from the first non-blank on
    std::size_t m_trimmedLength = 0;  // up to and including the last non-blank
    char m_lastNonBlank = 0;

    std::optional<std::string> m_result;
};

// The file's text with one key set: the first key of the name in the first
// section of the name is replaced, or the key is added at the end of that
// section, or the section is added at the end of the file. Every other byte
// is kept. Lines added end in CR LF. A value is cut at its first line break,
// so that no value can add lines of its own to the file.
std::string UpdateProfileText(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value);

}  // namespace poremisu
