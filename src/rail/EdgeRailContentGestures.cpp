// SPDX-License-Identifier: GPL-3.0-or-later
// EdgeRailContent's answers to the user's hand on the cards: presses, drags and releases
// (open or reorder), the context menu and the card actions, and a click into an open
// card's editor. Layout, painting, waking and the notes themselves are in
// EdgeRailContent.cpp.
#include "rail/EdgeRailContent.h"

#include "model/Note.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteFormView.h"
#include "surfaces/NotePreviewBody.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

NoteCardActions EdgeRailContent::cardActions(Note *note)
{
    const QPointer<EdgeRailContent> self(this);
    const QPointer<Note> target(note);
    NoteCardActions actions;
    actions.open = [self, target] {
        if (!self || !target)
            return;
        if (self->m_commands.open)
            self->m_commands.open(target);
        if (self)
            self->closePreview();
    };
    actions.close = [self] {
        if (self)
            self->closePreview();
    };
    actions.complete = [self, target] {
        if (!self || !target)
            return;
        if (self->m_commands.complete)
            self->m_commands.complete(target);
        if (self)
            self->closePreview();
    };
    actions.remove = [self, target] {
        if (!self || !target)
            return;
        if (self->m_commands.remove)
            self->m_commands.remove(target);
        if (self)
            self->closePreview();
    };
    actions.recolor = [self, target](NoteColor color) {
        if (self && target && self->m_commands.recolor)
            self->m_commands.recolor(target, color);
    };
    return actions;
}

QMenu *EdgeRailContent::makeContextMenu(Note *note, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const QPointer<EdgeRailContent> self(this);
    const QPointer<Note> target(note);
    const ScreenEdge other = ScreenEdges::opposite(m_edge);
    const auto run = [self, target](std::function<void(Note *)> NoteCommands::*command) {
        return [self, target, command] {
            if (self && target && (self->m_commands.*command))
                (self->m_commands.*command)(target);
        };
    };
    menu->addAction(other == ScreenEdge::right ? QStringLiteral("Mover al borde derecho")
                                               : QStringLiteral("Mover al borde izquierdo"),
                    [self, target, other] {
                        if (self && target && self->m_commands.move)
                            self->m_commands.move(target, other);
                    });
    menu->addAction(QStringLiteral("Marcar como hecha"), run(&NoteCommands::complete));
    menu->addAction(QStringLiteral("Archivar"), run(&NoteCommands::archive));
    menu->addSeparator();
    QAction *remove = menu->addAction(QStringLiteral("Borrar"), run(&NoteCommands::remove));
    remove->setObjectName(QStringLiteral("destructive"));
    return menu;
}

// --- Gestures ---

std::optional<int> EdgeRailContent::cardIndexAt(const QPointF &point) const
{
    for (auto it = m_stack.crbegin(); it != m_stack.crend(); ++it) {
        const auto *view = qobject_cast<const NoteFormView *>(*it);
        if (view == nullptr || !view->hitTest(point))
            continue;
        for (int i = 0; i < m_cards.size(); ++i) {
            if (m_cards[i].view == view)
                return i;
        }
    }
    return std::nullopt;
}

void EdgeRailContent::mousePressEvent(QMouseEvent *event)
{
    // A new press means the button went up since the last one, even when that release
    // never reached us (another program grabbed the pointer mid-drag).
    if (event->button() == Qt::LeftButton && m_gesture)
        abandonGesture();
    if (event->button() != Qt::LeftButton || m_retired) {
        event->ignore();
        return;
    }
    const std::optional<int> index = cardIndexAt(event->position());
    if (!index) {
        event->ignore();
        return;
    }
    const Card &card = m_cards[*index];
    event->accept();
    // On the open card only its own controls act: a press on its paper or tab neither
    // starts a drag nor reaches what lies behind.
    if (card.noteID == m_previewNoteID)
        return;
    m_gesture = Gesture{card.note, card.noteID, event->position()};
}

void EdgeRailContent::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_gesture) {
        event->ignore();
        return;
    }
    event->accept();
    if (!event->buttons().testFlag(Qt::LeftButton)) {
        abandonGesture();
        return;
    }
    if (m_drag.change(m_gesture->noteID, event->position().y() - m_gesture->start.y()))
        refresh();
}

void EdgeRailContent::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_gesture || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    finishGesture(event->position().y() - m_gesture->start.y());
}

void EdgeRailContent::abandonGesture()
{
    // Where the button went up is unknown: nothing moves and nothing opens.
    m_gesture.reset();
    m_drag.reset();
    refresh();
}

void EdgeRailContent::finishGesture(double dy)
{
    const Gesture gesture = *std::exchange(m_gesture, std::nullopt);
    const auto found = std::find_if(m_cards.cbegin(), m_cards.cend(), [&](const Card &card) {
        return card.note == gesture.note && card.noteID == gesture.noteID;
    });
    if (found == m_cards.cend() || !gesture.note) {
        m_drag.reset();
        refresh();
        return;
    }
    const int index = int(found - m_cards.cbegin());
    QList<double> sortIndexes;
    sortIndexes.reserve(m_cards.size());
    for (const Card &card : std::as_const(m_cards))
        sortIndexes.append(card.note ? card.note->sortIndex() : 0);
    const RailDrag::Outcome outcome =
        m_drag.end(gesture.noteID, index, dy, sortIndexes, geometry().dragStep());
    switch (outcome.kind) {
    case RailDrag::Outcome::Kind::open:
        openPreview(outcome.noteID);
        return;
    case RailDrag::Outcome::Kind::reorder:
        if (m_commands.reorder)
            m_commands.reorder(gesture.note, outcome.sortIndex);
        break;
    case RailDrag::Outcome::Kind::none:
        break;
    }
    refresh();
}

void EdgeRailContent::contextMenuEvent(QContextMenuEvent *event)
{
    const std::optional<int> index = cardIndexAt(event->pos());
    if (!index || !m_cards[*index].note || m_retired) {
        event->ignore();
        return;
    }
    QMenu *menu = makeContextMenu(m_cards[*index].note, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void EdgeRailContent::watchEditor(NoteFormView *view)
{
    NotePreviewBody *body = view->previewBody();
    NoteEditorView *editor = body != nullptr ? body->editor() : nullptr;
    if (editor == nullptr)
        return;
    editor->viewport()->installEventFilter(this);
}

bool EdgeRailContent::eventFilter(QObject *watched, QEvent *event)
{
    // Only open cards' editors are watched: a click into one means typing is wanted.
    if (event->type() == QEvent::MouseButtonPress && !m_retired)
        Q_EMIT wantsKeyboard();
    return QWidget::eventFilter(watched, event);
}
