// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotesCoordinator.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NotePredicate.h"
#include "model/UserDefaults.h"
#include "rail/WindowSystem.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/FloatingNotePanel.h"
#include "surfaces/FloatingNotePositions.h"
#include "surfaces/FloatingNotePressRouter.h"
#include "surfaces/NoteWindowView.h"

#include <QDateTime>
#include <QEvent>
#include <tuple>

namespace {

// On the content of each window: the note it shows, for the resize events it sends.
constexpr char noteIdProperty[] = "orletteFloatingNoteId";

} // namespace

FloatingNotesCoordinator::FloatingNotesCoordinator(ModelContainer *container, WindowSystem &windows,
                                                   const NoteSurfaceEnvironment &environment,
                                                   QObject *parent)
    : QObject(parent), m_container(container), m_windows(windows), m_environment(environment)
{
    m_environment.context = container != nullptr ? container->mainContext() : nullptr;
    if (!m_environment.shadows)
        m_environment.shadows = std::make_shared<CardShadowCache>();
    if (m_environment.context) {
        connect(m_environment.context, &ModelContext::remoteChange, this,
                &FloatingNotesCoordinator::followStore);
    }
    if (FloatingNotePressRouter::isNeeded()) {
        m_pressRouter = std::make_unique<FloatingNotePressRouter>([this] {
            QList<NoteWindowView *> views;
            for (const FloatingNotePanel *window : std::as_const(m_panels))
                views << window->view();
            return views;
        });
    }
}

FloatingNotesCoordinator::~FloatingNotesCoordinator()
{
    writePlaces();
    // The windows go first, while everything their editors write through still exists.
    const QList<FloatingNotePanel *> panels =
        findChildren<FloatingNotePanel *>(QString(), Qt::FindDirectChildrenOnly);
    m_panels.clear();
    m_pressRouter.reset();
    qDeleteAll(panels);
}

void FloatingNotesCoordinator::open(Note *note)
{
    if (note == nullptr)
        return;
    const QUuid id = note->id();
    if (FloatingNotePanel *existing = panel(id)) {
        existing->orderFrontRegardless();
        return;
    }
    const QPointF origin =
        FloatingNotePositions::load(id, settings())
            .value_or(FloatingNotePositions::defaultOrigin(m_panels.size(), windowSize, m_windows));
    // The origin is the bottom-left corner: with the size it was given, the window's top
    // edge comes back where it was too.
    const QSizeF size =
        FloatingNotePositions::loadSize(id, FloatingNotePanel::minimumSize, settings())
            .value_or(windowSize);

    auto view = std::make_unique<NoteWindowView>(note, actions(note), m_environment);
    NoteWindowView *content = view.get();
    auto *window = new FloatingNotePanel(m_windows, QRectF(origin, size), std::move(view), this);
    const QPointer<FloatingNotesCoordinator> self(this);
    window->onMoved = [self, id](const QPointF &) {
        if (self)
            self->placeChanged(id);
    };
    // A resize that keeps the bottom-left corner (the right or the top edge dragged) is not
    // a move: the content's resize tells.
    if (content != nullptr) {
        content->setProperty(noteIdProperty, id);
        content->installEventFilter(this);
    }
    // A note whose object goes away (its context closed) takes its window with it.
    connect(note, &QObject::destroyed, window, [this, id, window] {
        if (panel(id) == window)
            close(id);
    });

    window->orderFrontRegardless();
    m_panels.insert(id, window);
}

void FloatingNotesCoordinator::closeWindow(Note *note)
{
    if (note != nullptr)
        close(note->id());
}

void FloatingNotesCoordinator::close(const QUuid &noteId)
{
    // A window closed right after a move keeps that place.
    if (m_unwrittenPlaces.contains(noteId))
        writePlace(noteId);
    FloatingNotePanel *window = m_panels.take(noteId);
    if (window == nullptr)
        return;
    if (window->view())
        window->view()->removeEventFilter(this);
    // A window on its way out does not store its place again.
    window->onMoved = nullptr;
    window->orderOut();
    window->deleteLater();
}

void FloatingNotesCoordinator::closeAll()
{
    writePlaces();
    const QList<QUuid> ids = m_panels.keys();
    for (const QUuid &id : ids)
        close(id);
    m_panels.clear();
}

