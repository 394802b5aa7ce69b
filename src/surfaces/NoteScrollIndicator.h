// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QScrollBar;

// A thin bar along the right edge of a note's text that shows where the view is in a text
// longer than the card, drawn in the note's ink like the card's other lines, in place of
// a scroll bar that would break the paper. It shows while the text overflows, and stands
// out for a moment after each scroll. It never takes a click: the text under it does.
class NoteScrollIndicator : public QWidget
{
    Q_OBJECT

public:
    static constexpr double thickness = 3;
    static constexpr double inset = 2;
    static constexpr double minimumLength = 18;
    static constexpr double restingOpacity = 0.22;
    static constexpr double scrollingOpacity = 0.45;
    static constexpr int emphasisMilliseconds = 900;

    // Follows `scrollBar` (which may be hidden), drawn over `parent`'s right edge.
    NoteScrollIndicator(QScrollBar *scrollBar, QWidget *parent);

    void setInk(const QColor &ink);
    // Whether the text overflows, so the bar is drawn.
    bool showsBar() const;
    // Whether the bar stands out after a scroll.
    bool isEmphasised() const { return m_emphasis.isActive(); }
    // The bar in this widget's coordinates; empty when the text fits.
    QRectF thumbRect() const;
    // The same for a track of `height` and a scroll range, for any widget size.
    static QRectF thumbRect(double width, double height, int minimum, int maximum, int value,
                            int pageStep);

    // Lays the indicator along the parent's right edge, in `area` (parent coordinates).
    void place(const QRect &area);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void scrolled();
    void rangeChanged();

    QPointer<QScrollBar> m_scrollBar;
    QColor m_ink;
    QTimer m_emphasis;
};
