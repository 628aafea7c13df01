#pragma once
// The state evaluation pass: for each new SenState, decide mapping by mapping whether it is active and
// hand its keys, hot key or click to the simulator, or release what it holds.

#include <functional>

#include "FocusTracker.h"
#include "nxl.h"

class KeyboardEventSimulator;
class SenMapping;
class SenMappingModel;

/// Whether the program's own main window is the active window at this moment. An empty function
/// means never (as for a program without a window).
using ActiveWindowQuery = std::function<bool()>;

/// Receives every mapping's activity on every state (the mapping table's onMappingActivated).
using MappingActivityReport = std::function<void(int index, bool activated)>;

/// Runs the pass over every mapping of `model` for one state of user `userId`. `simulator` may be null
/// (nothing is emitted or released), `table` and `isMainWindowActive` may be empty. A mapping whose
/// application lists do not allow `focus` (nothing: the focus cannot be known) counts as inactive.
void evaluateMappings(SenMappingModel* model, uint userId, SenStateHandle state, KeyboardEventSimulator* simulator,
                      const MappingActivityReport& table, const ActiveWindowQuery& isMainWindowActive = {},
                      const FocusedApplication& focus = std::nullopt);

/// After the focus moved: every mapping whose application lists no longer allow `focus` lets go of what
/// it holds at once, reopens its latch and is reported inactive, so nothing stays pressed in the
/// application the user left. Mappings without lists are left alone.
void releaseOutOfFocus(SenMappingModel* model, const FocusedApplication& focus, KeyboardEventSimulator* simulator,
                       const MappingActivityReport& table);

/// Releases what a mapping may hold down: its mouse button, and its held key when it holds one.
/// Safe to call at any time; releasing something that is not down sends at most a key release.
void releaseMapping(const SenMapping& mapping, KeyboardEventSimulator& simulator);

/// Releases what the mappings of player `userId` hold and reopens their send-once latches: for a headset
/// that went away, since states of the other headsets no longer release them.
void releasePlayer(SenMappingModel& model, uint userId, KeyboardEventSimulator& simulator);

/// Makes `model` release through `simulator` every mapping that it removes, clears or replaces.
/// The simulator must outlive the model or be detached with setReleaseHandler({}).
void releaseRemovedMappings(SenMappingModel& model, KeyboardEventSimulator& simulator);
