#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>

class SenAction;

/// How a detection's value is compared with a condition's threshold.
class SenActionRule : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Rule rule READ rule WRITE setRule)

public:
    enum Rule : qint32 { Equal = 0, NotEqual = 1, GreaterThan = 2, LessThan = 3 };
    Q_ENUM(Rule)

    /// Values within this distance are equal, and neither greater nor less.
    static constexpr double kTolerance = 1e-6;

    explicit SenActionRule(Rule rule = Equal, QObject* parent = nullptr);
    SenActionRule(const SenActionRule& other);
    /// Copies the rule only; the QObject parent stays.
    SenActionRule& operator=(const SenActionRule& other);

    Rule rule() const { return m_rule; }
    void setRule(Rule rule) { m_rule = rule; }

    /// Both sides are taken as doubles (bool 1.0/0.0, empty 0.0); NaN is never equal, greater or less.
    bool compare(const QVariant& value, const QVariant& threshold) const;
    /// The same comparison of two numbers.
    bool compareNumbers(double value, double threshold) const;

    /// A variant as compare() takes it: bool 1.0 or 0.0, empty 0.0, otherwise its conversion to double.
    static double toNumber(const QVariant& variant);

    /// The rule texts for the action's trigger type, indexed by Rule; empty for null or unknown actions.
    static QStringList ruleNames(const SenAction* action);

private:
    Rule m_rule = Equal;
};
