#pragma once

#include <string>

// Typed addresses are resolved by the core; this side serves what they name.
#include "ui/Address.h"

namespace poremisu {

// The text of the built-in start page, in UTF-8.
std::string HomePageHtml();

}  // namespace poremisu
