#pragma once
// The stand-in engine's script language: one command a line, parsed completely before anything is sent.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nxl.h"

/// The raw bytes of one state record, laid out as the engine sends it.
using StateBytes = std::array<unsigned char, NXL_STATE_SIZE>;

struct ScriptCommand {
    enum class Kind {
        UserAdd,     ///< user add N
        UserRemove,  ///< user remove N
        State,       ///< state N FIELD=VALUE ...
        Wait,        ///< wait MS
        Stream,      ///< stream N HZ SECONDS FIELD=VALUE ...
        Error,       ///< error TEXT
        Close,       ///< close
        WaitRequest, ///< waitrequest CODE [TIMEOUT_MS]
    };

    Kind kind = Kind::Close;
    int line = 0;
    std::uint32_t userId = 0;
    std::uint32_t milliseconds = 0; ///< wait time, or the time limit of waitrequest
    double rateHz = 0.0;
    double seconds = 0.0;
    int requestCode = 0;
    std::string text;
    std::string source; ///< the line as written, without its comment
    StateBytes state{};

    /// Number of states a stream sends, one every 1/HZ seconds starting at once.
    std::uint64_t streamCount() const;
};

struct ScriptError {
    int line = 0;
    std::string message;
};

/// A new state record: all zero, Mentrix action neutral, the engine's own field at -1.
StateBytes newStateBytes();

/// Parses a whole script. On the first bad line, fills `error` and returns false; `commands` is then empty.
bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error);

/// The Mentrix action code of a name such as "push" or "rotateLeft" (any letter case), or -1.
int mentrixCodeFromName(std::string_view name);