namespace {

std::optional<QList<Note *>> floatingNotes(ModelContainer *container)
{
    ModelContext *context = container ? container->mainContext() : nullptr;
    if (context == nullptr)
        return std::nullopt;
    FetchDescriptor descriptor;
    // Done and archived notes are off the desktop as trashed ones are, even when they were
    // marked so on another computer while they floated here.
    descriptor.predicate = NotePredicate::equals(Note::Field::isFloating, true) &&
                           NotePredicate::isNull(Note::Field::deletedAt) &&
                           NotePredicate::isNull(Note::Field::completedAt) &&
                           NotePredicate::equals(Note::Field::isArchived, false);
    auto fetched = context->fetch(descriptor);
    if (!fetched)
        return std::nullopt;
    return std::move(fetched).value();
}

} // namespace

void FloatingNotesCoordinator::restore()
{
    const std::optional<QList<Note *>> notes = floatingNotes(m_container);
    if (!notes)
        return;
    m_floatingInStore.clear();
    for (Note *note : *notes) {
        m_floatingInStore.insert(note->id());
        open(note);
    }
}

void FloatingNotesCoordinator::followStore()
{
    const std::optional<QList<Note *>> notes = floatingNotes(m_container);
    if (!notes)
        return;
    QSet<QUuid> floating;
    for (Note *note : *notes) {
        floating.insert(note->id());
        // A window open already (torn off here) is not brought forward.
        if (!m_floatingInStore.contains(note->id()) && !m_panels.contains(note->id()))
            open(note);
    }
    for (const QUuid &id : std::as_const(m_floatingInStore)) {
        if (!floating.contains(id))
            close(id);
    }
    m_floatingInStore = floating;
}

void FloatingNotesCoordinator::writePlaces()
{
    m_placeTimer.reset();
    writeUnwrittenPlaces();
}

void FloatingNotesCoordinator::writeUnwrittenPlaces()
{
    const QList<QUuid> ids(m_unwrittenPlaces.cbegin(), m_unwrittenPlaces.cend());
    for (const QUuid &id : ids)
        writePlace(id);
}

bool FloatingNotesCoordinator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        const QVariant id = watched->property(noteIdProperty);
        if (id.isValid())
            placeChanged(id.toUuid());
    }
    return QObject::eventFilter(watched, event);
}

void FloatingNotesCoordinator::placeChanged(const QUuid &noteId)
{
    if (!m_panels.contains(noteId))
        return;
    m_unwrittenPlaces.insert(noteId);
    // Every step of a move or resize starts the wait again; the write comes once it ends.
    const QPointer<FloatingNotesCoordinator> self(this);
    m_placeTimer = m_windows.scheduleOnce(settleDelay, [self] {
        if (self)
            self->writeUnwrittenPlaces();
    });
}

void FloatingNotesCoordinator::writePlace(const QUuid &noteId)
{
    m_unwrittenPlaces.remove(noteId);
    const FloatingNotePanel *window = panel(noteId);
    if (window == nullptr)
        return;
    FloatingNotePositions::saveFrame(noteId, window->panel().frame(), settings());
}

FloatingNotePanel *FloatingNotesCoordinator::panel(const QUuid &noteId) const
{
    return m_panels.value(noteId, nullptr);
}

NoteCardActions FloatingNotesCoordinator::actions(Note *note)
{
    const QPointer<FloatingNotesCoordinator> weak(this);
    const QPointer<Note> target(note);
    const auto now = [] { return QDateTime::currentDateTimeUtc(); };

    NoteCardActions actions;
    // The note is open already.
    actions.open = [] {};
    actions.close = [weak, target] {
        if (!weak || !target)
            return;
        weak->m_unwrittenPlaces.remove(target->id());
        target->setIsFloating(false);
        FloatingNotePositions::forget(target->id(), weak->settings());
        weak->dock(target);
    };
    actions.complete = [weak, target, now] {
        if (!weak || !target)
            return;
        if (target->isCompleted()) {
            // "Reabrir" on a note marked done elsewhere while it floated: it is no longer
            // done and stays where it is.
            target->setCompletedAt(std::nullopt);
            weak->save();
            return;
        }
        target->setCompletedAt(now());
        weak->dock(target);
    };
    actions.remove = [weak, target, now] {
        if (!weak || !target)
            return;
        target->setDeletedAt(now());
        weak->dock(target);
    };
    actions.recolor = [weak, target, now](NoteColor color) {
        if (!weak || !target)
            return;
        target->setColor(color);
        target->setUpdatedAt(now());
        weak->save();
    };
    return actions;
}

void FloatingNotesCoordinator::dock(Note *note)
{
    note->setIsFloating(false);
    close(note->id());
    save();
}

void FloatingNotesCoordinator::save()
{
    if (m_container)
        std::ignore = m_container->mainContext()->save();
}
