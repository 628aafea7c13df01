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

void emitToFocus(SenMapping& mapping, KeyboardEventSimulator* simulator, const ActiveWindowQuery& isMainWindowActive)
{
    // While the user works in the program itself nothing is typed into it, and the latch stays open so
    // that the first active state after switching away emits.
    if (isMainWindowActive && isMainWindowActive()) {
        mapping.setAlreadySent(false);
        return;
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

void releaseStep(SenMapping& mapping, KeyboardEventSimulator* simulator)
{
    mapping.setAlreadySent(false);
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

void evaluateMappings(SenMappingModel* model, uint userId, SenStateHandle state, KeyboardEventSimulator* simulator,
                      const MappingActivityReport& table, const ActiveWindowQuery& isMainWindowActive,
                      const FocusedApplication& focus)
{
    if (model == nullptr) {
        return;
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
        if (static_cast<uint>(mapping->playerNum()) != userId) {
            continue;
        }
        const bool active = mapping->allowsFocus(focus) && mapping->conditionsHold(state);
        if (table) {
            table(i, active);
        }
        if (!active || !mapping->enabled()) {
            releaseStep(*mapping, simulator);
            continue;
        }
        if (mapping->sendOnce() && mapping->alreadySent()) {
            continue;
        }
        if (mapping->sendToFocus()) {
            emitToFocus(*mapping, simulator, isMainWindowActive);
        } else {
            emitToWindow(*mapping, simulator);
        }
    }
}

void releaseOutOfFocus(SenMappingModel* model, const FocusedApplication& focus, KeyboardEventSimulator* simulator,
                       const MappingActivityReport& table)
{
    if (model == nullptr) {
        return;
    }
    for (int i = 0; i < model->mappingCount(); ++i) {
        SenMapping* mapping = model->mapping(i);
        if (mapping == nullptr || !mapping->hasApplicationFilter() || mapping->allowsFocus(focus)) {
            continue;
        }
        releaseStep(*mapping, simulator);
        if (table) {
            table(i, false);
        }
    }
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
            mapping->setAlreadySent(false);
            releaseMapping(*mapping, simulator);
        }
    }
}

void releaseRemovedMappings(SenMappingModel& model, KeyboardEventSimulator& simulator)
{
    model.setReleaseHandler([&simulator](const SenMapping& mapping) { releaseMapping(mapping, simulator); });
}
