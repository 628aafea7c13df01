#pragma once
// Byte offsets of the SenState record, shared with the engine, and the in-library helpers on it.

#include <cstddef>
#include <cstdint>

#include "nxl.h"

namespace Velmor::StateLayout {

inline constexpr std::size_t kSize = NXL_STATE_SIZE;
inline constexpr std::size_t kLeftEyeClosure = 0x00;
inline constexpr std::size_t kRightEyeClosure = 0x04;
inline constexpr std::size_t kHorizontalGaze = 0x08;
inline constexpr std::size_t kUpperFacePower = 0x10;
inline constexpr std::size_t kLowerFacePower = 0x14;
inline constexpr std::size_t kMentrixPower = 0x78;
inline constexpr std::size_t kUpperFaceBits = 0x80;
inline constexpr std::size_t kLowerFaceBits = 0x84;
inline constexpr std::size_t kMentrixAction = 0xEC;
inline constexpr std::size_t kEngineField = 0x164;

/// Little-endian field access on the raw record, independent of the host's byte order.
std::uint32_t readU32(const void* record, std::size_t offset);
void writeU32(void* record, std::size_t offset, std::uint32_t value);
float readFloat(const void* record, std::size_t offset);
void writeFloat(void* record, std::size_t offset, float value);

/// Face action code of a set of face bits: lowest set bit among 0..12, 2048 when the next bit is set too.
int decodeFaceAction(std::uint32_t bits);

/// Copies a whole record; a record is never partly written.
void copyState(SenStateHandle to, const void* from);

} // namespace Velmor::StateLayout
