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
#include "surfaces/NoteWindowView.h"

#include <QDateTime>

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
}

FloatingNotesCoordinator::~FloatingNotesCoordinator()
{
    // The windows go first, while everything their editors write through still exists.
    const QList<FloatingNotePanel *> panels =
        findChildren<FloatingNotePanel *>(QString(), Qt::FindDirectChildrenOnly);
    m_panels.clear();
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

    auto view = std::make_unique<NoteWindowView>(note, actions(note), m_environment);
    auto *window =
        new FloatingNotePanel(m_windows, QRectF(origin, windowSize), std::move(view), this);
    window->onMoved = [defaults = QPointer<UserDefaults>(&settings()), id](const QPointF &moved) {
        if (defaults)
            FloatingNotePositions::save(id, moved, *defaults);
    };
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
    FloatingNotePanel *window = m_panels.take(noteId);
    if (window == nullptr)
        return;
    // A window on its way out does not store its place again.
    window->onMoved = nullptr;
    window->orderOut();
    window->deleteLater();
}

void FloatingNotesCoordinator::closeAll()
{
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
    descriptor.predicate = NotePredicate::equals(Note::Field::isFloating, true) &&
                           NotePredicate::isNull(Note::Field::deletedAt);
    return context->fetch(descriptor);
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
        m_container->mainContext()->save();
}
