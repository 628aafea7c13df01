#include "SenWireCodec.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <boost/archive/text_oarchive.hpp>

#include "SenEventPackage.h"
#include "SenStateRecord.h"

using namespace Velmor;
using namespace std::string_literals;

namespace {

const std::string kAnnouncementBody = "22 serialization::archive 9 0 0 6 0 0 0 0 6 4 13 version-3.5.0 0 0 0 0 0 "
                                      "4294967295 4294967295 4294967295";

// A record whose bytes include spaces, line breaks and zeros, which must pass through untouched.
std::string awkwardRecord()
{
    std::string record(kSenStatePayloadSize, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<char>("a \n\r\0 9\xff"[i % 8]);
    }
    return record;
}

std::string stateBody(const std::string& record, const char* archiveVersion = "9")
{
    return "22 serialization::archive "s + archiveVersion + " 0 0 8 0 1 0 0 8 64 0 0 632 " + record + " 0";
}

RequestEvent announcement()
{
    return RequestEvent(4, 0, "version-3.5.0");
}

// What a peer built on stock Boost.Serialization sends: its own archive version and scientific floats.
std::string stockBoostBody(const SenEvent& event)
{
    SenEventPackage package;
    package.kind = event.category;
    package.event = &event;
    std::ostringstream out;
    {
        boost::archive::text_oarchive archive(out, boost::archive::no_codecvt);
        archive << package;
    }
    std::string text = out.str();
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

} // namespace

TEST(SenWireCodec, VersionAnnouncementIsByteExact)
{
    const auto frame = SenWire::encodeFrame(announcement());
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, "      69" + kAnnouncementBody);
    EXPECT_EQ(kAnnouncementBody.size(), 105U);
}

TEST(SenWireCodec, StateUpdateIsByteExactAndRoundTrips)
{
    const std::string record = awkwardRecord();
    SenEngineEvent event;
    event.setState(0, record.data());
    const auto frame = SenWire::encodeFrame(event);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, "     2b1" + stateBody(record));
    EXPECT_EQ(frame->size(), 8U + 689U);

    const SenWire::DecodeResult decoded = SenWire::decodeFrame(*frame);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.kind, SenEngineCategory);
    EXPECT_EQ(decoded.peerArchiveVersion, 9U);
    const auto& received = dynamic_cast<const SenEngineEvent&>(*decoded.event);
    EXPECT_EQ(received.type, SenStateUpdated);
    EXPECT_EQ(received.userId, 0U);
    EXPECT_EQ(received.payload, record);
}

TEST(SenWireCodec, ReadsWhatStockBoostWrites)
{
    ReplyEvent reply(7, 0);
    reply.text = "dongleVersion:5,headsetVersion:1";
    reply.value = 1234.5677F;
    reply.count = 4000000000U;
    reply.first = -3;
    reply.second = 9;
    reply.params = {true, 1, 2, 3};
    const std::string body = stockBoostBody(reply);
    ASSERT_EQ(body.rfind("22 serialization::archive 18 ", 0), 0U) << body;
    ASSERT_NE(body.find("e+03"), std::string::npos) << body;

    const SenWire::DecodeResult decoded = SenWire::decodeBody(body);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.peerArchiveVersion, 18U);
    const auto& received = dynamic_cast<const ReplyEvent&>(*decoded.event);
    EXPECT_EQ(received.code, 7);
    EXPECT_EQ(received.text, reply.text);
    EXPECT_EQ(received.value, reply.value);
    EXPECT_EQ(received.count, reply.count);
    EXPECT_EQ(received.first, -3);
    EXPECT_EQ(received.second, 9);
    EXPECT_EQ(received.params, reply.params);
    EXPECT_EQ(received.result, 0);

    SenEngineEvent state;
    state.setState(2, awkwardRecord().data());
    const SenWire::DecodeResult decodedState = SenWire::decodeBody(stockBoostBody(state));
    ASSERT_TRUE(decodedState.ok()) << decodedState.error;
    EXPECT_EQ(dynamic_cast<const SenEngineEvent&>(*decodedState.event).payload, awkwardRecord());
}

TEST(SenWireCodec, FloatsUseEightSignificantDigitsInDefaultNotation)
{
    RequestEvent request(3, 1, "mentrix-trainingAction");
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0F, " 0 "}, {0.5F, " 0.5 "}, {1.0F / 3.0F, " 0.33333334 "}, {1e-7F, " 1e-07 "}, {-2.5e9F, " -2.5e+09 "}};
    for (const auto& c : cases) {
        request.value = c.value;
        const auto body = SenWire::encodeBody(request);
        ASSERT_TRUE(body);
        EXPECT_NE(body->find(" 22 mentrix-trainingAction 1"s + c.text), std::string::npos) << *body;
        const auto decoded = SenWire::decodeBody(*body);
        ASSERT_TRUE(decoded.ok()) << decoded.error;
        EXPECT_FLOAT_EQ(dynamic_cast<const RequestEvent&>(*decoded.event).value, c.value);
    }
}

