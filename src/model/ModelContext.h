// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Note.h"
#include "model/NotePredicate.h"
#include "model/SqliteDatabase.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <optional>

class ModelContainer;
struct SavedChanges;

// A working set of notes over the container's store, for one thread. Holds one object
// per record (identity map), remembers inserts, changes and deletions until `save()`,
// and keeps them when a save fails.
class ModelContext : public QObject
{
    Q_OBJECT

public:
    ~ModelContext() override;

    bool isValid() const { return m_database.isOpen(); }
    ModelContainer *container() const { return m_container; }

    // Takes ownership; the note gets its persistent identifier at once.
    Note *insert(std::unique_ptr<Note> note);
    // Deletes the record at the next save. The object stays valid while the context lives.
    void remove(Note *note);

    Expected<QList<Note *>, StoreError> fetch(const FetchDescriptor &descriptor);
    Expected<int, StoreError> fetchCount(const NotePredicate &predicate);
    // The object of a record, if this context holds it.
    Note *registeredModel(PersistentIdentifier identifier) const;

    Expected<void, StoreError> save();
    // From now on a save writes nothing, and fails with `StoreError::rowChanged`, when a
    // row it updates or deletes changed in the store since this context loaded it: a
    // writer that merged its values from an earlier read must not overwrite a newer save.
    void setSavesOnlyUnchangedRows(bool guarded) { m_guardRows = guarded; }
    // The store's version of the row as this context last loaded or saved it; every write
    // of a record gives it a new random version (column `rowVersion`), so whoever keeps
    // the version it last saw can tell whether the record changed since.
    qint64 storedVersion(const Note *note) const;
    bool hasChanges() const;
    // Whether an editor holds the note open (see `NoteEditingHold`): work that deletes
    // notes on its own leaves such a note alone, since the editor may hold text that is
    // not written yet.
    bool isHeldForEditing(const Note *note) const;

    // Reloads what other contexts or processes changed; emits `remoteChange` if anything
    // did. Called on its own when the container reports a change.
    void processExternalChanges(bool force = false);

Q_SIGNALS:
    void didSave();
    // The store was changed outside this context.
    void remoteChange();

private:
    friend class ModelContainer;
    friend class Note;
    friend class NoteEditingHold;
    explicit ModelContext(ModelContainer *container);
    Expected<void, StoreError> open();

    void noteDidChange(Note *note, Note::Field field);
    void mergeChanges(const SavedChanges &changes);
    void forget(Note *note);
    Note *materialise(const SqliteStatement &row);
    void loadRow(Note *note, const SqliteStatement &row);
    Expected<void, StoreError> writeChanges();
    Expected<void, StoreError> writeNote(Note *note, quint32 fields, bool isNew);
    Expected<void, StoreError> deleteRows();
    static StoreError rowChanged();
    qint64 newRowVersion();
    qint64 dataVersion();
    qint64 newPrimaryKey();

    ModelContainer *m_container;
    SqliteDatabase m_database;
    QHash<qint64, Note *> m_registered;
    QSet<Note *> m_inserted;
    // Changed notes with the fields changed, one bit per field.
    QHash<Note *, quint32> m_updated;
    QSet<Note *> m_deleted;
    QHash<Note *, qint64> m_pendingVersions;
    bool m_guardRows = false;
    qint64 m_lastDataVersion = 0;
    // Editing holds per persistent identifier.
    QHash<qint64, int> m_editingHolds;
};

// Marks a note as open in an editor for as long as it lives. A note not yet in a
// context, or whose context is gone, is simply not held.
class NoteEditingHold
{
public:
    explicit NoteEditingHold(const Note *note);
    ~NoteEditingHold();
    NoteEditingHold(const NoteEditingHold &) = delete;
    NoteEditingHold &operator=(const NoteEditingHold &) = delete;

private:
    QPointer<ModelContext> m_context;
    qint64 m_key = 0;
};
