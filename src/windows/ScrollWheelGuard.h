// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

class QAbstractScrollArea;
class QWidget;

// Keeps a scrolling page's wheel for the page: a picker or slider under the pointer takes
// wheel turns only once it has been clicked into (has the keyboard focus), so scrolling
// past it never changes a setting by accident. Turns it does not take scroll the page.
class ScrollWheelGuard : public QObject
{
    Q_OBJECT

public:
    explicit ScrollWheelGuard(QAbstractScrollArea *area);

    // Guards `control`, which must lie inside the area's page.
    void guard(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QAbstractScrollArea> m_area;
};
