#pragma once

#include "WindowHandlePicker.h"

/// The window finder inside a table row. It lets the table see its clicks too, so that pressing it
/// makes its row the current row: the row whose mapping gets the window.
class TableWindowHandlePicker : public WindowHandlePicker
{
    Q_OBJECT

public:
    explicit TableWindowHandlePicker(WindowSystem& windows, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
