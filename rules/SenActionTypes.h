#pragma once
// The supported detections, one class per detection, named like their ActionType.

#include "SenAction.h"

class Blink : public SenAction
{
    Q_OBJECT

public:
    explicit Blink(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class WinkLeft : public SenAction
{
    Q_OBJECT

public:
    explicit WinkLeft(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class WinkRight : public SenAction
{
    Q_OBJECT

public:
    explicit WinkRight(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Eyebrows : public SenAction
{
    Q_OBJECT

public:
    explicit Eyebrows(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Furrow : public SenAction
{
    Q_OBJECT

public:
    explicit Furrow(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class LookLeft : public SenAction
{
    Q_OBJECT

public:
    explicit LookLeft(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class LookRight : public SenAction
{
    Q_OBJECT

public:
    explicit LookRight(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Smile : public SenAction
{
    Q_OBJECT

public:
    explicit Smile(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Clench : public SenAction
{
    Q_OBJECT

public:
    explicit Clench(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Laugh : public SenAction
{
    Q_OBJECT

public:
    explicit Laugh(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class SmirkLeft : public SenAction
{
    Q_OBJECT

public:
    explicit SmirkLeft(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class SmirkRight : public SenAction
{
    Q_OBJECT

public:
    explicit SmirkRight(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Neutral : public SenAction
{
    Q_OBJECT

public:
    explicit Neutral(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Push : public SenAction
{
    Q_OBJECT

public:
    explicit Push(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Pull : public SenAction
{
    Q_OBJECT

public:
    explicit Pull(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Lift : public SenAction
{
    Q_OBJECT

public:
    explicit Lift(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Drop : public SenAction
{
    Q_OBJECT

public:
    explicit Drop(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Left : public SenAction
{
    Q_OBJECT

public:
    explicit Left(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Right : public SenAction
{
    Q_OBJECT

public:
    explicit Right(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateLeft : public SenAction
{
    Q_OBJECT

public:
    explicit RotateLeft(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateRight : public SenAction
{
    Q_OBJECT

public:
    explicit RotateRight(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateClockwise : public SenAction
{
    Q_OBJECT

public:
    explicit RotateClockwise(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateCounterClockwise : public SenAction
{
    Q_OBJECT

public:
    explicit RotateCounterClockwise(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateForward : public SenAction
{
    Q_OBJECT

public:
    explicit RotateForward(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class RotateReverse : public SenAction
{
    Q_OBJECT

public:
    explicit RotateReverse(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};

class Disappear : public SenAction
{
    Q_OBJECT

public:
    explicit Disappear(QObject* parent = nullptr);
    QVariant value(SenStateHandle state) const override;
};
