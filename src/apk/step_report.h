#pragma once

#include <functional>
#include <string_view>

namespace velmora::apk {

// Receives one line for the user per step of reading or merging a set, as the
// step happens.
using StepReport = std::function<void(std::string_view line)>;

}  // namespace velmora::apk
