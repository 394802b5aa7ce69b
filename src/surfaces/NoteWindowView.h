// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteCommands.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NotePaint.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QPainterPath>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <memory>

class Note;
class NoteWindowBody;

// The paper of a floating note: a card rounded all round, with its gradient, border and a
// shadow of its own, set in a transparent margin wide enough for the shadow, holding the
// note's window body.
//
// A press on the paper that no control takes asks for the window to be dragged; a press on
// the paper's rim asks for it to be resized from that side (or corner).
class NoteWindowView : public QWidget
{
    Q_OBJECT

public:
    // Transparent margin between the window's edge and the paper.
    static constexpr double padding = 24;
    static constexpr double cornerRadius = 18;
    static constexpr double borderWidth = 0.8;
    // How far on either side of the paper's outline a press resizes rather than drags.
    static constexpr double resizeBand = 6;

    NoteWindowView(Note *note, const NoteCardActions &actions,
                   const NoteSurfaceEnvironment &environment, QWidget *parent = nullptr);

    Note *note() const;
    NoteWindowBody *body() const { return m_body; }
    const NotePaint &paint() const { return m_paint; }
    ColorScheme scheme() const { return m_scheme; }

    // The paper in a view of `size`, and in this view.
    static QRectF paperRect(const QSizeF &size);
    QRectF paperRect() const;
    static QPainterPath paperPath(const QSizeF &size);
    // The part of a view of `size` that takes the mouse: the paper and its resizing rim.
    static QRectF mouseRect(const QSizeF &size);
    // The sides a press at `point` resizes from; none away from the paper's rim.
    static Qt::Edges resizeEdgesAt(const QSizeF &size, const QPointF &point);

    // The shadow the paper casts in `scheme`.
    static CardShadow shadow(ColorScheme scheme);

Q_SIGNALS:
    void moveRequested();
    void resizeRequested(Qt::Edges edges);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void refreshPaint();
    void paintShadow(QPainter &painter, const QRectF &paper);

    QPointer<Note> m_note;
    NoteSurfaceEnvironment m_environment;
    std::shared_ptr<CardShadowCache> m_shadows;
    ColorScheme m_scheme;
    NotePaint m_paint;
    NoteWindowBody *m_body;
};
