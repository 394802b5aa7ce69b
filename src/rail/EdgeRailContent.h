// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteCommands.h"
#include "model/ScreenEdge.h"
#include "platform/Subscription.h"
#include "rail/RailChipSnapshot.h"
#include "rail/RailDrag.h"
#include "rail/RailEnvironment.h"
#include "rail/RailGeometry.h"
#include "rail/RegionKey.h"
#include "rail/Spring.h"

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class AnimationClock;
class CardShadowCache;
class NewNoteTabView;
class Note;
class NoteFormView;
class QMenu;
class SpringAnimator;
struct NoteSurfaceEnvironment;

// The inside of one rail panel: a card per note of the edge and the new-note tab, and the
// rail's small state machine around them. Asleep, the notes are thin chips at the screen
// edge; the pointer resting by the edge wakes the rail and the tabs fan out; a click opens a
// note in place; a click anywhere else folds it back. Dragging a tab reorders the rail.
//
// Coordinates are the rail's: points, origin at the top-left of the panel, which the content
// fills. The content is transparent; only the cards are drawn. While the rail sleeps the
// cards' widgets are hidden and the content paints the chips itself from one cached picture.
//
// The rail never changes notes itself: every change goes through `NoteCommands`.
class EdgeRailContent : public QWidget
{
    Q_OBJECT

public:
    EdgeRailContent(ScreenEdge edge, const NoteCommands &commands,
                    const RailEnvironment &environment, QWidget *parent = nullptr);
    ~EdgeRailContent() override;

    ScreenEdge edge() const { return m_edge; }
    const RailEnvironment &environment() const { return m_environment; }

    // The notes of the edge in sort order. Cards are kept per note across changes.
    const QList<Note *> &notes() const { return m_notes; }
    void setNotes(const QList<Note *> &notes);

    // View state.
    bool isAwake() const { return m_isAwake; }
    std::optional<QUuid> previewNoteID() const { return m_previewNoteID; }
    std::optional<QUuid> hoveredNoteID() const { return m_hoveredNoteID; }
    std::optional<QUuid> focusNoteID() const { return m_focusNoteID; }
    bool isAddHovered() const { return m_isAddHovered; }
    std::optional<QUuid> draggingNoteID() const { return m_drag.draggingNoteID(); }
    double dragOffset() const { return m_drag.dragOffset(); }
    bool dragExceededThreshold() const { return m_drag.dragExceededThreshold(); }
    // Whether a delayed wake is pending.
    bool isWakePending() const { return m_wakeTask.isActive(); }
    // The content's measured size; empty until first measured.
    QSizeF railSize() const { return m_railSize; }
    // The geometry of the rail for the current state.
    RailGeometry geometry() const;

    // The pointer moved to `location` (rail coordinates), or left the rail.
    void pointerMoved(std::optional<QPointF> location);
    // Folds the open note, if any.
    void closePreview();
    // Opens the note in place without focusing its editor, as a click on its tab does.
    void openPreview(const QUuid &noteID);
    // The new-note tab's action: creates a note on this edge and opens it with its editor
    // focused.
    void createNote();
    // Publishes the mouse-taking rectangles of the current layout.
    void publishRegions();

    // The card widgets, in the order of `notes()`.
    QList<NoteFormView *> cards() const;
    NoteFormView *card(const QUuid &noteID) const;
    NewNoteTabView *addTab() const { return m_addTab; }
    // The card on top at `point`, as an index into `notes()`.
    std::optional<int> cardIndexAt(const QPointF &point) const;
    // The actions handed to the card of `note`.
    NoteCardActions cardActions(Note *note);
    // The context menu of the card of `note` (owned by `parent`).
    QMenu *makeContextMenu(Note *note, QWidget *parent);

    // Whether the chips are painted by the content from its cached picture (a resting, sleeping
    // rail) rather than by the cards' own widgets.
    bool paintsChips() const { return m_paintsChips; }
    // Whether any card or the new-note tab is still moving.
    bool isAnimating() const;

    // Stops reacting to the shared objects and publishes nothing more: the content is about to
    // be replaced by a fresh one and must not disturb it.
    void retire();

Q_SIGNALS:
    // A note was opened to be typed into (a new note, a focus request, a click into an open
    // card's editor): the panel should take the keyboard, which it otherwise never does.
    void wantsKeyboard();
    // The view state changed.
    void stateChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Card
    {
        QPointer<Note> note;
        QUuid noteID;
        NoteFormView *view = nullptr;
        SpringAnimator *motion = nullptr;
        QRectF target;
    };
    struct Gesture
    {
        QPointer<Note> note;
        QUuid noteID;
        QPointF start;
    };

    // State changes without side effects beyond the reactions the rail owes them; callers
    // finish with `refresh()`.
    void movePointer(std::optional<QPointF> location);
    void setPreview(std::optional<QUuid> noteID);
    void settleAwake();
    void wake();
    void wakeTaskFired();
    void cancelWake();
    void handleFocusRequest();
    void forgetMissingNotes();

    // Brings the cards, the new-note tab and the published regions to the current state.
    void refresh();
    void layoutCards(const RailGeometry &geometry, std::optional<Spring> spring);
    void layoutAddTab(const RailGeometry &geometry, std::optional<Spring> spring);
    void updateAddTabVisibility();
    void restack(const RailGeometry &geometry);
    void updateChipPainting();
    void motionFinished();
    void paintChips(QPainter &painter);
    QRect chipArea() const;

    Card makeCard(Note *note);
    void dropCard(Card &card);
    NoteSurfaceEnvironment surfaceEnvironment() const;
    void watchEditor(NoteFormView *view);
    void abandonGesture();
    void finishGesture(double dy);
    bool anyMouseButtonPressed() const;
    std::optional<QPointF> pointerLocation() const;
    void readDefaultEdge();

    const ScreenEdge m_edge;
    NoteCommands m_commands;
    RailEnvironment m_environment;
    QPointer<AnimationClock> m_clock;
    std::shared_ptr<CardShadowCache> m_shadows;

    QList<Note *> m_notes;
    QList<Card> m_cards;
    NewNoteTabView *m_addTab = nullptr;
    SpringAnimator *m_addTabMotion = nullptr;
    QRectF m_addTabTarget;
    bool m_addTabShows = false;
    QList<QWidget *> m_stack;

    // View state.
    std::optional<QUuid> m_previewNoteID;
    std::optional<QUuid> m_hoveredNoteID;
    bool m_isAwake = false;
    bool m_isAddHovered = false;
    Subscription m_wakeTask;
    std::optional<QUuid> m_focusNoteID;
    QSizeF m_railSize;
    RailDrag m_drag;
    std::optional<ScreenEdge> m_defaultEdge;
    std::optional<Gesture> m_gesture;

    // What the cards were last laid out for.
    std::optional<RailGeometry> m_shown;
    bool m_cardsChanged = true;
    std::optional<RegionKey> m_regionKey;
    bool m_regionAddTab = false;
    bool m_appeared = false;
    bool m_retired = false;
    bool m_refreshing = false;
    bool m_refreshAgain = false;

    // Chips of a resting, sleeping rail are painted here rather than by the cards.
    bool m_paintsChips = true;
    // Cards still folding back from an awake rail keep their widgets until they rest.
    bool m_settling = false;
    RailChipSnapshot m_chips;
};
