// The stored window placement: whatever "win" holds, a value that reads
// writes back as ten plain decimals that read as the same placement, and any
// placement written reads back unchanged.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/Placement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace poremisu;
    FuzzedDataProvider in(data, size);

    WindowPlacement made;
    for (std::int32_t* field : {&made.flags, &made.showCommand, &made.minX, &made.minY, &made.maxX, &made.maxY,
                                &made.left, &made.top, &made.right, &made.bottom}) {
        *field = in.ConsumeIntegral<std::int32_t>();
    }
    std::string madeText = FormatPlacement(made);
    FUZZ_CHECK(ParsePlacement(madeText) == made);
    FUZZ_CHECK(madeText.find_first_not_of("-0123456789:") == std::string::npos);

    std::string text = in.ConsumeRemainingBytesAsString();
    auto parsed = ParsePlacement(text);
    if (!parsed) return 0;
    std::string written = FormatPlacement(*parsed);
    FUZZ_CHECK(ParsePlacement(written) == parsed);
    FUZZ_CHECK(FormatPlacement(*ParsePlacement(written)) == written);
    // What follows the tenth field is never read.
    FUZZ_CHECK(ParsePlacement(text + ":junk") == parsed);
    return 0;
}
