#include "SenWireCodec.h"

#include <charconv>
#include <exception>
#include <istream>
#include <locale>
#include <new>
#include <sstream>
#include <streambuf>

#include "SenEventPackage.h"
#include "SenWireArchive.h"

namespace Velmor::SenWire {

namespace {

// Reads a body in place. The buffer is never written to: the archive only reads and skips.
class ViewBuffer : public std::streambuf
{
public:
    explicit ViewBuffer(std::string_view bytes)
    {
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct VersionToken {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::optional<unsigned int> value;
};

// The archive version is the third space-separated token of the body.
VersionToken findVersionToken(std::string_view body)
{
    VersionToken token;
    const std::size_t first = body.find(' ');
    if (first == std::string_view::npos) {
        return token;
    }
    const std::size_t second = body.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return token;
    }
    token.offset = second + 1;
    const std::size_t end = std::min(body.find(' ', token.offset), body.size());
    token.length = end - token.offset;
    unsigned int value = 0;
    const char* begin = body.data() + token.offset;
    const auto [ptr, ec] = std::from_chars(begin, begin + token.length, value);
    if (ec == std::errc() && ptr == begin + token.length && token.length > 0) {
        token.value = value;
    }
    return token;
}

} // namespace

std::optional<std::size_t> parseHeader(std::string_view header)
{
    if (header.size() != kHeaderSize) {
        return std::nullopt;
    }
    std::size_t i = 0;
    while (i < kHeaderSize && header[i] == ' ') {
        ++i;
    }
    if (i == kHeaderSize) {
        return std::nullopt;
    }
    std::size_t length = 0;
    for (; i < kHeaderSize; ++i) {
        const int digit = hexValue(header[i]);
        if (digit < 0) {
            return std::nullopt;
        }
        length = length * 16 + static_cast<std::size_t>(digit);
    }
    if (length == 0 || length > kMaxBodySize) {
        return std::nullopt;
    }
    return length;
}

std::optional<std::string> formatHeader(std::size_t bodyLength)
{
    if (bodyLength > 0xFFFFFFFFU) {
        return std::nullopt;
    }
    char digits[kHeaderSize];
    const auto [end, ec] = std::to_chars(digits, digits + kHeaderSize, bodyLength, 16);
    if (ec != std::errc()) {
        return std::nullopt;
    }
    const auto used = static_cast<std::size_t>(end - digits);
    std::string header(kHeaderSize - used, ' ');
    header.append(digits, used);
    return header;
}

std::optional<std::string> encodeBody(const SenEvent& event, unsigned int archiveVersion)
{
    SenEventPackage package;
    package.kind = event.category;
    package.event = &event;
    std::ostringstream out;
    out.imbue(std::locale::classic());
    try {
        SenTextOArchive archive(out, archiveVersion);
        archive << package;
        // Taken before the archive closes, since closing adds a line break the wire does not carry.
        return out.str();
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::optional<std::string> encodeFrame(const SenEvent& event, unsigned int archiveVersion)
{
    std::optional<std::string> body = encodeBody(event, archiveVersion);
    if (!body) {
        return std::nullopt;
    }
    std::optional<std::string> frame = formatHeader(body->size());
    if (!frame) {
        return std::nullopt;
    }
    frame->append(*body);
    return frame;
}

DecodeResult decodeBody(std::string_view body)
{
    DecodeResult result;
    try {
        // Newer peers are read as version 9; older ones as they say.
        std::string patched;
        const VersionToken version = findVersionToken(body);
        if (version.value) {
            result.peerArchiveVersion = *version.value;
            if (*version.value > kArchiveVersion) {
                patched.reserve(body.size());
                patched.append(body.substr(0, version.offset));
                patched.append(std::to_string(kArchiveVersion));
                patched.append(body.substr(version.offset + version.length));
                body = patched;
            }
        }
        ViewBuffer buffer(body);
        std::istream in(&buffer);
        in.imbue(std::locale::classic());
        SenEventPackage package;
        {
            SenTextIArchive archive(in);
            archive >> package;
        }
        result.kind = package.kind;
        if (auto* engineEvent = dynamic_cast<SenEngineEvent*>(package.loaded.get());
            engineEvent != nullptr && engineEvent->type == SenStateUpdated &&
            engineEvent->payload.size() < kSenStatePayloadSize) {
            result.error = "state update carries " + std::to_string(engineEvent->payload.size()) + " bytes";
            return result;
        }
        result.event = std::move(package.loaded);
    } catch (const std::exception& e) {
        result.event.reset();
        result.error = e.what();
        if (result.error.empty()) {
            result.error = "malformed message";
        }
    } catch (...) {
        result.event.reset();
        result.error = "malformed message";
    }
    return result;
}

DecodeResult decodeFrame(std::string_view frame)
{
    const std::optional<std::size_t> length =
        frame.size() >= kHeaderSize ? parseHeader(frame.substr(0, kHeaderSize)) : std::nullopt;
    if (!length) {
        DecodeResult result;
        result.error = "bad frame header";
        return result;
    }
    if (frame.size() - kHeaderSize != *length) {
        DecodeResult result;
        result.error = "frame length does not match its header";
        return result;
    }
    return decodeBody(frame.substr(kHeaderSize));
}

} // namespace Velmor::SenWire
