#pragma once
// The rules the robustness tests hold input with, and the check that all they hold is down.

#include <QString>

#include "MappingText.h"

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "XServerView.h"

namespace TestSupport {

/// While Push is above 0.5: W held, the left button held, and Ctrl+Shift+F5 held for `hotKeyHoldMs`.
inline QString heldInputMappings(int hotKeyHoldMs)
{
    return mappingFileText(
        "held.skm", {
                        {.name = "held key", .keys = "w", .holdKey = true},
                        {.name = "held button", .holdKey = true, .mouseButton = 4},
                        {.name = "hot key", .holdTime = hotKeyHoldMs, .hotKey = 16777268, .ctrl = true, .shift = true},
                    });
}

/// The held key, the held button and the hot key's Ctrl are all down at once.
inline bool heldInputIsDown(XServerView& server)
{
    return server.keyDown(kKeycodeW) && server.keyDown(kKeycodeLeftCtrl) && (server.buttonMask() & Button1Mask);
}

} // namespace TestSupport
