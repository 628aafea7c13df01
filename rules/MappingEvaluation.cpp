#include "MappingEvaluation.h"

#include "KeyNames.h"
#include "KeyboardEventSimulator.h"
#include "MappingKeys.h"
#include "SenMapping.h"
#include "SenMappingModel.h"

namespace {

void releaseHeldKey(const SenMapping& mapping, KeyboardEventSimulator& simulator)
{
    if (!mapping.holdKey()) {
        return;
    }
    if (!mapping.keys().isEmpty()) {
        simulator.releaseKey(keyStringChar(mapping.keys().front()));
    } else if (mapping.enterKey() && !mapping.sendHotKeys() && !mapping.mouseclickset()) {
        // An empty key string with Enter queues a lone line feed, which is held like any single key.
        simulator.releaseKey('\n');
    }
}

/// False when the focus guard held the emission back.
bool emitToFocus(SenMapping& mapping, KeyboardEventSimulator* simulator, const ActiveWindowQuery& isMainWindowActive)
{
    // While the user works in the program itself nothing is typed into it, and the latch stays open so
    // that the first active state after switching away emits.
    if (isMainWindowActive && isMainWindowActive()) {
        mapping.setAlreadySent(false);
        return false;
    }
    if (simulator != nullptr) {
        if (mapping.sendHotKeys()) {
            simulator->queueKeyCombo(hotKeyCombo(mapping), mapping.holdTime());
        } else if (mapping.mouseclickset()) {
            simulator->queueMouse(mapping.mousebutnum(), mapping.holdKey(), mapping.holdTime());
        } else {
            simulator->queueKeys(mapping.keys(), mapping.holdKey(), mapping.enterKey(), mapping.holdTime(),
                                 mapping.triggerDelayTime());
        }
    }
    mapping.setAlreadySent(mapping.sendOnce());
    return true;
}

void emitToWindow(SenMapping& mapping, KeyboardEventSimulator* simulator)
{
    if (simulator != nullptr) {
        if (mapping.mouseclickset()) {
            simulator->sendMouseToWindow(mapping.windowHandle(), mapping.mousebutnum());
        } else {
            QString text = mapping.keys();
            if (mapping.enterKey()) {
                text += QLatin1Char('\n');
            }
            simulator->sendKeysToWindow(mapping.windowHandle(), text);
        }
    }
    mapping.setAlreadySent(mapping.sendOnce());
}

void releaseStep(SenMapping& mapping, StateTime arrival, KeyboardEventSimulator* simulator)
{
    // A disabled mapping's latch opens at once; otherwise only after the re-arm time of quiet.
    if (!mapping.enabled() || mapping.rearmed(arrival)) {
        mapping.setAlreadySent(false);
    }
    if (simulator == nullptr) {
        return;
    }
    // Also for a disabled mapping: a button pressed before the user disabled it must come up.
    if (mapping.mouseclickset()) {
        simulator->releaseMouse(mapping.mousebutnum());
    }
    releaseHeldKey(mapping, *simulator);
}

} // namespace

bool evaluateMappings(SenMappingModel* model, uint userId, SenStateHandle state, StateTime arrival,
                      KeyboardEventSimulator* simulator, const MappingActivityReport& table,
                      const ActiveWindowQuery& isMainWindowActive, bool paused)
{
    if (model == nullptr) {
        return false;
    }
    // The count is read again on every round: a report to the table may change the model.
    for (int i = 0; i < model->mappingCount(); ++i) {
        SenMapping* mapping = model->mapping(i);
        if (mapping == nullptr) {
            continue;
        }
        // A state of another headset says nothing about this mapping's player: treating it as inactive
        // would reopen the send-once latch and release a held key on every state of the other user, so
        // that with two headsets a send-once rule repeats and a held key flickers.
        if (static_cast<uint>(mapping->playerNum()) != userId || (paused && !mapping->pauseToggle())) {
            continue;
        }
        const bool active = mapping->conditionsHold(state, arrival);
        if (table) {
            table(i, active);
        }
        if (!active || !mapping->enabled()) {
            releaseStep(*mapping, arrival, simulator);
            continue;
        }
        const bool once = mapping->sendOnce() || mapping->pauseToggle();
        if ((once && mapping->alreadySent()) || !mapping->mayFire(arrival)) {
            continue;
        }
        if (mapping->pauseToggle()) {
            // Emits nothing, so neither the focus guard nor a target window matters.
            mapping->setAlreadySent(true);
            mapping->noteFired(arrival);
            return true;
        }
        if (!mapping->sendToFocus()) {
            emitToWindow(*mapping, simulator);
            mapping->noteFired(arrival);
        } else if (emitToFocus(*mapping, simulator, isMainWindowActive)) {
            mapping->noteFired(arrival);
        }
    }
    return false;
}

void releaseMapping(const SenMapping& mapping, KeyboardEventSimulator& simulator)
{
    if (mapping.mouseclickset()) {
        simulator.releaseMouse(mapping.mousebutnum());
    }
    releaseHeldKey(mapping, simulator);
}

void releasePlayer(SenMappingModel& model, uint userId, KeyboardEventSimulator& simulator)
{
    for (int i = 0; i < model.mappingCount(); ++i) {
        SenMapping* mapping = model.mapping(i);
        if (mapping != nullptr && static_cast<uint>(mapping->playerNum()) == userId) {
            mapping->setAlreadySent(mapping->pauseToggle() && mapping->alreadySent());
            mapping->resetConditioning();
            releaseMapping(*mapping, simulator);
        }
    }
}

void releaseRemovedMappings(SenMappingModel& model, KeyboardEventSimulator& simulator)
{
    model.setReleaseHandler([&simulator](const SenMapping& mapping) { releaseMapping(mapping, simulator); });
}
