#include "SenActionFactory.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>

#include "SenActionTypes.h"

namespace {

const QString kOrva = QStringLiteral("ORVA");
const QString kTessara = QStringLiteral("TESSARA");

// Written by the connection controller, read by views and the file reader.
QMutex headsetMutex;
QString currentHeadset = kTessara;

bool isOrva()
{
    QMutexLocker lock(&headsetMutex);
    return currentHeadset == kOrva;
}

// Facial detections that the TESSARA headset does not offer.
bool offeredOnTessara(int type)
{
    return type <= SenAction::Furrow || type == SenAction::Smile || type == SenAction::Clench ||
           (type >= SenAction::Neutral && type <= SenAction::Disappear);
}

} // namespace

SenAction* SenActionFactory::create(SenAction::ActionType type, QObject* parent)
{
    switch (type) {
    case SenAction::Blink:
        return new Blink(parent);
    case SenAction::WinkLeft:
        return new WinkLeft(parent);
    case SenAction::WinkRight:
        return new WinkRight(parent);
    case SenAction::Eyebrows:
        return new Eyebrows(parent);
    case SenAction::Furrow:
        return new Furrow(parent);
    case SenAction::LookLeft:
        return new LookLeft(parent);
    case SenAction::LookRight:
        return new LookRight(parent);
    case SenAction::Smile:
        return new Smile(parent);
    case SenAction::Clench:
        return new Clench(parent);
    case SenAction::Laugh:
        return new Laugh(parent);
    case SenAction::SmirkLeft:
        return new SmirkLeft(parent);
    case SenAction::SmirkRight:
        return new SmirkRight(parent);
    case SenAction::Neutral:
        return new Neutral(parent);
    case SenAction::Push:
        return new Push(parent);
    case SenAction::Pull:
        return new Pull(parent);
    case SenAction::Lift:
        return new Lift(parent);
    case SenAction::Drop:
        return new Drop(parent);
    case SenAction::Left:
        return new Left(parent);
    case SenAction::Right:
        return new Right(parent);
    case SenAction::RotateLeft:
        return new RotateLeft(parent);
    case SenAction::RotateRight:
        return new RotateRight(parent);
    case SenAction::RotateClockwise:
        return new RotateClockwise(parent);
    case SenAction::RotateCounterClockwise:
        return new RotateCounterClockwise(parent);
    case SenAction::RotateForward:
        return new RotateForward(parent);
    case SenAction::RotateReverse:
        return new RotateReverse(parent);
    case SenAction::Disappear:
        return new Disappear(parent);
    default:
        return new SenAction(parent);
    }
}

QString SenActionFactory::actionName(SenAction::ActionType type)
{
    switch (type) {
    case SenAction::Blink:
        return QStringLiteral("Blink");
    case SenAction::WinkLeft:
        return QStringLiteral("Wink Left");
    case SenAction::WinkRight:
        return QStringLiteral("Wink Right");
    case SenAction::Eyebrows:
        return isOrva() ? QStringLiteral("Raise Brow") : QStringLiteral("Surprise");
    case SenAction::Furrow:
        return isOrva() ? QStringLiteral("Furrow Brow") : QStringLiteral("Frown");
    case SenAction::LookLeft:
        return QStringLiteral("Look Left");
    case SenAction::LookRight:
        return QStringLiteral("Look Right");
    case SenAction::Smile:
        return QStringLiteral("Smile");
    case SenAction::Clench:
        return QStringLiteral("Clench");
    case SenAction::Laugh:
        return QStringLiteral("Laugh");
    case SenAction::SmirkLeft:
        return QStringLiteral("Smirk Left");
    case SenAction::SmirkRight:
        return QStringLiteral("Smirk Right");
    case SenAction::Neutral:
        return QStringLiteral("Neutral");
    case SenAction::Push:
        return QStringLiteral("Push");
    case SenAction::Pull:
        return QStringLiteral("Pull");
    case SenAction::Lift:
        return QStringLiteral("Lift");
    case SenAction::Drop:
        return QStringLiteral("Drop");
    case SenAction::Left:
        return QStringLiteral("Left");
    case SenAction::Right:
        return QStringLiteral("Right");
    case SenAction::RotateLeft:
        return QStringLiteral("Rotate Left");
    case SenAction::RotateRight:
        return QStringLiteral("Rotate Right");
    case SenAction::RotateClockwise:
        return QStringLiteral("Rotate Clockwise");
    case SenAction::RotateCounterClockwise:
        return QStringLiteral("Rotate Counter-clockwise");
    case SenAction::RotateForward:
        return QStringLiteral("Rotate Forward");
    case SenAction::RotateReverse:
        return QStringLiteral("Rotate Reverse");
    case SenAction::Disappear:
        return QStringLiteral("Disappear");
    default:
        return QStringLiteral("Unknown action type");
    }
}

bool SenActionFactory::setHeadsetType(const QString& type)
{
    if (type != kOrva && type != kTessara) {
        qDebug("Ignoring unknown headset type (%s)", qPrintable(type));
        return false;
    }
    QMutexLocker lock(&headsetMutex);
    currentHeadset = type;
    return true;
}

QString SenActionFactory::headsetType()
{
    QMutexLocker lock(&headsetMutex);
    return currentHeadset;
}

QStringList SenActionFactory::actionNames()
{
    const bool orva = isOrva();
    QStringList names;
    for (int type = SenAction::Blink; type <= SenAction::Disappear; ++type) {
        if (type >= SenAction::ExciteShortTerm && type <= SenAction::Interest) {
            continue;
        }
        if (orva || offeredOnTessara(type)) {
            names.append(actionName(static_cast<SenAction::ActionType>(type)));
        }
    }
    return names;
}

SenAction::ActionType SenActionFactory::actionTypeAt(int position)
{
    if (isOrva()) {
        return static_cast<SenAction::ActionType>(position >= 12 ? position + 6 : position);
    }
    if (position <= 4) {
        return static_cast<SenAction::ActionType>(position);
    }
    if (position <= 6) {
        return static_cast<SenAction::ActionType>(position + 2);
    }
    return static_cast<SenAction::ActionType>(position + 11);
}

int SenActionFactory::positionOfActionType(SenAction::ActionType type)
{
    if (isOrva()) {
        return type > 17 ? type - 6 : type;
    }
    if (type == SenAction::Smile || type == SenAction::Clench) {
        return type - 2;
    }
    return type > 11 ? type - 11 : type;
}
