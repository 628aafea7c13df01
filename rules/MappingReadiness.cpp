#include "MappingReadiness.h"

#include "SenMapping.h"
#include "SenStateCondition.h"

QStringList reasonsNotToFire(const SenMapping& mapping, const MappingSurroundings& surroundings)
{
    QStringList reasons;
    if (!mapping.enabled()) {
        reasons << QStringLiteral("disabled");
    }
    bool anyEnabled = false;
    for (int i = 0; i < mapping.conditionCount() && !anyEnabled; ++i) {
        anyEnabled = mapping.condition(i)->enabled();
    }
    if (!anyEnabled) {
        reasons << QStringLiteral("no enabled condition");
    }
    if (!mapping.sendToFocus()) {
        if (mapping.appTitle().isEmpty() && mapping.windowHandle() == 0) {
            reasons << QStringLiteral("no window chosen");
        } else if (surroundings.windowOpen == false) {
            reasons << QStringLiteral("window \"%1\" not open").arg(mapping.appTitle());
        }
    }
    if (surroundings.playersWithHeadset && !surroundings.playersWithHeadset->contains(mapping.playerNum())) {
        reasons << QStringLiteral("no headset for player %1").arg(mapping.playerNum() + 1);
    }
    return reasons;
}
