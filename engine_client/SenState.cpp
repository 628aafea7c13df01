#include "SenStateRecord.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace Velmor::StateLayout {

namespace {

// Entry 12 is 0, not 4096: the engine never reports a face action at bit 12.
constexpr std::array<int, 13> kFaceCodes{1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 0};

const unsigned char* bytes(const void* record)
{
    return static_cast<const unsigned char*>(record);
}

} // namespace

std::uint32_t readU32(const void* record, std::size_t offset)
{
    const unsigned char* p = bytes(record) + offset;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8U |
           static_cast<std::uint32_t>(p[2]) << 16U | static_cast<std::uint32_t>(p[3]) << 24U;
}

void writeU32(void* record, std::size_t offset, std::uint32_t value)
{
    unsigned char* p = static_cast<unsigned char*>(record) + offset;
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8U * static_cast<unsigned>(i)));
    }
}

float readFloat(const void* record, std::size_t offset)
{
    return std::bit_cast<float>(readU32(record, offset));
}

void writeFloat(void* record, std::size_t offset, float value)
{
    writeU32(record, offset, std::bit_cast<std::uint32_t>(value));
}

int decodeFaceAction(std::uint32_t bits)
{
    for (unsigned i = 0; i < kFaceCodes.size(); ++i) {
        if ((bits & (1U << i)) != 0) {
            if ((bits & (1U << (i + 1))) != 0) {
                return kFaceCodes[11];
            }
            return kFaceCodes[i];
        }
    }
    return kFaceCodes[0];
}

void copyState(SenStateHandle to, const void* from)
{
    std::memcpy(to, from, kSize);
}

} // namespace Velmor::StateLayout

using namespace Velmor::StateLayout;

extern "C" {

SenStateHandle nxlStateCreate(void)
{
    // Out of memory gives a null handle rather than an exception across the C boundary.
    void* record = std::calloc(1, kSize);
    if (record == nullptr) {
        return nullptr;
    }
    writeU32(record, kMentrixAction, 1U);
    writeU32(record, kEngineField, 0xFFFFFFFFU);
    return record;
}

void nxlStateFree(SenStateHandle state)
{
    std::free(state);
}

int nxlStateUpperFaceAction(SenStateHandle state)
{
    return decodeFaceAction(readU32(state, kUpperFaceBits));
}

float nxlStateUpperFacePower(SenStateHandle state)
{
    return readFloat(state, kUpperFacePower);
}

int nxlStateLowerFaceAction(SenStateHandle state)
{
    return decodeFaceAction(readU32(state, kLowerFaceBits));
}

float nxlStateLowerFacePower(SenStateHandle state)
{
    return readFloat(state, kLowerFacePower);
}

int nxlStateBothEyesClosed(SenStateHandle state)
{
    return readFloat(state, kLeftEyeClosure) == 1.0F && readFloat(state, kRightEyeClosure) == 1.0F ? 1 : 0;
}

int nxlStateLeftEyeOnlyClosed(SenStateHandle state)
{
    return readFloat(state, kLeftEyeClosure) == 1.0F && readFloat(state, kRightEyeClosure) == 0.0F ? 1 : 0;
}

int nxlStateRightEyeOnlyClosed(SenStateHandle state)
{
    return readFloat(state, kLeftEyeClosure) == 0.0F && readFloat(state, kRightEyeClosure) == 1.0F ? 1 : 0;
}

int nxlStateGazeLeft(SenStateHandle state)
{
    return readFloat(state, kHorizontalGaze) == -1.0F ? 1 : 0;
}

int nxlStateGazeRight(SenStateHandle state)
{
    return readFloat(state, kHorizontalGaze) == 1.0F ? 1 : 0;
}

int nxlStateMentrixAction(SenStateHandle state)
{
    return static_cast<int>(readU32(state, kMentrixAction));
}

float nxlStateMentrixPower(SenStateHandle state)
{
    return readFloat(state, kMentrixPower);
}

} // extern "C"
