#include "SenStateRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using namespace Velmor::StateLayout;

// A record filled byte by byte the way an engine writes it, independent of the host's byte order.
struct Record {
    std::array<unsigned char, kSize> bytes{};

    Record()
    {
        putU32(kMentrixAction, 1);
        putU32(kEngineField, 0xFFFFFFFFU);
    }
    void putU32(std::size_t offset, std::uint32_t v)
    {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<unsigned char>(v >> (8 * i));
        }
    }
    void putFloat(std::size_t offset, float f)
    {
        std::uint32_t v = 0;
        std::memcpy(&v, &f, 4);
        putU32(offset, v);
    }
    SenStateHandle handle() { return bytes.data(); }
};

TEST(SenState, NewRecordHoldsTheNeutralValues)
{
    SenStateHandle s = nxlStateCreate();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(nxlStateUpperFaceAction(s), 1);
    EXPECT_EQ(nxlStateLowerFaceAction(s), 1);
    EXPECT_EQ(nxlStateMentrixAction(s), 1);
    EXPECT_EQ(nxlStateUpperFacePower(s), 0.0F);
    EXPECT_EQ(nxlStateLowerFacePower(s), 0.0F);
    EXPECT_EQ(nxlStateMentrixPower(s), 0.0F);
    EXPECT_EQ(nxlStateBothEyesClosed(s) + nxlStateLeftEyeOnlyClosed(s) + nxlStateRightEyeOnlyClosed(s) +
                  nxlStateGazeLeft(s) + nxlStateGazeRight(s),
              0);
    // The record is exactly what an engine would send for a new state.
    Record expected;
    EXPECT_EQ(std::memcmp(s, expected.bytes.data(), kSize), 0);
    nxlStateFree(s);
}

TEST(SenState, AccessorsReadTheLittleEndianLayout)
{
    Record r;
    r.putFloat(kUpperFacePower, 0.25F);
    r.putFloat(kLowerFacePower, 0.5F);
    r.putFloat(kMentrixPower, 0.75F);
    r.putU32(kMentrixAction, 3); // not a single bit: returned as stored
    EXPECT_EQ(nxlStateUpperFacePower(r.handle()), 0.25F);
    EXPECT_EQ(nxlStateLowerFacePower(r.handle()), 0.5F);
    EXPECT_EQ(nxlStateMentrixPower(r.handle()), 0.75F);
    EXPECT_EQ(nxlStateMentrixAction(r.handle()), 3);
    r.putU32(kMentrixAction, 8192);
    EXPECT_EQ(nxlStateMentrixAction(r.handle()), 8192);
}

TEST(SenState, FaceCodeDecoding)
{
    const struct {
        std::uint32_t bits;
        int code;
    } cases[] = {
        {0x0, 1},      {0x1, 1},      {0x2, 2},      {0x20, 32},    {0x40, 64},      {0x60, 2048},
        {0x400, 1024}, {0x800, 2048}, {0xC00, 2048}, {0x180, 2048}, {0x1000, 0},     {0x3000, 2048},
        {0x2000, 1},   {0x81, 1},     {0x3, 2048},   {0x5, 1},      {0xFFFFE000, 1}, {0x1800, 2048},
    };
    for (const auto& c : cases) {
        Record r;
        r.putU32(kLowerFaceBits, c.bits);
        r.putU32(kUpperFaceBits, c.bits);
        EXPECT_EQ(nxlStateLowerFaceAction(r.handle()), c.code) << std::hex << c.bits;
        EXPECT_EQ(nxlStateUpperFaceAction(r.handle()), c.code) << std::hex << c.bits;
    }
}

TEST(SenState, EyeAndGazeTestsAreExact)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float left, right, gaze;
        int both, leftOnly, rightOnly, gazeLeft, gazeRight;
    } cases[] = {
        {1.0F, 1.0F, 0.0F, 1, 0, 0, 0, 0},    {1.0F, 0.0F, 0.0F, 0, 1, 0, 0, 0},    {0.0F, 1.0F, 0.0F, 0, 0, 1, 0, 0},
        {0.5F, 0.5F, 0.0F, 0, 0, 0, 0, 0},    {0.999F, 0.0F, -1.0F, 0, 0, 0, 1, 0}, {nan, 1.0F, 1.0F, 0, 0, 0, 0, 1},
        {1.0F, -0.0F, -0.99F, 0, 1, 0, 0, 0}, {0.0F, 0.0F, nan, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Record r;
        r.putFloat(kLeftEyeClosure, c.left);
        r.putFloat(kRightEyeClosure, c.right);
        r.putFloat(kHorizontalGaze, c.gaze);
        SCOPED_TRACE(testing::Message() << c.left << " " << c.right << " " << c.gaze);
        EXPECT_EQ(nxlStateBothEyesClosed(r.handle()), c.both);
        EXPECT_EQ(nxlStateLeftEyeOnlyClosed(r.handle()), c.leftOnly);
        EXPECT_EQ(nxlStateRightEyeOnlyClosed(r.handle()), c.rightOnly);
        EXPECT_EQ(nxlStateGazeLeft(r.handle()), c.gazeLeft);
        EXPECT_EQ(nxlStateGazeRight(r.handle()), c.gazeRight);
    }
}

TEST(SenState, CopyCarriesEveryByte)
{
    Record r;
    for (std::size_t i = 0; i < kSize; ++i) {
        r.bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    r.bytes[12] = 0;
    r.bytes[13] = '\n';
    r.bytes[14] = ' ';
    SenStateHandle s = nxlStateCreate();
    copyState(s, r.bytes.data());
    EXPECT_EQ(std::memcmp(s, r.bytes.data(), kSize), 0);
    nxlStateFree(s);
}

} // namespace