TEST(SenWireCodec, ArchiveVersionsOfOtherPeers)
{
    const std::string record = awkwardRecord();
    for (const char* version : {"10", "18", "19"}) {
        const auto decoded = SenWire::decodeBody(stateBody(record, version));
        ASSERT_TRUE(decoded.ok()) << version << ": " << decoded.error;
        EXPECT_EQ(decoded.peerArchiveVersion, static_cast<unsigned>(std::stoi(version)));
        EXPECT_EQ(dynamic_cast<const SenEngineEvent&>(*decoded.event).payload, record);
    }
    for (int version = 1; version <= 20; ++version) {
        const auto decoded = SenWire::decodeBody(stateBody(record, std::to_string(version).c_str()));
        EXPECT_TRUE(decoded.ok()) << version << ": " << decoded.error;
    }
    const auto older = SenWire::decodeBody(stateBody(record, "7"));
    ASSERT_TRUE(older.ok()) << older.error;
    EXPECT_EQ(older.peerArchiveVersion, 7U);

    const auto body = SenWire::encodeBody(announcement(), 7);
    ASSERT_TRUE(body);
    EXPECT_EQ(*body, "22 serialization::archive 7" + kAnnouncementBody.substr(27));
}

TEST(SenWireCodec, HeaderParsingIsStrict)
{
    const struct {
        const char* header;
        std::optional<std::size_t> length;
    } cases[] = {
        {"     2b1", 689}, {"     2B1", 689}, {"0000002a", 42},   {"      10", 16}, {"  100000", 1U << 20U},
        {"  100001", {}},  {"ffffffff", {}},  {"       0", {}},   {"        ", {}}, {"-0000001", {}},
        {"0x00002a", {}},  {"002a zzz", {}},  {"   2a   ", {}},   {"  +2a   ", {}}, {"\t000002a", {}},
        {"0000002g", {}},  {"2a", {}},        {"000000002a", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SenWire::parseHeader(c.header), c.length) << '"' << c.header << '"';
    }
    EXPECT_EQ(SenWire::parseHeader("  \0002a  "s.substr(0, 8)), std::nullopt);

    EXPECT_EQ(SenWire::formatHeader(689), "     2b1");
    EXPECT_EQ(SenWire::formatHeader(16), "      10");
    EXPECT_EQ(SenWire::formatHeader(0xFFFFFFFFU), "ffffffff");
    EXPECT_EQ(SenWire::formatHeader(0x100000000U), std::nullopt);
}

TEST(SenWireCodec, FrameMustHoldExactlyItsBody)
{
    const std::string frame = *SenWire::encodeFrame(announcement());
    EXPECT_TRUE(SenWire::decodeFrame(frame).ok());
    EXPECT_FALSE(SenWire::decodeFrame(frame.substr(0, frame.size() - 1)).ok());
    EXPECT_FALSE(SenWire::decodeFrame(frame + " ").ok());
    EXPECT_FALSE(SenWire::decodeFrame(frame.substr(0, 5)).ok());
}

TEST(SenWireCodec, StringLengthsAreBoundedByTheBody)
{
    // Each claims a huge string inside a short body; none may allocate it.
    for (const char* length :
         {"1000000000", "4611686018427387904", "18446744073709551615", "-1", "99999999999999999999999", "6"}) {
        const std::string body = "22 serialization::archive 9 0 0 8 0 1 0 0 8 1 0 0 "s + length + " abc 0";
        const auto decoded = SenWire::decodeBody(body);
        EXPECT_FALSE(decoded.ok()) << length;
        EXPECT_EQ(decoded.event, nullptr);
    }
}

