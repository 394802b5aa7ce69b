// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/LibraryFilter.h"

#include <QList>
#include <QPointer>
#include <QString>

class FloatingWindows;
class ModelContext;
class Note;

// What the library's menus do to notes: they move notes between the sections and never
// touch their text or `updatedAt`. Each action saves; a failed save leaves the change in
// the context for the next save.
class LibraryActions
{
public:
    enum class Item
    {
        markDone,
        archive,
        returnToScreen,
        moveToTrash,
        restore,
        deleteForever
    };

    struct MenuEntry
    {
        Item item;
        QString text;
        bool destructive = false;
        // A separator stands between this entry and the one before.
        bool separatorBefore = false;
    };

    // The context menu of a note listed in `section`, in order.
    static QList<MenuEntry> menu(LibraryFilter section);
    static QString text(Item item);
    // The toolbar button of the trash, shown only while the trash lists some note.
    static inline const QString emptyTrashText = QStringLiteral("Vaciar papelera");
    static bool offersEmptyTrash(LibraryFilter section, qsizetype listedCount);

    // `floating` may be null; it must outlive the actions.
    LibraryActions(ModelContext *context, FloatingWindows *floating);

    // The menu item `item` on a note listed in `section`.
    void perform(Item item, LibraryFilter section, Note *note);

    void markDone(Note *note);
    // From the completed section the note also stops being done.
    void archive(Note *note, LibraryFilter section);
    // Back on its edge, after the last note there.
    void returnToScreen(Note *note);
    void moveToTrash(Note *note);
    void restore(Note *note);
    // Only a note in the trash is deleted for good.
    void deleteForever(Note *note);
    // Deletes the listed notes that are in the trash, with one save; returns how many.
    int emptyTrash(const QList<Note *> &listed);

private:
    void save();
    void takeOffDesktop(Note *note);

    QPointer<ModelContext> m_context;
    FloatingWindows *m_floating;
};
