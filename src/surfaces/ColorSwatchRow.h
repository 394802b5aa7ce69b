// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "surfaces/ColorScheme.h"

#include <QColor>
#include <QWidget>

#include <optional>

// The six colour swatches of a note's action bar, in colour order. Each swatch is a small
// rounded square of its colour's paper, ringed boldly when it is the note's colour; a click
// picks that colour. Tooltips name the colours.
//
// One widget draws all six, with room around them for the bold ring, which reaches past
// the swatch.
class ColorSwatchRow : public QWidget
{
    Q_OBJECT

public:
    static constexpr double swatchSize = 17;
    static constexpr double spacing = 5;
    static constexpr double cornerRadius = 6;
    // Room for the bold ring around the swatches.
    static constexpr double ringRoom = 4;

    explicit ColorSwatchRow(QWidget *parent = nullptr);

    void setScheme(ColorScheme scheme);
    // The note's colour, ringed boldly.
    void setCurrent(NoteColor color);
    std::optional<NoteColor> current() const { return m_current; }
    // Colour of the rings: the bar's ink.
    void setInk(const QColor &ink);

    // Where the swatch of `color` is drawn, in widget coordinates.
    QRectF swatchRect(NoteColor color) const;
    // The swatch at `point`, if any.
    std::optional<NoteColor> colorAt(const QPointF &point) const;

    // Picks `color` as a click on its swatch would.
    void pick(NoteColor color) { Q_EMIT picked(color); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void picked(NoteColor color);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    ColorScheme m_scheme = ColorScheme::light;
    std::optional<NoteColor> m_current;
    QColor m_ink;
    std::optional<NoteColor> m_pressed;
};
