// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteCommands.h"
#include "model/ScreenEdge.h"
#include "surfaces/NoteCardChrome.h"
#include "surfaces/NoteCardPainter.h"
#include "surfaces/NotePaint.h"
#include "surfaces/NotePhase.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QPointer>
#include <QWidget>

class Note;
class NotePreviewBody;
class QGraphicsProxyWidget;
class QGraphicsRectItem;
class QGraphicsScene;
class QGraphicsView;

// What a rail tells one card besides where it lies.
struct NoteCardState
{
    NotePhase phase = NotePhase::chip;
    double tabWidth = 78;    // width of the tab strip in the tab and preview phases
    double tilt = 0;         // degrees
    bool isHovered = false;  // the pointer is over the card
    bool isDimmed = false;   // another note of the rail is open
    bool autoFocus = false;  // the editor takes the keyboard focus when it appears
    double peek = 0;         // extra width of the strip of a hovered tab
    double itemHeight = 26;  // height in the chip and tab phases
    double cardHeight = 260; // height when open

    friend bool operator==(const NoteCardState &, const NoteCardState &) = default;
};

// One note on a rail: a thin chip, a tab with the note's title along it, or opened in place
// with its editor. The card draws its paper, tab and shadow itself; an open card hosts a
// `NotePreviewBody`, tilted with the paper.
//
// The host places the card with `setCardFrame`, the visible card flush with the screen edge
// (the rail's item rectangle); the widget extends around it for the paper beyond the edge,
// the shadow and the tilt. Animating the frame between the sizes of two phases grows or
// folds the card: the strip keeps its width and the panel opens in what is left. Mouse
// events the card's own controls do not take go on to the parent.
class NoteFormView : public QWidget
{
    Q_OBJECT

public:
    NoteFormView(Note *note, ScreenEdge edge, const NoteCardActions &actions,
                 const NoteSurfaceEnvironment &environment, QWidget *parent = nullptr);
    ~NoteFormView() override;

    Note *note() const { return m_note; }
    ScreenEdge edge() const { return m_edge; }

    const NoteCardState &state() const { return m_state; }
    void setState(const NoteCardState &state);
    NotePhase phase() const { return m_state.phase; }

    void setActions(const NoteCardActions &actions);
    const NoteSurfaceEnvironment &environment() const { return m_environment; }
    void setEnvironment(const NoteSurfaceEnvironment &environment);

    // The size of the card for its state: what the rail gives its frame at rest.
    QSizeF cardSize() const;
    // The visible card in the parent's coordinates.
    QRectF cardFrame() const { return m_frame; }
    void setCardFrame(const QRectF &frame);
    // Resizes the frame to `cardSize()`, keeping its top and its screen-edge side.
    void fitCardFrame();
    // The visible card in the widget's own coordinates.
    QRectF cardRect() const;
    // The card's geometry in the parent's coordinates.
    NoteCardChrome chrome() const;
    // Whether `point` (parent coordinates) is on the card's paper.
    bool hitTest(const QPointF &point) const;

    // The paint the card is drawn in: the note's colour for the scheme, washed out if dimmed.
    const NotePaint &paint() const { return m_paint; }
    // The title on the tab.
    const QString &title() const { return m_title; }
    // Paints the card's chrome (not the open card's content) in the parent's coordinates,
    // so a host can draw cards without showing their widgets.
    void paintCard(QPainter &painter);

    // The content of the open card, while it has one.
    NotePreviewBody *previewBody() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void applyState(const NoteCardState &state);
    void refreshPaint();
    void refreshTitle();
    void relayout();
    void syncPanel();
    void createPanel();
    void removePanel();

    QPointer<Note> m_note;
    ScreenEdge m_edge;
    NoteCardActions m_actions;
    NoteSurfaceEnvironment m_environment;
    NoteCardState m_state;
    QRectF m_frame;
    NotePaint m_paint;
    QString m_title;
    NoteCardPainter m_painter;

    QGraphicsView *m_panelView = nullptr;
    QGraphicsScene *m_panelScene = nullptr;
    QGraphicsRectItem *m_panelClip = nullptr;
    QGraphicsProxyWidget *m_panelProxy = nullptr;
    QPointer<NotePreviewBody> m_body;
};
