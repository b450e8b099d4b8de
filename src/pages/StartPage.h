#pragma once

#include <string_view>

namespace poremisu {

inline constexpr std::string_view kStartPage = "about:home";

// The built-in start page ("about:home" to the user) for a platform whose
// engine has none of its own: UTF-8, as its meta tag declares, in every code
// page. The platform serves these bytes as they are.
std::string_view StartPageHtml();

}  // namespace poremisu
