#include "app/Profile.h"

#include <array>
#include <cstring>
#include <vector>

#include "app/Text.h"

namespace poremisu {

namespace {

// Section names and keys longer than this can never be ours; a line whose
// name runs past it is simply not a match, which keeps the memory bounded.
constexpr std::size_t kMaxTokenBytes = 1024;

bool IsQuote(char c) { return c == '"' || c == '\''; }

constexpr std::array<char, 3> kBom{'\xEF', '\xBB', '\xBF'};

}  // namespace

ProfileValueFinder::ProfileValueFinder(std::string_view section, std::string_view key,
                                       std::size_t count)
    : m_section(TrimLineBlanks(section)), m_key(TrimLineBlanks(key)), m_count(count) {}

void ProfileValueFinder::StartLine() {
    m_state = LineState::Lead;
    m_token.clear();
    m_tokenOverflow = false;
    m_value.clear();
    m_valueLength = 0;
    m_trimmedLength = 0;
    m_lastNonBlank = 0;
}

void ProfileValueFinder::Conclude(std::optional<std::string> result) {
    m_result = std::move(result);
    m_done = true;
}

void ProfileValueFinder::EndLine() {
    switch (m_state) {
    case LineState::Key:
        // A key line without "=": the key stands with an empty value.
        if (m_inWantedSection && !m_tokenOverflow && EqualsFoldAscii(TrimLineBlanksRight(m_token), m_key)) {
            Conclude(std::string());
        }
        break;
    case LineState::ValueLead:
    case LineState::Value: {
        if (!m_inWantedSection || m_tokenOverflow || !EqualsFoldAscii(TrimLineBlanksRight(m_token), m_key)) break;
        std::size_t limit = m_count == 0 ? 0 : m_count - 1;
        std::string_view kept(m_value);
        std::string value;
        bool quoted = m_trimmedLength > 1 && IsQuote(kept.empty() ? 0 : kept.front()) &&
                      m_lastNonBlank == kept.front();
        if (quoted) {
            std::size_t inner = m_trimmedLength - 2;
            value = std::string(kept.substr(1, std::min(inner, limit)));
        } else {
            value = std::string(kept.substr(0, std::min(m_trimmedLength, limit)));
        }
        Conclude(CutToCount(value, m_count));
        break;
    }
    default:
        break;
    }
    StartLine();
}

void ProfileValueFinder::TakeByte(char c) {
    switch (m_state) {
    case LineState::Lead:
        if (IsLineBlank(c)) return;
        if (c == '[') {
            m_state = LineState::Section;
        } else if (!m_inWantedSection) {
            // A key outside the wanted section can never be the answer.
            m_state = LineState::Skip;
        } else {
            m_state = LineState::Key;
            m_token.push_back(c);
        }
        return;
    case LineState::Section:
        if (c == ']') {
            bool wanted = !m_tokenOverflow && EqualsFoldAscii(TrimLineBlanks(m_token), m_section);
            if (m_inWantedSection) {
                // The first section of the name has ended without the key.
                Conclude(std::nullopt);
                return;
            }
            if (wanted && !m_wantedSectionSeen) {
                m_inWantedSection = true;
                m_wantedSectionSeen = true;
            }
            m_state = LineState::SectionDone;
            return;
        }
        if (m_token.size() < kMaxTokenBytes) m_token.push_back(c);
        else m_tokenOverflow = true;
        return;
    case LineState::SectionDone:
    case LineState::Skip:
        return;
    case LineState::Key:
        if (c == '=') {
            if (!m_inWantedSection || m_tokenOverflow || !EqualsFoldAscii(TrimLineBlanksRight(m_token), m_key)) {
                m_state = LineState::Skip;
            } else {
                m_state = LineState::ValueLead;
            }
            return;
        }
        if (m_token.size() < kMaxTokenBytes) m_token.push_back(c);
        else m_tokenOverflow = true;
        return;
    case LineState::ValueLead:
        if (IsLineBlank(c)) return;
        m_state = LineState::Value;
        [[fallthrough]];
    case LineState::Value:
        // Keep one byte more than the answer can hold, for a leading quote.
        if (m_value.size() < m_count) m_value.push_back(c);
        ++m_valueLength;
        if (!IsLineBlank(c)) {
            m_trimmedLength = m_valueLength;
            m_lastNonBlank = c;
        }
        return;
    }
}

std::size_t ProfileValueFinder::SkipToSectionLine(std::string_view bytes, std::size_t from) {
    // Only a line that starts, after blanks, with "[" can matter here: look
    // for that byte in large strides and judge each find by the bytes before
    // it, instead of walking every line of a file that has no section at all.
    bool leadAtFrom = m_state == LineState::Lead;
    auto leadsLine = [&](std::size_t at) {
        while (at > from && IsLineBlank(bytes[at - 1])) --at;
        return at > from ? bytes[at - 1] == '\n' : leadAtFrom;
    };
    for (std::size_t at = from; at < bytes.size(); ++at) {
        const void* hit = std::memchr(bytes.data() + at, '[', bytes.size() - at);
        if (!hit) break;
        at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
        if (leadsLine(at)) {
            StartLine();
            return at;
        }
    }
    // No section line in the rest: the next piece goes on with its last line.
    std::size_t end = bytes.size();
    while (end > from && IsLineBlank(bytes[end - 1])) --end;
    if (end > from) {
        bool lead = bytes[end - 1] == '\n';
        StartLine();
        if (!lead) m_state = LineState::Skip;
    }
    return std::string_view::npos;
}

bool ProfileValueFinder::Feed(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (m_done) return true;
        if (!m_atFileStart && !m_inWantedSection &&
            (m_state == LineState::Lead || m_state == LineState::Skip || m_state == LineState::SectionDone)) {
            i = SkipToSectionLine(bytes, i);
            if (i == std::string_view::npos) break;
        } else if (m_state == LineState::Skip || m_state == LineState::SectionDone) {
            // Nothing more of this line matters: go straight to its end.
            i = bytes.find('\n', i);
            if (i == std::string_view::npos) break;
        }
        char c = bytes[i];
        if (m_atFileStart) {
            // A UTF-8 byte-order mark before the first line is not part of it.
            if (m_bomMatched < kBom.size() && c == kBom[m_bomMatched]) {
                ++m_bomMatched;
                if (m_bomMatched == kBom.size()) m_atFileStart = false;
                continue;
            }
            m_atFileStart = false;
            for (std::size_t k = 0; k < m_bomMatched; ++k) TakeByte(kBom[k]);
        }
        if (c == '\n') {
            EndLine();
        } else {
            TakeByte(c);
        }
    }
    return m_done;
}

