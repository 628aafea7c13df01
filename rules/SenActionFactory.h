#pragma once

#include <QString>
#include <QStringList>

#include "SenAction.h"

/// Creates and names detections, and keeps the process-wide headset type ("ORVA" or "TESSARA")
/// on which two names and the list of offered detections depend.
class SenActionFactory
{
public:
    SenActionFactory() = delete;

    /// A new detection owned by `parent`; unsupported types give the unknown detection. Never null.
    static SenAction* create(SenAction::ActionType type, QObject* parent);

    /// Computed at every call so a change of headset type shows in every list filled afterwards.
    static QString actionName(SenAction::ActionType type);

    /// Accepts "ORVA" or "TESSARA"; any other text is ignored and false is returned.
    static bool setHeadsetType(const QString& type);
    static QString headsetType();

    /// The detections offered to the user under the current headset type, in list order.
    static QStringList actionNames();
    /// List position to detection under the current headset type.
    static SenAction::ActionType actionTypeAt(int position);
    /// Detection to list position; plain arithmetic, so a detection the list lacks lands on another entry.
    static int positionOfActionType(SenAction::ActionType type);
};
