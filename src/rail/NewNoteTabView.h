// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/EdgeFlushShape.h"
#include "surfaces/ColorScheme.h"
#include "surfaces/NotePaint.h"

#include <QAbstractButton>
#include <QRectF>

#include <optional>

// The neutral tab with a plus sign below the notes of a rail; a click creates a note.
//
// The host places it with `setTabRect`, the visible tab flush with the screen edge; its paper
// runs `bleed` further past the edge, and the widget extends around it for the tilt. Only a
// click on the paper counts.
class NewNoteTabView : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr double cornerRadius = 15;
    static constexpr double defaultBleed = 16;
    // Size of the plus sign, and its stroke.
    static constexpr double glyphSize = 11;
    static constexpr double glyphStroke = 1.9;

    explicit NewNoteTabView(ScreenEdge edge, QWidget *parent = nullptr);

    ScreenEdge edge() const { return m_edge; }
    void setEdge(ScreenEdge edge);
    bool isHovered() const { return m_isHovered; }
    // The rail's own hover test decides; the tab only shows it.
    void setHovered(bool hovered);
    double bleed() const { return m_bleed; }
    void setBleed(double bleed);
    double tilt() const { return m_tilt; }
    void setTilt(double degrees);
    // The appearance to paint in; absent follows the desktop.
    void setColorScheme(std::optional<ColorScheme> scheme);
    ColorScheme colorScheme() const;

    // The visible tab in the parent's coordinates.
    QRectF tabRect() const { return m_tabRect; }
    void setTabRect(const QRectF &rect);
    // The tab's paper in the parent's coordinates: the visible tab and the bleed.
    QRectF bodyRect() const;
    // Centre of the plus sign in the parent's coordinates.
    QPointF glyphCentre() const;
    // Rotation by the tilt about the middle of the paper's screen-edge side.
    QTransform tiltTransform() const;
    NotePaint paint() const { return NotePaint::neutral(colorScheme()); }
    // Paints the tab in the parent's coordinates.
    void paintTab(QPainter &painter) const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void relayout();

    ScreenEdge m_edge;
    bool m_isHovered = false;
    double m_bleed = defaultBleed;
    double m_tilt = 0;
    std::optional<ColorScheme> m_scheme;
    QRectF m_tabRect;
};
