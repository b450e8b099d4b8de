// The history writers with any page addresses, names, tags and texts: each
// call adds exactly one line or none, the line has the form of its kind, and
// its parts read back as they were given.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "app/AppState.h"
#include "app/Text.h"
#include "pages/History.h"
#include "platform/posix/PosixFileSystem.h"

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
        FUZZ_CHECK(readFirst == first);
        FUZZ_CHECK(readSecond == second);
    }
    return 0;
}
