#pragma once

#include <string>
#include <vector>

namespace poremisu::test {

// The calls the fakes received, in order, as short texts such as
// "Navigate2(about:home)", so that an order across fakes can be checked.
using CallLog = std::vector<std::string>;

}  // namespace poremisu::test
