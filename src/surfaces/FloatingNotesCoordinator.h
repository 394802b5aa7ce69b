// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/FloatingWindows.h"
#include "model/NoteCommands.h"
#include "platform/Subscription.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSizeF>
#include <QUuid>

#include <chrono>
#include <memory>
#include <optional>

class FloatingNotePanel;
class FloatingNotePressRouter;
class ModelContainer;
class Note;
class UserDefaults;
class WindowSystem;

// Owns the floating note windows, at most one per note (by the note's id), and remembers
// where each was left so that it reopens there, also after a restart.
//
// It never marks a note as floating itself: the note command that tears a note off does
// that and then asks for the window. The card actions of a window take the note back to
// its edge ("Cerrar", which also forgets the window's place), mark it done, move it to the
// trash or recolour it.
class FloatingNotesCoordinator : public QObject, public FloatingWindows
{
    Q_OBJECT

public:
    static constexpr QSizeF windowSize{380, 340};
    // A window's place and size are written once it has been still this long: when a move
    // or a resize ends, not at each of its steps.
    static constexpr std::chrono::milliseconds settleDelay{400};

    // `windows` must outlive the coordinator. The views get `environment` with the main
    // context of `container`; the places of the windows are kept in its settings.
    FloatingNotesCoordinator(ModelContainer *container, WindowSystem &windows,
                             const NoteSurfaceEnvironment &environment = {},
                             QObject *parent = nullptr);
    ~FloatingNotesCoordinator() override;

    ModelContainer *container() const { return m_container; }

    // Shows the note's window: the one already open, brought to the front, or a new one at
    // the note's remembered place and size or, without one, at the next place of the
    // cascade.
    void open(Note *note) override;
    void closeWindow(Note *note) override;
    // Hides the window of the note with `noteId`, if one is open; changes no note.
    void close(const QUuid &noteId);
    // Hides every window and changes no note, so `restore` brings them back where they were.
    void closeAll();
    // Opens the window of every floating note that is not in the trash, done or archived.
    void restore();
    // Follows changes that came into the store from elsewhere (another computer): a note
    // that became floating there gets its window, one docked or trashed there loses it.
    // Windows closed here while their note stays floating are left closed.
    void followStore();
    // Writes the places of the windows moved or resized since the last write.
    void writePlaces();

    FloatingNotePanel *panel(const QUuid &noteId) const;
    qsizetype count() const { return m_panels.size(); }
    QList<QUuid> noteIds() const { return m_panels.keys(); }

    // The callbacks of the window of `note`. They hold the coordinator and the note weakly
    // and do nothing once either is gone.
    NoteCardActions actions(Note *note);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeChanged(const QUuid &noteId);
    void writePlace(const QUuid &noteId);
    void writeUnwrittenPlaces();
    // Back to the note's edge: no longer floating, window closed, context saved.
    void dock(Note *note);
    void save();
    UserDefaults &settings() const { return m_environment.settings(); }

    QPointer<ModelContainer> m_container;
    WindowSystem &m_windows;
    NoteSurfaceEnvironment m_environment;
    // Children of the coordinator; a closed window is deleted once the event that closed
    // it (possibly a click inside it) is over.
    QHash<QUuid, FloatingNotePanel *> m_panels;
    // The floating notes outside the trash, done and archived notes as the store last held
    // them.
    QSet<QUuid> m_floatingInStore;
    // Windows moved or resized whose place is not written yet.
    QSet<QUuid> m_unwrittenPlaces;
    std::optional<Subscription> m_placeTimer;
    // Where the desktop can give a note's clicks to the window under it.
    std::unique_ptr<FloatingNotePressRouter> m_pressRouter;
};
