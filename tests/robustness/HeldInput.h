#pragma once
// The rules the robustness tests hold input with, and the check that all they hold is down.

#include <QString>

// Last: it includes Xlib, whose macros (Bool, Status) clash with names in the headers above.
#include "XServerView.h"

namespace TestSupport {

/// While Push is above 0.5: W held, the left button held, and Ctrl+Shift+F5 held for `hotKeyHoldMs`.
inline QString heldInputMappings(int hotKeyHoldMs)
{
    return QStringLiteral(R"(<SenMappingModel mappingName="held.skm" >
    <SenMapping enabled="1" name="held key" keys="w" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="1" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="held button" keys="" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="0" ctrlKey="0" altKey="0" shiftKey="0" winKey="0" enterKey="0" hotKey="0" holdKey="1" holdTime="20" triggerDelayTime="20" player="0" mouseclickset="1" mousebutnum="4">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
    <SenMapping enabled="1" name="hot key" keys="" sendOnce="1" sendToFocus="1" targetApp="" sendHotKeys="1" ctrlKey="1" altKey="0" shiftKey="1" winKey="0" enterKey="0" hotKey="16777268" holdKey="0" holdTime="%1" triggerDelayTime="20" player="0" mouseclickset="0" mousebutnum="-1">
        <SenStateCondition>
            <enabled value="1" />
            <action value="19" />
            <threshold type="double" value="0.5" />
            <actionRule value="2" />
        </SenStateCondition>
    </SenMapping>
</SenMappingModel>
)")
        .arg(hotKeyHoldMs);
}

/// The held key, the held button and the hot key's Ctrl are all down at once.
inline bool heldInputIsDown(XServerView& server)
{
    return server.keyDown(kKeycodeW) && server.keyDown(kKeycodeLeftCtrl) && (server.buttonMask() & Button1Mask);
}

} // namespace TestSupport
