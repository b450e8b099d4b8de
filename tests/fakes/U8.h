#pragma once

#include <string>
#include <string_view>

namespace poremisu::test {

// A u8 literal as the bytes of a UTF-8 program.
inline std::string U8(std::u8string_view text) { return {reinterpret_cast<const char*>(text.data()), text.size()}; }

}  // namespace poremisu::test
