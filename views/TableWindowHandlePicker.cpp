#include "TableWindowHandlePicker.h"

#include <QMouseEvent>

TableWindowHandlePicker::TableWindowHandlePicker(WindowSystem& windows, QWidget* parent)
    : WindowHandlePicker(windows, parent)
{
}

void TableWindowHandlePicker::mousePressEvent(QMouseEvent* event)
{
    WindowHandlePicker::mousePressEvent(event);
    event->ignore();
}

void TableWindowHandlePicker::mouseReleaseEvent(QMouseEvent* event)
{
    WindowHandlePicker::mouseReleaseEvent(event);
    event->ignore();
}
