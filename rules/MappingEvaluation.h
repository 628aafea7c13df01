#pragma once
// The state evaluation pass: for each new SenState, decide mapping by mapping whether it is active and
// hand its keys, hot key or click to the simulator, or release what it holds.

#include <functional>

#include "SenStateCondition.h"
#include "nxl.h"

class KeyboardEventSimulator;
class SenMapping;
class SenMappingModel;

/// Whether the program's own main window is the active window at this moment. An empty function
/// means never (as for a program without a window).
using ActiveWindowQuery = std::function<bool()>;

/// Receives every mapping's activity on every state (the mapping table's onMappingActivated).
using MappingActivityReport = std::function<void(int index, bool activated)>;

/// Runs the pass over every mapping of `model` for one state of user `userId` that arrived at `arrival`
/// (the steady clock where the state was received; the states of one user come in arrival order).
/// `simulator` may be null (nothing is emitted or released), `table` and `isMainWindowActive` may be empty.
/// While `paused` only pause rules are evaluated. Returns true when a pause rule fired: the pass stops
/// there, and the caller switches keystrokes off or on.
bool evaluateMappings(SenMappingModel* model, uint userId, SenStateHandle state, StateTime arrival,
                      KeyboardEventSimulator* simulator, const MappingActivityReport& table,
                      const ActiveWindowQuery& isMainWindowActive = {}, bool paused = false);

/// Releases what a mapping may hold down: its mouse button, and its held key when it holds one.
/// Safe to call at any time; releasing something that is not down sends at most a key release.
void releaseMapping(const SenMapping& mapping, KeyboardEventSimulator& simulator);

/// Releases what the mappings of player `userId` hold, reopens their send-once latches and forgets their
/// timing: for a headset that went away, since states of the other headsets no longer release them.
/// A pause rule's latch stays closed, so that the gesture that paused does not resume on its next state.
void releasePlayer(SenMappingModel& model, uint userId, KeyboardEventSimulator& simulator);

/// Makes `model` release through `simulator` every mapping that it removes, clears or replaces.
/// The simulator must outlive the model or be detached with setReleaseHandler({}).
void releaseRemovedMappings(SenMappingModel& model, KeyboardEventSimulator& simulator);
