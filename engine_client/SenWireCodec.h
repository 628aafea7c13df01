#pragma once
// Framing and archive coding of one message, as plain functions with no I/O: the client, the engine
// emulator, fuzzers and benchmarks all call these.
//
// A frame is an 8-byte header holding the body length in hexadecimal (right-aligned, space-padded)
// followed by the body, the text archive of one SenEventPackage.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "SenEvent.h"

namespace Velmor::SenWire {

inline constexpr std::size_t kHeaderSize = 8;
/// The archive version this library writes and understands.
inline constexpr unsigned int kArchiveVersion = 9;
/// The largest body a reader accepts; a state update is under 700 bytes.
inline constexpr std::size_t kMaxBodySize = std::size_t{1} << 20;

/// The body length named by a header: optional leading spaces, then hexadecimal digits in either
/// case up to the eighth byte. Anything else, a length of 0 or one above kMaxBodySize is nullopt.
std::optional<std::size_t> parseHeader(std::string_view header);

/// The lowercase, space-padded header of a body; nullopt when the length does not fit 8 digits.
std::optional<std::string> formatHeader(std::size_t bodyLength);

/// The archive body of a package carrying event, of kind event.category. Events of other categories
/// than 6, 7 and 8 give a package without an event. nullopt when the event's class does not match
/// its category.
std::optional<std::string> encodeBody(const SenEvent& event, unsigned int archiveVersion = kArchiveVersion);

/// Header and body of event in one string; nullopt as for encodeBody.
std::optional<std::string> encodeFrame(const SenEvent& event, unsigned int archiveVersion = kArchiveVersion);

struct DecodeResult {
    /// The received event; null for a package of another kind, which the reader skips.
    std::unique_ptr<SenEvent> event;
    std::int32_t kind = 0;
    /// The archive version the peer's body named, before versions above 9 were read as 9; 0 if unknown.
    unsigned int peerArchiveVersion = 0;
    /// Why the message was rejected; empty on success.
    std::string error;

    bool ok() const { return error.empty(); }
};

/// Decodes one body. Never throws: bad archives, short strings and exhausted memory all come back
/// as an error.
DecodeResult decodeBody(std::string_view body);

/// Decodes one whole frame: a valid header followed by exactly the body it names.
DecodeResult decodeFrame(std::string_view frame);

} // namespace Velmor::SenWire
