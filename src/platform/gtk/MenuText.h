#pragma once

#include <string>
#include <string_view>

namespace poremisu {

// A menu caption with "&" mnemonics ("終了(&X)") in GTK's form ("終了(_X)"):
// "&X" becomes "_X", "&&" a literal "&", and a literal "_" is doubled.
std::string GtkMnemonic(std::string_view caption);

}  // namespace poremisu