TEST(SenWireCodec, ClassVersionsAndKinds)
{
    // SenEngineEvent version 0 has no value2.
    auto decoded = SenWire::decodeBody("22 serialization::archive 9 0 0 8 0 0 0 0 8 16 5 3");
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    auto* added = dynamic_cast<SenEngineEvent*>(decoded.event.get());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->type, SenUserAdded);
    EXPECT_EQ(added->value1, 5);
    EXPECT_EQ(added->userId, 3U);

    // A newer SenEngineEvent, or another class at a version other than 0, contributes no fields.
    decoded = SenWire::decodeBody("22 serialization::archive 9 0 0 8 0 2 7 7 7 7");
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(dynamic_cast<SenEngineEvent&>(*decoded.event).type, 0);
    decoded = SenWire::decodeBody("22 serialization::archive 9 0 0 7 0 1 7 7 7");
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(dynamic_cast<ReplyEvent&>(*decoded.event).code, 0);
    decoded = SenWire::decodeBody("22 serialization::archive 9 0 1 8 0 1 0 0 8 16 0 0 3");
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.event, nullptr);

    // The kind decides the class, and with it the category.
    decoded = SenWire::decodeBody("22 serialization::archive 9 0 0 8 0 1 0 0 7 16 0 0 3");
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.event->category, SenEngineCategory);

    // Packages of other kinds carry nothing and are skipped by the reader.
    for (const char* kind : {"9", "0", "-4", "123"}) {
        decoded = SenWire::decodeBody("22 serialization::archive 9 0 0 "s + kind);
        ASSERT_TRUE(decoded.ok()) << kind << ": " << decoded.error;
        EXPECT_EQ(decoded.event, nullptr);
        EXPECT_EQ(decoded.kind, std::stoi(kind));
    }
    const auto quit = SenWire::encodeBody(QuitSenThreadEvent());
    EXPECT_EQ(quit, "22 serialization::archive 9 0 0 9");

    // Request 1 carries its profile; the text payload follows the type.
    RequestEvent profileRequest(1, 2);
    profileRequest.profile = "profile bytes\n\0"s;
    decoded = SenWire::decodeBody(*SenWire::encodeBody(profileRequest));
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(dynamic_cast<RequestEvent&>(*decoded.event).profile, profileRequest.profile);
    SenEngineEvent removed(SenUserRemoved, 4, "bye");
    EXPECT_EQ(SenWire::encodeBody(removed), "22 serialization::archive 9 0 0 8 0 1 0 0 8 32 0 0 3 bye 4");
}

TEST(SenWireCodec, MalformedBodiesAreErrors)
{
    const std::string record = awkwardRecord();
    const std::string cases[] = {
        "",
        "22",
        "22 serialization::archivX 9 0 0 8",
        "21 serialization::archive 9 0 0 8",
        "22 serialization::archive x 0 0 8",
        "22 serialization::archive 9 0 0 x",
        "22 serialization::archive 9 0 0 8 0 1 0 0 8 64 0 0 10 0123456789 0", // a state must hold a record
        stateBody(record).substr(0, 600),
        stateBody(record).substr(0, stateBody(record).size() - 2),
        "22 serialization::archive 9 0 0 7 0 0 0 0 7 7 3 abc 0 0 0 0 0 0 2 1 1 1 0", // bool of 2
    };
    for (const std::string& body : cases) {
        const auto decoded = SenWire::decodeBody(body);
        EXPECT_FALSE(decoded.ok()) << body.substr(0, 60);
        EXPECT_EQ(decoded.event, nullptr);
    }
    // A class that is not what its category says cannot be written.
    EXPECT_EQ(SenWire::encodeBody(SenEvent(SenEngineCategory)), std::nullopt);
}

TEST(SenWireCodec, MutatedMessagesNeverCrash)
{
    // Damaged copies of real messages: every one must come back as an event or as an error.
    ReplyEvent reply(7, 0);
    reply.text = "dongleVersion:5,headsetVersion:1";
    SenEngineEvent state;
    state.setState(1, awkwardRecord().data());
    const std::string seeds[] = {*SenWire::encodeBody(reply), *SenWire::encodeBody(state),
                                 *SenWire::encodeBody(announcement())};
    const char alphabet[] = "0123456789 -+e.x\n9\xff";
    std::uint32_t random = 12345;
    auto next = [&] {
        random = random * 1103515245U + 12345U;
        return random >> 8U;
    };
    int decodedCount = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string body = seeds[static_cast<std::size_t>(round) % 3];
        const std::uint32_t edits = 1 + next() % 3;
        for (std::uint32_t e = 0; e < edits; ++e) {
            const std::size_t at = next() % body.size();
            switch (next() % 3) {
            case 0:
                body[at] = alphabet[next() % (sizeof(alphabet) - 1)];
                break;
            case 1:
                body.erase(at, 1 + next() % 4);
                break;
            default:
                body.insert(at, 1, alphabet[next() % (sizeof(alphabet) - 1)]);
                break;
            }
            if (body.empty()) {
                body = "2";
            }
        }
        const auto decoded = SenWire::decodeBody(body);
        EXPECT_EQ(decoded.ok(), decoded.error.empty());
        decodedCount += decoded.ok() ? 1 : 0;
    }
    EXPECT_GT(decodedCount, 0);
}
