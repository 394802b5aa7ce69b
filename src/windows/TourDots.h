// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A row of dots, one per page of the tour, the current one filled in.
class TourDots : public QWidget
{
    Q_OBJECT

public:
    static constexpr int diameter = 7;
    static constexpr int spacing = 7;

    explicit TourDots(int count, QWidget *parent = nullptr);

    int count() const { return m_count; }
    int current() const { return m_current; }
    void setCurrent(int index);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_count;
    int m_current = 0;
};
