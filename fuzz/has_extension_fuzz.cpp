// The extension test on any bytes: an answer of true means the text after the
// last dot is the extension, letter case never matters, and one closing
// double quote is looked through.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/Text.h"
#include "pages/Shortcut.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using poremisu::HasExtension;
    FuzzedDataProvider in(data, size);
    std::string ext = in.ConsumeRandomLengthString(12);
    std::string path = in.ConsumeRemainingBytesAsString();

    bool found = HasExtension(path, ext);
    FUZZ_CHECK(HasExtension(Upper(path), ext) == found);
    FUZZ_CHECK(HasExtension(path, Upper(ext)) == found);
    if (found) {
        std::string_view judged(path);
        if (judged.size() >= 260) judged = judged.substr(judged.size() - 260);
        if (!judged.empty() && judged.back() == '"') judged.remove_suffix(1);
        FUZZ_CHECK(ext.size() <= 8);
        FUZZ_CHECK(ext.find('.') == std::string::npos);
        FUZZ_CHECK(judged.size() > ext.size());
        FUZZ_CHECK(judged[judged.size() - ext.size() - 1] == '.');
        FUZZ_CHECK(poremisu::EqualsFoldAscii(judged.substr(judged.size() - ext.size()), ext));
    }
    if (path.size() < 259 && (path.empty() || path.back() != '"')) {
        FUZZ_CHECK(HasExtension(path + '"', ext) == found);
    }
    return 0;
}
