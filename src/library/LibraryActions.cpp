// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryActions.h"

#include "model/FloatingWindows.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include <tuple>

namespace {

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace

QList<LibraryActions::MenuEntry> LibraryActions::menu(LibraryFilter section)
{
    auto entry = [](Item item, bool separatorBefore = false) {
        return MenuEntry{item, text(item), item == Item::moveToTrash || item == Item::deleteForever,
                         separatorBefore};
    };
    switch (section) {
    case LibraryFilter::pinned:
        return {entry(Item::markDone), entry(Item::archive), entry(Item::moveToTrash, true)};
    case LibraryFilter::completed:
        return {entry(Item::returnToScreen), entry(Item::archive), entry(Item::moveToTrash, true)};
    case LibraryFilter::archived:
        return {entry(Item::returnToScreen), entry(Item::moveToTrash, true)};
    case LibraryFilter::trashed:
        return {entry(Item::restore), entry(Item::deleteForever, true)};
    }
    return {};
}

QString LibraryActions::text(Item item)
{
    switch (item) {
    case Item::markDone:
        return QStringLiteral("Marcar como hecha");
    case Item::archive:
        return QStringLiteral("Archivar");
    case Item::returnToScreen:
        return QStringLiteral("Devolver a la pantalla");
    case Item::moveToTrash:
        return QStringLiteral("Mover a la papelera");
    case Item::restore:
        return QStringLiteral("Restaurar");
    case Item::deleteForever:
        return QStringLiteral("Borrar definitivamente");
    }
    return {};
}

bool LibraryActions::offersEmptyTrash(LibraryFilter section, qsizetype listedCount)
{
    return section == LibraryFilter::trashed && listedCount > 0;
}

LibraryActions::LibraryActions(ModelContext *context, FloatingWindows *floating)
    : m_context(context), m_floating(floating)
{
}

void LibraryActions::perform(Item item, LibraryFilter section, Note *note)
{
    switch (item) {
    case Item::markDone:
        markDone(note);
        break;
    case Item::archive:
        archive(note, section);
        break;
    case Item::returnToScreen:
        returnToScreen(note);
        break;
    case Item::moveToTrash:
        moveToTrash(note);
        break;
    case Item::restore:
        restore(note);
        break;
    case Item::deleteForever:
        deleteForever(note);
        break;
    }
}

void LibraryActions::markDone(Note *note)
{
    note->setCompletedAt(now());
    takeOffDesktop(note);
    save();
}

void LibraryActions::archive(Note *note, LibraryFilter section)
{
    if (section == LibraryFilter::completed)
        note->setCompletedAt(std::nullopt);
    note->setIsArchived(true);
    takeOffDesktop(note);
    save();
}

void LibraryActions::returnToScreen(Note *note)
{
    note->setCompletedAt(std::nullopt);
    note->setIsArchived(false);
    // Asked after the two changes, so the note itself may be the last one on its edge.
    if (m_context)
        note->setSortIndex(NoteActions::appendedSortIndex(note->edge(), *m_context));
    save();
}

void LibraryActions::moveToTrash(Note *note)
{
    note->setDeletedAt(now());
    takeOffDesktop(note);
    save();
}

void LibraryActions::takeOffDesktop(Note *note)
{
    if (!note->isFloating())
        return;
    // A note leaving "En pantalla" leaves the desktop too, as when its own window marks it
    // done or trashes it; bringing it back puts it on its rail, not in a window.
    note->setIsFloating(false);
    if (m_floating)
        m_floating->closeWindow(note);
}

void LibraryActions::restore(Note *note)
{
    note->setDeletedAt(std::nullopt);
    save();
}

void LibraryActions::deleteForever(Note *note)
{
    // A list that has not caught up yet may still show a note restored elsewhere.
    if (!m_context || !note->isTrashed())
        return;
    m_context->remove(note);
    save();
}

int LibraryActions::emptyTrash(const QList<Note *> &listed)
{
    if (!m_context)
        return 0;
    int deleted = 0;
    for (Note *note : listed) {
        if (note && note->isTrashed() && !note->isDeleted()) {
            m_context->remove(note);
            ++deleted;
        }
    }
    save();
    return deleted;
}

void LibraryActions::save()
{
    if (m_context)
        std::ignore = m_context->save();
}
