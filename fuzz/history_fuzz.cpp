// The history writers with any page addresses, names, tags and texts: each
// call adds exactly one line or none, the line has the form of its kind, and
// its parts read back as they were given, but for a link's address that
// would run in the history page, which reads "#".

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "app/AppState.h"
#include "app/Text.h"
#include "pages/History.h"
#include "platform/posix/PosixFileSystem.h"

namespace {

// The scheme of an address as a browser reads it from a link (blanks and
// control bytes before it, tabs and line breaks in it dropped), folded; empty
// when it has none.
std::string SchemeOf(std::string_view address) {
    std::size_t i = 0;
    while (i < address.size() && static_cast<unsigned char>(address[i]) <= 0x20) ++i;
    std::string scheme;
    for (; i < address.size(); ++i) {
        char c = address[i];
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (c == ':') return scheme;
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (scheme.empty() || !other)) return "";
        scheme += static_cast<char>(letter ? c | 0x20 : c);
    }
    return "";
}

// Whether a link to the address in the local history page shows a page
// without running anything of the address's own.
bool Harmless(std::string_view address) {
    const std::string scheme = SchemeOf(address);
    if (scheme.empty() || scheme.size() == 1) return true;  // relative, or a drive
    if (scheme == "http" || scheme == "https" || scheme == "ftp" || scheme == "file") return true;
    if (scheme != "about") return false;
    std::string_view rest = address.substr(address.find(':') + 1);
    for (char c : rest) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    }
    return !rest.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace poremisu;
    static const std::string path = fuzz::ScratchFolder() + "/WindowTitleHis.htm";
    std::error_code ignored;
    std::filesystem::remove(path, ignored);

    AppState state;
    state.historyPath = path;
    Texts texts;
    PosixFileSystem files;
    History history(state, texts, files);

    FuzzedDataProvider in(data, size);
    std::size_t before = 0;
    for (int call = 0; call < 8 && in.remaining_bytes() > 0; ++call) {
        bool link = in.ConsumeBool();
        std::string first = in.ConsumeRandomLengthString(200);
        std::string second = in.ConsumeRandomLengthString(200);
        if (link) {
            history.AppendHistoryLink(first, second);
        } else {
            history.AppendHistoryLine(first, second);
        }
        std::string log = fuzz::ReadBytes(path);
        FUZZ_CHECK(log.size() >= before);
        std::string added = log.substr(before);
        before = log.size();

        bool skipped = link ? StartsWith(first, "http:///") : first.empty();
        if (skipped) {
            FUZZ_CHECK(added.empty());
            continue;
        }
        // One line: CR LF at its end and nowhere else.
        FUZZ_CHECK(added.size() >= 2 && added.substr(added.size() - 2) == "\r\n");
        std::string_view line(added.data(), added.size() - 2);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);

        std::string readFirst, readSecond;
        if (link) {
            FUZZ_CHECK(line.substr(0, 9) == "<a href=\"");
            line.remove_prefix(9);
            std::size_t close = line.find("\">");
            FUZZ_CHECK(close != std::string_view::npos);
            std::string_view address = line.substr(0, close);
            line.remove_prefix(close + 2);
            FUZZ_CHECK(line.size() >= 8 && line.substr(line.size() - 8) == "</a><br>");
            std::string_view name = line.substr(0, line.size() - 8);
            FUZZ_CHECK(fuzz::InertInPage(address) && fuzz::InertInPage(name));
            FUZZ_CHECK(fuzz::Unescape(address, readFirst) && fuzz::Unescape(name, readSecond));
        } else {
            FUZZ_CHECK(fuzz::InertInPage(line));
            // The escaped tag holds no TAB of its own only when the tag had none;
            // the text starts after the tag's own TABs.
            std::size_t tabs = 0;
            for (char c : first) tabs += c == '\t';
            std::size_t split = 0;
            for (std::size_t seen = 0; seen <= tabs; ++seen) {
                split = line.find('\t', seen == 0 ? 0 : split + 1);
                FUZZ_CHECK(split != std::string_view::npos);
            }
            FUZZ_CHECK(fuzz::Unescape(line.substr(0, split), readFirst));
            FUZZ_CHECK(fuzz::Unescape(line.substr(split + 1), readSecond));
        }
        // A link keeps its address unless that would run in the history page.
        if (link && readFirst == "#") {
            FUZZ_CHECK(!Harmless(first) || first == "#");
        } else {
            FUZZ_CHECK(readFirst == first);
            FUZZ_CHECK(!link || Harmless(first));
        }
        FUZZ_CHECK(readSecond == second);
    }
    return 0;
}
