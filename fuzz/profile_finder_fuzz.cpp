// The settings and shortcut reader, fed one file in pieces cut anywhere: the
// answer may not depend on the cuts, and stays within its count.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "FuzzSupport.h"
#include "app/Profile.h"

namespace {

using poremisu::ProfileValueFinder;

std::optional<std::string> ReadInPieces(const std::string& text, std::string_view section, std::string_view key,
                                        std::size_t count, std::uint32_t seed, std::size_t maxPiece) {
    ProfileValueFinder finder(section, key, count);
    std::minstd_rand pieces(seed);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t length = maxPiece == 0 ? text.size() : pieces() % (maxPiece + 1);
        std::string_view piece = std::string_view(text).substr(pos, length);
        pos += piece.size();
        if (finder.Feed(piece)) break;
    }
    finder.Finish();
    return finder.Result();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kSections[] = {"setting", "InternetShortcut", " SETTING ", "", "a]b"};
    static const char* const kKeys[] = {"newurl", "win", "URL", " url ", "=", ""};
    static const std::size_t kCounts[] = {0, 1, 2, 3, 100, 60000};

    FuzzedDataProvider in(data, size);
    std::string section = in.PickValueInArray(kSections);
    std::string key = in.PickValueInArray(kKeys);
    std::size_t count = in.ConsumeBool() ? in.PickValueInArray(kCounts) : in.ConsumeIntegralInRange<std::size_t>(0, 80);
    std::uint32_t seed = in.ConsumeIntegral<std::uint32_t>();
    std::string text = in.ConsumeRemainingBytesAsString();

    std::optional<std::string> whole = ReadInPieces(text, section, key, count, seed, 0);
    std::optional<std::string> bytes = ReadInPieces(text, section, key, count, seed, 1);
    std::optional<std::string> pieces = ReadInPieces(text, section, key, count, seed, 1 + seed % 37);
    FUZZ_CHECK(whole == bytes);
    FUZZ_CHECK(whole == pieces);
    if (whole) {
        FUZZ_CHECK(whole->size() < (count == 0 ? 1 : count));
        // A value is one line's, cut at its first zero byte as a C string would be.
        FUZZ_CHECK(whole->find('\n') == std::string::npos);
        FUZZ_CHECK(whole->find('\0') == std::string::npos);
    }
    return 0;
}
