#include "EmulatorScript.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "SenStateRecord.h"

namespace StateLayout = Velmor::StateLayout;

namespace {

constexpr std::uint32_t kMaxWaitMs = 24U * 3600U * 1000U;
constexpr double kMaxStreamHz = 100000.0;
constexpr double kMaxStreamSeconds = 24.0 * 3600.0;
constexpr std::uint32_t kDefaultWaitRequestMs = 10000;

struct MentrixName {
    std::string_view name;
    int code;
};

constexpr std::array<MentrixName, 14> kMentrixNames{{
    {"neutral", 1},
    {"push", 2},
    {"pull", 4},
    {"lift", 8},
    {"drop", 16},
    {"left", 32},
    {"right", 64},
    {"rotateLeft", 128},
    {"rotateRight", 256},
    {"rotateClockwise", 512},
    {"rotateCounterClockwise", 1024},
    {"rotateForward", 2048},
    {"rotateReverse", 4096},
    {"disappear", 8192},
}};

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitWords(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

// Decimal, or hexadecimal after 0x; the whole word must be the number.
bool parseUnsigned(std::string_view word, std::uint32_t& value)
{
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty()) {
        return false;
    }
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return ec == std::errc() && end == word.data() + word.size();
}

bool parseDouble(std::string_view word, double& value)
{
    if (word.empty()) {
        return false;
    }
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size();
}

bool parseFloat(std::string_view word, float& value)
{
    if (word.empty()) {
        return false;
    }
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size();
}

class LineParser
{
public:
    LineParser(int line, ScriptError& out) : lineNumber(line), error(out) {}

    bool fail(std::string message)
    {
        error.line = lineNumber;
        error.message = std::move(message);
        return false;
    }

    bool userId(std::string_view word, std::uint32_t& value)
    {
        return parseUnsigned(word, value) || fail("bad user id '" + std::string(word) + "'");
    }

    /// `noise` is null where FIELD=VALUE~SPREAD is not allowed.
    bool fields(const std::vector<std::string_view>& words, std::size_t first, StateBytes& state,
                std::vector<FieldNoise>* noise = nullptr)
    {
        state = newStateBytes();
        m_noise = noise;
        for (std::size_t i = first; i < words.size(); ++i) {
            std::string_view word = words[i];
            std::size_t eq = word.find('=');
            if (eq == std::string_view::npos) {
                return fail("expected FIELD=VALUE, got '" + std::string(word) + "'");
            }
            if (!field(word.substr(0, eq), word.substr(eq + 1), state)) {
                return false;
            }
        }
        return true;
    }

private:
    bool field(std::string_view name, std::string_view value, StateBytes& state)
    {
        struct FloatField {
            std::string_view name;
            std::size_t offset;
            float low;
            float high;
        };
        static constexpr std::array<FloatField, 6> floats{{
            {"leftEye", StateLayout::kLeftEyeClosure, 0.0F, 1.0F},
            {"rightEye", StateLayout::kRightEyeClosure, 0.0F, 1.0F},
            {"gaze", StateLayout::kHorizontalGaze, -1.0F, 1.0F},
            {"upperPower", StateLayout::kUpperFacePower, 0.0F, 1.0F},
            {"lowerPower", StateLayout::kLowerFacePower, 0.0F, 1.0F},
            {"mentrixPower", StateLayout::kMentrixPower, 0.0F, 1.0F},
        }};
        for (const FloatField& f : floats) {
            if (name == f.name) {
                const std::size_t tilde = value.find('~');
                float number = 0.0F;
                if (!parseFloat(value.substr(0, tilde), number)) {
                    return fail("bad number '" + std::string(value) + "' for " + std::string(name));
                }
                StateLayout::writeFloat(state.data(), f.offset, number);
                if (tilde != std::string_view::npos) {
                    float spread = 0.0F;
                    if (m_noise == nullptr) {
                        return fail("VALUE~SPREAD is for stream lines only");
                    }
                    if (!parseFloat(value.substr(tilde + 1), spread) || !(spread >= 0.0F) || spread > 2.0F) {
                        return fail("bad spread '" + std::string(value.substr(tilde + 1)) + "' for " +
                                    std::string(name) + " (0 to 2)");
                    }
                    m_noise->push_back({f.offset, number, spread, f.low, f.high});
                }
                return true;
            }
        }
        if (name == "upperBits" || name == "lowerBits") {
            std::uint32_t bits = 0;
            if (!parseUnsigned(value, bits)) {
                return fail("bad integer '" + std::string(value) + "' for " + std::string(name));
            }
            StateLayout::writeU32(
                state.data(), name == "upperBits" ? StateLayout::kUpperFaceBits : StateLayout::kLowerFaceBits, bits);
            return true;
        }
        if (name == "mentrix") {
            std::uint32_t code = 0;
            if (!parseUnsigned(value, code)) {
                int named = mentrixCodeFromName(value);
                if (named < 0) {
                    return fail("unknown Mentrix action '" + std::string(value) + "'");
                }
                code = static_cast<std::uint32_t>(named);
            }
            StateLayout::writeU32(state.data(), StateLayout::kMentrixAction, code);
            return true;
        }
        return fail("unknown field '" + std::string(name) + "'");
    }

