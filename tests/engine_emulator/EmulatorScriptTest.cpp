#include "EmulatorScript.h"

#include <gtest/gtest.h>

#include "SenStateRecord.h"

#include <algorithm>
#include <cstring>

namespace StateLayout = Velmor::StateLayout;
using namespace std::string_view_literals;

namespace {

std::vector<ScriptCommand> parseOk(std::string_view text)
{
    std::vector<ScriptCommand> commands;
    ScriptError error;
    EXPECT_TRUE(parseScript(text, commands, error)) << "line " << error.line << ": " << error.message;
    return commands;
}

} // namespace

TEST(EmulatorScript, ParsesEveryCommandWithLineNumbers)
{
    auto commands = parseOk("# a scene\n"
                            "user add 1\n"
                            "\n"
                            "waitrequest 7 2500   # the hardware question\n"
                            "state 0x1001 leftEye=1 rightEye=1\r\n"
                            "wait 250\n"
                            "stream 1 50 0.5 mentrix=push mentrixPower=0.75\n"
                            "error link broken\n"
                            "user remove 1\n"
                            "close\n");
    ASSERT_EQ(commands.size(), 8U);
    using K = ScriptCommand::Kind;
    EXPECT_EQ(commands[0].kind, K::UserAdd);
    EXPECT_EQ(commands[0].userId, 1U);
    EXPECT_EQ(commands[0].line, 2);
    EXPECT_EQ(commands[1].kind, K::WaitRequest);
    EXPECT_EQ(commands[1].requestCode, 7);
    EXPECT_EQ(commands[1].milliseconds, 2500U);
    EXPECT_EQ(commands[1].source, "waitrequest 7 2500");
    EXPECT_EQ(commands[2].kind, K::State);
    EXPECT_EQ(commands[2].userId, 0x1001U);
    EXPECT_EQ(commands[2].line, 5);
    EXPECT_EQ(commands[2].source, "state 0x1001 leftEye=1 rightEye=1");
    EXPECT_EQ(commands[3].kind, K::Wait);
    EXPECT_EQ(commands[3].milliseconds, 250U);
    EXPECT_EQ(commands[4].kind, K::Stream);
    EXPECT_EQ(commands[4].streamCount(), 25U);
    EXPECT_EQ(commands[5].kind, K::Error);
    EXPECT_EQ(commands[5].text, "link broken");
    EXPECT_EQ(commands[6].kind, K::UserRemove);
    EXPECT_EQ(commands[7].kind, K::Close);
}

TEST(EmulatorScript, StateFieldsLandAtTheirOffsetsAndOthersKeepNewRecordValues)
{
    auto commands = parseOk("state 2 leftEye=1 rightEye=0.5 gaze=-1 upperPower=0.25 lowerPower=0.8 "
                            "mentrixPower=0.6 upperBits=0x20 lowerBits=128 mentrix=rotateCounterClockwise\n"
                            "state 3\n"
                            "state 4 mentrix=0x2000\n");
    ASSERT_EQ(commands.size(), 3U);
    const unsigned char* s = commands[0].state.data();
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kLeftEyeClosure), 1.0F);
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kRightEyeClosure), 0.5F);
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kHorizontalGaze), -1.0F);
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kUpperFacePower), 0.25F);
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kLowerFacePower), 0.8F);
    EXPECT_EQ(StateLayout::readFloat(s, StateLayout::kMentrixPower), 0.6F);
    EXPECT_EQ(StateLayout::readU32(s, StateLayout::kUpperFaceBits), 0x20U);
    EXPECT_EQ(StateLayout::readU32(s, StateLayout::kLowerFaceBits), 128U);
    EXPECT_EQ(StateLayout::readU32(s, StateLayout::kMentrixAction), 1024U);
    EXPECT_EQ(StateLayout::readU32(s, StateLayout::kEngineField), 0xFFFFFFFFU);

    // A bare state is byte for byte the record a new client would make.
    SenStateHandle fresh = nxlStateCreate();
    EXPECT_EQ(std::memcmp(commands[1].state.data(), fresh, NXL_STATE_SIZE), 0);
    nxlStateFree(fresh);
    EXPECT_EQ(nxlStateMentrixAction(const_cast<unsigned char*>(commands[2].state.data())), 8192);
}

