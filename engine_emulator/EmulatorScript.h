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

/// A random spread on one float field of a streamed state.
struct FieldNoise {
    std::size_t offset = 0;
    float value = 0.0F;
    float spread = 0.0F;
    float low = 0.0F; ///< the field's range, which noisy values are held to
    float high = 1.0F;
};

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
    std::vector<FieldNoise> noise; ///< stream only: fields written FIELD=VALUE~SPREAD

    /// Number of states a stream sends, one every 1/HZ seconds starting at once.
    std::uint64_t streamCount() const;
    /// The `index`-th state of a stream: `state` with each noisy field drawn uniformly from VALUE ± SPREAD
    /// (held to the field's range). The draw depends only on the line and the index, so a script plays
    /// the same every time.
    StateBytes streamState(std::uint64_t index) const;
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
