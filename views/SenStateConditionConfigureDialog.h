#pragma once

#include <QDialog>

#include "SenAction.h"
#include "SenStateCondition.h"

namespace Ui {
class SenStateConditionConfigureDialog;
}

/// Edits one condition: the detection it watches, its comparison rule and, for detections with a
/// strength, the limit, the release level and the smoothing. The lists follow the headset type of the
/// moment they are built.
class SenStateConditionConfigureDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SenStateConditionConfigureDialog(QWidget* parent = nullptr);
    ~SenStateConditionConfigureDialog() override;

    /// Shows the condition's detection, rule, (decimal) threshold, release level and smoothing. Its
    /// enabled flag is not shown.
    void loadCondition(const SenStateCondition& condition);
    /// A new condition made from what the dialog shows; enabled, whatever the loaded one was.
    SenStateCondition buildCondition() const;

public slots:
    void initUi();
    void createActionList();
    void createTriggerList(SenAction* action);
    void on_actionComboBox_currentIndexChanged(int index);

private slots:
    /// Shows the release level for "is greater than" and "is less than" on a strength, on the releasing
    /// side of the limit, and the smoothing for any strength; a release level at the limit follows it.
    void updateConditioningFields();

private:
    Ui::SenStateConditionConfigureDialog* ui;
    bool m_range = false;
    double m_lastLimit = 0.0;
};
