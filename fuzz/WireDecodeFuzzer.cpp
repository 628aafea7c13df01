// Feeds arbitrary bytes to the wire decoder twice: as one body, and as a stream of frames read the way the
// receive thread reads them. A decoded event must encode again and decode to the same fields.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SenEvent.h"
#include "SenWireCodec.h"

namespace {

using namespace Velmor;

// A broken property names its line before the fuzzer records the input.
void require(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "property broken at line %d\n", line);
        std::abort();
    }
}

void requireSame(const SenEngineEvent& x, const SenEngineEvent& y)
{
    require(x.type == y.type && x.value1 == y.value1 && x.value2 == y.value2);
    require(x.userId == y.userId && x.payload == y.payload);
}

void requireSame(const RequestEvent& x, const RequestEvent& y)
{
    require(x.code == y.code && x.text == y.text && x.userId == y.userId);
    require(x.profile == y.profile && x.params == y.params);
}

void requireSame(const ReplyEvent& x, const ReplyEvent& y)
{
    require(x.code == y.code && x.text == y.text && x.count == y.count);
    require(x.first == y.first && x.second == y.second && x.params == y.params && x.result == y.result);
}

template <class Event> bool compareAs(const SenEvent& a, const SenEvent& b)
{
    const auto* x = dynamic_cast<const Event*>(&a);
    if (x == nullptr) {
        return false;
    }
    const auto* y = dynamic_cast<const Event*>(&b);
    require(y != nullptr);
    requireSame(*x, *y);
    return true;
}

// Floats are left out: eight significant digits do not carry every float exactly.
void requireSameFields(const SenEvent& a, const SenEvent& b)
{
    require(a.category == b.category);
    require(compareAs<SenEngineEvent>(a, b) || compareAs<RequestEvent>(a, b) || compareAs<ReplyEvent>(a, b));
}

void checkBody(std::string_view body)
{
    const SenWire::DecodeResult decoded = SenWire::decodeBody(body);
    if (!decoded.ok()) {
        require(decoded.event == nullptr);
        return;
    }
    if (!decoded.event) {
        return;
    }
    const auto frame = SenWire::encodeFrame(*decoded.event);
    require(frame.has_value());
    const SenWire::DecodeResult again = SenWire::decodeFrame(*frame);
    require(again.ok() && again.event != nullptr);
    requireSameFields(*decoded.event, *again.event);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkBody(bytes);

    // The receiver's loop: a header, exactly the body it names, and on to the next; any error ends it.
    std::size_t offset = 0;
    while (bytes.size() - offset >= SenWire::kHeaderSize) {
        const auto length = SenWire::parseHeader(bytes.substr(offset, SenWire::kHeaderSize));
        if (!length) {
            break;
        }
        require(*length > 0 && *length <= SenWire::kMaxBodySize);
        offset += SenWire::kHeaderSize;
        if (bytes.size() - offset < *length) {
            break;
        }
        const std::string_view body = bytes.substr(offset, *length);
        offset += *length;
        const SenWire::DecodeResult decoded = SenWire::decodeBody(body);
        if (!decoded.ok()) {
            break;
        }
        checkBody(body);
    }
    return 0;
}
