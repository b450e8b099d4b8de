// Writing one key into any file and reading it back: the reader finds what
// was written, a second write changes nothing, and the other keys keep their
// values.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "FuzzSupport.h"
#include "app/Profile.h"
#include "app/Text.h"

namespace {

using namespace poremisu;

constexpr std::size_t kCount = 60000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::string> Read(std::string_view text, std::string_view section, std::string_view key) {
    ProfileValueFinder finder(section, key, kCount);
    finder.Feed(text);
    finder.Finish();
    return finder.Result();
}

// Names the file form can hold: one line, a section without "]", a key that
// neither holds "=" nor looks like a section, neither longer than a reader
// takes a name.
bool CanHoldSection(std::string_view section) {
    section = Trim(section);
    return section.find_first_of("]\n") == std::string_view::npos && section.size() < 1000;
}

bool CanHoldKey(std::string_view key) {
    key = Trim(key);
    return !key.empty() && key.front() != '[' && key.find_first_of("=\n") == std::string_view::npos &&
           key.size() < 1000;
}

// What the reader gives for a written value: its first line, blanks trimmed,
// an enclosing pair of quotes removed, cut at a zero byte.
std::string ExpectedValue(std::string_view value) {
    value = Trim(value.substr(0, value.find_first_of("\r\n")));
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CutToCount(value, kCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kSections[] = {"setting", "InternetShortcut", "Setting"};
    static const char* const kKeys[] = {"newurl", "win", "URL", "NewUrl"};

    FuzzedDataProvider in(data, size);
    std::string section = in.ConsumeBool() ? in.PickValueInArray(kSections) : in.ConsumeRandomLengthString(12);
    std::string key = in.ConsumeBool() ? in.PickValueInArray(kKeys) : in.ConsumeRandomLengthString(12);
    std::string value = in.ConsumeRandomLengthString(300);
    std::string text = in.ConsumeRemainingBytesAsString();

    std::string updated = UpdateProfileText(text, section, key, value);
    if (!CanHoldSection(section) || !CanHoldKey(key)) return 0;

    std::optional<std::string> read = Read(updated, section, key);
    FUZZ_CHECK(read.has_value());
    FUZZ_CHECK(*read == ExpectedValue(value));
    FUZZ_CHECK(UpdateProfileText(updated, section, key, value) == updated);

    // The program's other keys read as before, wherever the write went.
    const std::pair<const char*, const char*> others[] = {
        {"setting", "newurl"}, {"setting", "win"}, {"InternetShortcut", "URL"}};
    for (const auto& [otherSection, otherKey] : others) {
        if (EqualsFoldAscii(Trim(section), otherSection) && EqualsFoldAscii(Trim(key), otherKey)) continue;
        FUZZ_CHECK(Read(updated, otherSection, otherKey) == Read(text, otherSection, otherKey));
    }
    return 0;
}