    int lineNumber;
    ScriptError& error;
    std::vector<FieldNoise>* m_noise = nullptr;
};

// A well-mixed 64-bit hash (splitmix64), so that neighbouring indexes give unrelated draws.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

bool parseLine(std::string_view line, int lineNumber, std::vector<ScriptCommand>& commands, ScriptError& error)
{
    std::size_t hash = line.find('#');
    if (hash != std::string_view::npos) {
        line = line.substr(0, hash);
    }
    std::vector<std::string_view> words = splitWords(line);
    if (words.empty()) {
        return true;
    }

    LineParser p(lineNumber, error);
    ScriptCommand command;
    command.line = lineNumber;
    command.source = std::string(words.front().data(), words.back().data() + words.back().size());
    std::string_view verb = words[0];
    const std::size_t count = words.size();

    if (verb == "user") {
        if (count != 3 || (words[1] != "add" && words[1] != "remove")) {
            return p.fail("expected 'user add N' or 'user remove N'");
        }
        command.kind = words[1] == "add" ? ScriptCommand::Kind::UserAdd : ScriptCommand::Kind::UserRemove;
        if (!p.userId(words[2], command.userId)) {
            return false;
        }
    } else if (verb == "state") {
        if (count < 2) {
            return p.fail("expected 'state N FIELD=VALUE ...'");
        }
        command.kind = ScriptCommand::Kind::State;
        if (!p.userId(words[1], command.userId) || !p.fields(words, 2, command.state)) {
            return false;
        }
    } else if (verb == "stream") {
        if (count < 4) {
            return p.fail("expected 'stream N HZ SECONDS FIELD=VALUE ...'");
        }
        command.kind = ScriptCommand::Kind::Stream;
        if (!p.userId(words[1], command.userId)) {
            return false;
        }
        if (!parseDouble(words[2], command.rateHz) || !(command.rateHz > 0.0) || command.rateHz > kMaxStreamHz) {
            return p.fail("bad rate '" + std::string(words[2]) + "' (above 0, at most 100000 per second)");
        }
        if (!parseDouble(words[3], command.seconds) || !(command.seconds >= 0.0) ||
            command.seconds > kMaxStreamSeconds) {
            return p.fail("bad duration '" + std::string(words[3]) + "' (0 to 86400 seconds)");
        }
        if (!p.fields(words, 4, command.state, &command.noise)) {
            return false;
        }
    } else if (verb == "wait") {
        command.kind = ScriptCommand::Kind::Wait;
        if (count != 2 || !parseUnsigned(words[1], command.milliseconds) || command.milliseconds > kMaxWaitMs) {
            return p.fail("expected 'wait MS' with MS from 0 to 86400000");
        }
    } else if (verb == "waitrequest") {
        command.kind = ScriptCommand::Kind::WaitRequest;
        std::uint32_t code = 0;
        command.milliseconds = kDefaultWaitRequestMs;
        if (count < 2 || count > 3 || !parseUnsigned(words[1], code) || code > 0x7FFFFFFFU ||
            (count == 3 && (!parseUnsigned(words[2], command.milliseconds) || command.milliseconds > kMaxWaitMs))) {
            return p.fail("expected 'waitrequest CODE [TIMEOUT_MS]'");
        }
        command.requestCode = static_cast<int>(code);
    } else if (verb == "error") {
        command.kind = ScriptCommand::Kind::Error;
        std::size_t start = line.find("error") + 5;
        std::size_t first = line.find_first_not_of(" \t", start);
        std::size_t last = line.find_last_not_of(" \t\r");
        if (first != std::string_view::npos && last != std::string_view::npos && last >= first) {
            command.text = std::string(line.substr(first, last - first + 1));
        }
    } else if (verb == "close") {
        if (count != 1) {
            return p.fail("'close' takes no arguments");
        }
        command.kind = ScriptCommand::Kind::Close;
    } else {
        return p.fail("unknown command '" + std::string(verb) + "'");
    }
    commands.push_back(std::move(command));
    return true;
}

} // namespace

std::uint64_t ScriptCommand::streamCount() const
{
    // At least one state, so that "stream 1 10 0" still sends something.
    return std::max<std::uint64_t>(1U, static_cast<std::uint64_t>(std::llround(rateHz * seconds)));
}

StateBytes ScriptCommand::streamState(std::uint64_t index) const
{
    StateBytes bytes = state;
    for (std::size_t n = 0; n < noise.size(); ++n) {
        const FieldNoise& field = noise[n];
        const std::uint64_t seed = (static_cast<std::uint64_t>(line) << 40U) ^ (static_cast<std::uint64_t>(n) << 32U);
        // 53 random bits to a double in [0, 1), then to [-1, 1).
        const double unit = static_cast<double>(mix(seed ^ index) >> 11U) * 0x1.0p-53;
        const double drawn = static_cast<double>(field.value) + (unit * 2.0 - 1.0) * static_cast<double>(field.spread);
        const double held = std::clamp(drawn, static_cast<double>(field.low), static_cast<double>(field.high));
        StateLayout::writeFloat(bytes.data(), field.offset, static_cast<float>(held));
    }
    return bytes;
}

StateBytes newStateBytes()
{
    StateBytes bytes{};
    StateLayout::writeU32(bytes.data(), StateLayout::kMentrixAction, 1U);
    StateLayout::writeU32(bytes.data(), StateLayout::kEngineField, 0xFFFFFFFFU);
    return bytes;
}

int mentrixCodeFromName(std::string_view name)
{
    for (const MentrixName& entry : kMentrixNames) {
        if (equalNoCase(entry.name, name)) {
            return entry.code;
        }
    }
    return -1;
}

bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error)
{
    commands.clear();
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ++lineNumber;
        if (line.find('\0') != std::string_view::npos) {
            error = {lineNumber, "line holds a zero byte"};
            commands.clear();
            return false;
        }
        if (!parseLine(line, lineNumber, commands, error)) {
            commands.clear();
            return false;
        }
        pos = end + 1;
    }
    return true;
}
