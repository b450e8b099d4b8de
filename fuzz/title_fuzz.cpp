// The window title and the status texts, from any page name and any status
// text: the title stays within 1023 bytes and always carries the product word
// (later starts find the window by it), and the remembered link address stays
// within 59999 bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "fakes/Fakes.h"
#include "ui/Title.h"

namespace {

using namespace poremisu;

// The product word in the two code pages the program runs in.
const std::string kWords[] = {"\xE3\x81\xBD\xE3\x82\x8C\xE3\x81\xBF\xE3\x81\x99",  // UTF-8
                              "\x82\xDB\x82\xEA\x82\xDD\x82\xB7"};                  // CP932

// Short inputs stand for long texts too: a piece may be repeated past every
// bound the title and the link address have.
std::string Grown(std::uint8_t factor, std::string piece) {
    if (factor < 200 || piece.empty()) return piece;
    std::size_t wanted = static_cast<std::size_t>(factor - 199) * 1300;
    std::string grown;
    while (grown.size() < wanted) grown += piece;
    return grown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string& word = in.PickValueInArray(kWords);
    bool barShown = in.ConsumeBool();
    auto nameFactor = in.ConsumeIntegral<std::uint8_t>();
    auto statusFactor = in.ConsumeIntegral<std::uint8_t>();
    std::string name = Grown(nameFactor, in.ConsumeRandomLengthString(2000));
    std::string status = Grown(statusFactor, in.ConsumeRemainingBytesAsString());

    std::string title = FormatTitle(name, word, status, barShown);
    FUZZ_CHECK(title.size() <= 1023);
    FUZZ_CHECK(Contains(title, word));
    // The title starts with the page name, or with as much of it as the short form keeps.
    std::string shownName = CutToCount(name, 1024).substr(0, 18);
    FUZZ_CHECK(title.compare(0, shownName.size(), shownName) == 0);

    test::CallLog log;
    AppState state;
    Texts texts;
    texts.productWord = word;
    test::FakeBrowser browser(log);
    test::FakeHost host(log);
    browser.locationName = name;
    state.statusBarVisible = barShown ? 1 : 0;
    state.lastLinkUrl = "http://earlier.example/";
    TitleComposer composer(state, texts, browser, host, host);
    composer.ShowStatusText(status, StatusOrigin::Control);

    FUZZ_CHECK(state.lastLinkUrl.size() <= 59999);
    if (Contains(status, "http")) {
        FUZZ_CHECK(state.lastLinkUrl == CutToCount(status, 60000));
    } else {
        FUZZ_CHECK(state.lastLinkUrl == "http://earlier.example/");
    }
    if (barShown) {
        FUZZ_CHECK(host.titles.empty());
        FUZZ_CHECK(host.statusTexts.size() == 1 && host.statusTexts[0] == status);
    } else {
        FUZZ_CHECK(host.titles.size() == 1);
        FUZZ_CHECK(host.titles[0] == title);
        FUZZ_CHECK(state.scratchText == title);
    }
    return 0;
}
