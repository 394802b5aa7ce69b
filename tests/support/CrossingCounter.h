// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QObject>

// Counts the entries and exits a watched object is told about.
class CrossingCounter : public QObject
{
public:
    int enters = 0;
    int leaves = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Enter)
            ++enters;
        else if (event->type() == QEvent::Leave)
            ++leaves;
        return false;
    }
};
