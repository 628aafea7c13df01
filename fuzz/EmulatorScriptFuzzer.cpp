// The emulator's script parser on arbitrary text: it must either accept every line or name the first bad
// one, and never produce a command it could not carry out.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "EmulatorScript.h"

namespace {

// A broken property names its line before the fuzzer records the input.
void require(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "property broken at line %d\n", line);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptCommand> commands;
    ScriptError error;
    if (!parseScript(text, commands, error)) {
        require(commands.empty());
        require(error.line >= 1 && !error.message.empty());
        return 0;
    }
    int previousLine = 0;
    for (const ScriptCommand& command : commands) {
        require(command.line > previousLine);
        previousLine = command.line;
        if (command.kind == ScriptCommand::Kind::Stream) {
            require(command.rateHz > 0.0 && command.seconds >= 0.0);
            // A stream runs for at most a day at the highest rate.
            require(command.streamCount() <= 100000ULL * 24 * 3600 + 1);
        }
    }
    return 0;
}
