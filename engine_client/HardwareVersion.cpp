#include "HardwareVersion.h"

#include <vector>

namespace Velmor {

namespace {

bool isSeparator(char c)
{
    return c == ':' || c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string_view> tokens(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSeparator(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !isSeparator(text[i])) {
            ++i;
        }
        if (i > start) {
            result.push_back(text.substr(start, i - start));
        }
    }
    return result;
}

// Leading digits with an optional sign, like atoi, but kept modulo 2^16 as it goes so that an
// over-long number cannot overflow: the result equals the 16-bit truncation of the full value.
std::uint16_t leadingNumber(std::string_view token)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = (value * 10 + static_cast<std::uint32_t>(token[i] - '0')) & 0xFFFFu;
    }
    return static_cast<std::uint16_t>(negative ? (0x10000u - value) & 0xFFFFu : value);
}

} // namespace

std::uint32_t parseHardwareVersion(std::string_view text)
{
    const std::vector<std::string_view> parts = tokens(text);
    if (parts.empty() || parts.size() % 2 != 0) {
        return 0;
    }
    std::uint16_t dongle = 0;
    std::uint16_t headset = 0;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        if (parts[i] == "dongleVersion") {
            dongle = leadingNumber(parts[i + 1]);
        } else if (parts[i] == "headsetVersion") {
            headset = leadingNumber(parts[i + 1]);
        }
    }
    return (static_cast<std::uint32_t>(headset) << 16) | dongle;
}

} // namespace Velmor
