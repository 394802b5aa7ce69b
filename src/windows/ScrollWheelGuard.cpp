// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/ScrollWheelGuard.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

ScrollWheelGuard::ScrollWheelGuard(QAbstractScrollArea *area) : QObject(area), m_area(area) {}

void ScrollWheelGuard::guard(QWidget *control)
{
    // A click gives the keyboard focus, the wheel alone no longer does.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
}

bool ScrollWheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !m_area)
        return false;
    const auto *control = qobject_cast<QWidget *>(watched);
    if (!control || control->hasFocus())
        return false;
    QCoreApplication::sendEvent(m_area->viewport(), event);
    return true;
}
