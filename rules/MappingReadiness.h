#pragma once
// Why a rule sends nothing whatever the headset does: what the desktop program's tool tips and
// `senkey-run --check` both tell the user.

#include <QList>
#include <QStringList>

#include <optional>

class SenMapping;

/// What the caller knows beyond the rule itself; an empty optional means not known, and is not a reason.
struct MappingSurroundings {
    /// For a rule aimed at a window: whether that window is open.
    std::optional<bool> windowOpen;
    /// The players (0 for the first headset) whose headset is up.
    std::optional<QList<int>> playersWithHeadset;
};

/// The reasons, as short phrases ("disabled", "no enabled condition", ...); empty when the rule can fire.
QStringList reasonsNotToFire(const SenMapping& mapping, const MappingSurroundings& surroundings = {});
