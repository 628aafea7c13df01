#pragma once

#include <cstdint>
#include <string_view>

namespace Velmor {

/// Reads the engine's hardware text, pairs such as "dongleVersion:5,headsetVersion:1", into
/// headset number * 65536 + dongle number. An empty text or an odd number of tokens gives 0.
std::uint32_t parseHardwareVersion(std::string_view text);

} // namespace Velmor