TEST(EmulatorScript, MentrixNamesIgnoreLetterCase)
{
    EXPECT_EQ(mentrixCodeFromName("push"), 2);
    EXPECT_EQ(mentrixCodeFromName("ROTATELEFT"), 128);
    EXPECT_EQ(mentrixCodeFromName("disappear"), 8192);
    EXPECT_EQ(mentrixCodeFromName("shove"), -1);
}

TEST(EmulatorScript, BadLinesAreReportedWithTheirNumberAndNothingIsKept)
{
    struct Case {
        std::string_view script;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"user add 1\njump 3\n", 2, "unknown command 'jump'"},
        {"user add\n", 1, "expected 'user add N'"},
        {"user delete 1\n", 1, "expected 'user add N'"},
        {"user add -1\n", 1, "bad user id"},
        {"user add 0x100000000\n", 1, "bad user id"},
        {"\n\nstate 1 leftEye\n", 3, "expected FIELD=VALUE"},
        {"state 1 leftEye=open\n", 1, "bad number 'open' for leftEye"},
        {"state 1 nose=1\n", 1, "unknown field 'nose'"},
        {"state 1 upperBits=0x\n", 1, "bad integer"},
        {"state 1 lowerBits=1.5\n", 1, "bad integer"},
        {"state 1 mentrix=shove\n", 1, "unknown Mentrix action 'shove'"},
        {"state\n", 1, "expected 'state N"},
        {"wait\n", 1, "expected 'wait MS'"},
        {"wait -5\n", 1, "expected 'wait MS'"},
        {"wait 10 20\n", 1, "expected 'wait MS'"},
        {"stream 1 0 1\n", 1, "bad rate"},
        {"stream 1 50 -1\n", 1, "bad duration"},
        {"stream 1 50\n", 1, "expected 'stream"},
        {"waitrequest seven\n", 1, "expected 'waitrequest"},
        {"close now\n", 1, "'close' takes no arguments"},
        {"state 1\0x\n"sv, 1, "zero byte"},
        {"state 1 lowerPower=0.5~0.1\n", 1, "for stream lines only"},
        {"stream 1 50 1 lowerPower=0.5~\n", 1, "bad spread"},
        {"stream 1 50 1 lowerPower=0.5~-0.1\n", 1, "bad spread"},
        {"stream 1 50 1 lowerPower=~0.1\n", 1, "bad number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<ScriptCommand> commands;
        ScriptError error;
        EXPECT_FALSE(parseScript(c.script, commands, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
        EXPECT_TRUE(commands.empty());
    }
}

TEST(EmulatorScript, NoisyStreamFieldsStayInTheirSpreadAndRangeAndPlayTheSameEveryTime)
{
    const char* const line = "stream 0 50 4 lowerBits=0x80 lowerPower=0.5~0.2 gaze=0.9~0.5 mentrixPower=0.3\n";
    const auto commands = parseOk(line);
    const auto again = parseOk(line);
    ASSERT_EQ(commands.size(), 1U);
    const ScriptCommand& stream = commands[0];
    ASSERT_EQ(stream.noise.size(), 2U);
    float lowest = 1.0F;
    float highest = 0.0F;
    bool gazeHeld = false;
    for (std::uint64_t i = 0; i < stream.streamCount(); ++i) {
        const StateBytes state = stream.streamState(i);
        const float power = StateLayout::readFloat(state.data(), StateLayout::kLowerFacePower);
        const float gaze = StateLayout::readFloat(state.data(), StateLayout::kHorizontalGaze);
        lowest = std::min(lowest, power);
        highest = std::max(highest, power);
        ASSERT_GE(power, 0.3F - 1e-6F);
        ASSERT_LE(power, 0.7F + 1e-6F);
        ASSERT_GE(gaze, 0.4F - 1e-6F);
        ASSERT_LE(gaze, 1.0F) << "held to the field's range";
        gazeHeld = gazeHeld || gaze == 1.0F;
        EXPECT_EQ(StateLayout::readFloat(state.data(), StateLayout::kMentrixPower), 0.3F);
        EXPECT_EQ(StateLayout::readU32(state.data(), StateLayout::kLowerFaceBits), 0x80U);
        EXPECT_EQ(state, again.front().streamState(i));
    }
    // 200 draws spread over most of the interval, and some were held at the edge of the range.
    EXPECT_LT(lowest, 0.35F);
    EXPECT_GT(highest, 0.65F);
    EXPECT_TRUE(gazeHeld);
}