void ProfileValueFinder::Finish() {
    if (m_done) return;
    if (m_atFileStart) {
        m_atFileStart = false;
        for (std::size_t i = 0; i < m_bomMatched; ++i) TakeByte(kBom[i]);
    }
    EndLine();
    m_done = true;
}

namespace {

struct Line {
    std::size_t begin;  // offset of the first byte
    std::size_t end;    // offset just past the line feed, or the end of the text
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t feed = text.find('\n', begin);
        std::size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
        lines.push_back({begin, end});
        begin = end;
    }
    return lines;
}

std::string_view LineBody(std::string_view text, const Line& line) {
    std::string_view body = text.substr(line.begin, line.end - line.begin);
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    // A byte-order mark before the first line is no part of it, as for the
    // reader: otherwise a section there is not found and a second one of the
    // name is added after it, which the reader never reaches.
    if (line.begin == 0 && body.substr(0, kBom.size()) == std::string_view(kBom.data(), kBom.size())) {
        body.remove_prefix(kBom.size());
    }
    return body;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string_view> SectionName(std::string_view body) {
    std::string_view trimmed = TrimLineBlanks(body);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimLineBlanks(trimmed.substr(1, close - 1));
}

// Whether the reader takes the name of this section line whole: it keeps
// only so many bytes of a name, blanks included, and a longer one is never
// the section it looks for, so a write must not go there either.
bool ReaderTakesSectionName(std::string_view body) {
    std::string_view trimmed = TrimLineBlanks(body);
    return trimmed.find(']') <= kMaxTokenBytes + 1;
}

std::string_view KeyName(std::string_view body) {
    std::string_view trimmed = TrimLineBlanks(body);
    return TrimLineBlanksRight(trimmed.substr(0, trimmed.find('=')));
}

}  // namespace

std::string UpdateProfileText(std::string_view text, std::string_view section, std::string_view key,
                              std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    section = TrimLineBlanks(section);
    key = TrimLineBlanks(key);
    std::vector<Line> lines = SplitLines(text);

    auto keyLine = [&](std::string_view name) {
        std::string line(name);
        line += '=';
        line += value;
        line += "\r\n";
        return line;
    };

    std::size_t i = 0;
    while (i < lines.size()) {
        std::string_view body = LineBody(text, lines[i]);
        auto name = SectionName(body);
        if (name && EqualsFoldAscii(*name, section) && ReaderTakesSectionName(body)) break;
        ++i;
    }
    if (i == lines.size()) {
        std::string out(text);
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        out += '[';
        out += section;
        out += "]\r\n";
        out += keyLine(key);
        return out;
    }

    // Inside the section: replace the key, or add it after the section's last
    // line that is not blank.
    std::size_t insertAt = lines[i].end;
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
        std::string_view body = LineBody(text, lines[j]);
        if (SectionName(body)) break;
        if (TrimLineBlanks(body).empty()) continue;
        if (EqualsFoldAscii(KeyName(body), key)) {
            std::string out(text.substr(0, lines[j].begin));
            out += keyLine(KeyName(body));
            out += text.substr(lines[j].end);
            return out;
        }
        insertAt = lines[j].end;
    }
    std::string out(text.substr(0, insertAt));
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += keyLine(key);
    out += text.substr(insertAt);
    return out;
}

}  // namespace poremisu
