#include "SenActionTypes.h"

namespace {

QVariant eyeValue(SenStateHandle state, int (*accessor)(SenStateHandle))
{
    if (state == nullptr) {
        return {};
    }
    return QVariant(accessor(state) != 0);
}

// Codes are compared for equality: a state naming two actions at once matches none of them.
QVariant powerValue(SenStateHandle state, int (*action)(SenStateHandle), float (*power)(SenStateHandle), int code)
{
    if (state == nullptr) {
        return {};
    }
    return QVariant(action(state) == code ? static_cast<double>(power(state)) : 0.0);
}

} // namespace

Blink::Blink(QObject* parent) : SenAction(SenAction::Blink, SenAction::Binary, parent) {}

QVariant Blink::value(SenStateHandle state) const
{
    return eyeValue(state, nxlStateBothEyesClosed);
}

WinkLeft::WinkLeft(QObject* parent) : SenAction(SenAction::WinkLeft, SenAction::Binary, parent) {}

QVariant WinkLeft::value(SenStateHandle state) const
{
    return eyeValue(state, nxlStateLeftEyeOnlyClosed);
}

WinkRight::WinkRight(QObject* parent) : SenAction(SenAction::WinkRight, SenAction::Binary, parent) {}

QVariant WinkRight::value(SenStateHandle state) const
{
    return eyeValue(state, nxlStateRightEyeOnlyClosed);
}

Eyebrows::Eyebrows(QObject* parent) : SenAction(SenAction::Eyebrows, SenAction::Range, parent) {}

QVariant Eyebrows::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateUpperFaceAction, nxlStateUpperFacePower, 32);
}

Furrow::Furrow(QObject* parent) : SenAction(SenAction::Furrow, SenAction::Range, parent) {}

QVariant Furrow::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateUpperFaceAction, nxlStateUpperFacePower, 64);
}

LookLeft::LookLeft(QObject* parent) : SenAction(SenAction::LookLeft, SenAction::Binary, parent) {}

QVariant LookLeft::value(SenStateHandle state) const
{
    return eyeValue(state, nxlStateGazeLeft);
}

LookRight::LookRight(QObject* parent) : SenAction(SenAction::LookRight, SenAction::Binary, parent) {}

QVariant LookRight::value(SenStateHandle state) const
{
    return eyeValue(state, nxlStateGazeRight);
}

Smile::Smile(QObject* parent) : SenAction(SenAction::Smile, SenAction::Range, parent) {}

QVariant Smile::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateLowerFaceAction, nxlStateLowerFacePower, 128);
}

Clench::Clench(QObject* parent) : SenAction(SenAction::Clench, SenAction::Range, parent) {}

QVariant Clench::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateLowerFaceAction, nxlStateLowerFacePower, 256);
}

Laugh::Laugh(QObject* parent) : SenAction(SenAction::Laugh, SenAction::Range, parent) {}

QVariant Laugh::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateLowerFaceAction, nxlStateLowerFacePower, 512);
}

SmirkLeft::SmirkLeft(QObject* parent) : SenAction(SenAction::SmirkLeft, SenAction::Range, parent) {}

QVariant SmirkLeft::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateLowerFaceAction, nxlStateLowerFacePower, 1024);
}

SmirkRight::SmirkRight(QObject* parent) : SenAction(SenAction::SmirkRight, SenAction::Range, parent) {}

QVariant SmirkRight::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateLowerFaceAction, nxlStateLowerFacePower, 2048);
}

Neutral::Neutral(QObject* parent) : SenAction(SenAction::Neutral, SenAction::Binary, parent) {}

QVariant Neutral::value(SenStateHandle state) const
{
    if (state == nullptr) {
        return {};
    }
    return QVariant(nxlStateMentrixAction(state) == 1);
}

Push::Push(QObject* parent) : SenAction(SenAction::Push, SenAction::Range, parent) {}

QVariant Push::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 2);
}

Pull::Pull(QObject* parent) : SenAction(SenAction::Pull, SenAction::Range, parent) {}

QVariant Pull::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 4);
}

Lift::Lift(QObject* parent) : SenAction(SenAction::Lift, SenAction::Range, parent) {}

QVariant Lift::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 8);
}

Drop::Drop(QObject* parent) : SenAction(SenAction::Drop, SenAction::Range, parent) {}

QVariant Drop::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 16);
}

Left::Left(QObject* parent) : SenAction(SenAction::Left, SenAction::Range, parent) {}

QVariant Left::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 32);
}

Right::Right(QObject* parent) : SenAction(SenAction::Right, SenAction::Range, parent) {}

QVariant Right::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 64);
}

RotateLeft::RotateLeft(QObject* parent) : SenAction(SenAction::RotateLeft, SenAction::Range, parent) {}

QVariant RotateLeft::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 128);
}

RotateRight::RotateRight(QObject* parent) : SenAction(SenAction::RotateRight, SenAction::Range, parent) {}

QVariant RotateRight::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 256);
}

RotateClockwise::RotateClockwise(QObject* parent) : SenAction(SenAction::RotateClockwise, SenAction::Range, parent) {}

QVariant RotateClockwise::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 512);
}

RotateCounterClockwise::RotateCounterClockwise(QObject* parent)
    : SenAction(SenAction::RotateCounterClockwise, SenAction::Range, parent)
{
}

QVariant RotateCounterClockwise::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 1024);
}

RotateForward::RotateForward(QObject* parent) : SenAction(SenAction::RotateForward, SenAction::Range, parent) {}

QVariant RotateForward::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 2048);
}

RotateReverse::RotateReverse(QObject* parent) : SenAction(SenAction::RotateReverse, SenAction::Range, parent) {}

QVariant RotateReverse::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 4096);
}

Disappear::Disappear(QObject* parent) : SenAction(SenAction::Disappear, SenAction::Range, parent) {}

QVariant Disappear::value(SenStateHandle state) const
{
    return powerValue(state, nxlStateMentrixAction, nxlStateMentrixPower, 8192);
}
