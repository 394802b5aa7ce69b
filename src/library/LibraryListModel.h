// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/LibraryFilter.h"
#include "model/Note.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QString>

class LiveQuery;
class ModelContext;

// The notes of one library section that match the search, newest change first, following
// the store live. A change of the list (a save anywhere, a change from another computer)
// is passed on as the rows that left, arrived or moved, so the list keeps its scroll
// position; a change of a listed note's fields repaints its row.
class LibraryListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        // The `Note *` of the row.
        NoteRole = Qt::UserRole + 1
    };

    explicit LibraryListModel(ModelContext *context, QObject *parent = nullptr);
    ~LibraryListModel() override;

    LibraryFilter filter() const { return m_filter; }
    const QString &search() const { return m_search; }
    // A new section or search is a new list with a query of its own.
    void setQuery(LibraryFilter filter, const QString &search);

    // Fetches again, to show changes that are in the context but did not reach the store
    // (a failed save).
    void refresh();

    const QList<Note *> &notes() const { return m_notes; }
    Note *noteAt(int row) const;
    QModelIndex indexOf(const Note *note) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The listed notes changed (some left, arrived or moved).
    void listChanged();

private:
    void followResults();
    void queryFailed();
    void resetTo(const QList<Note *> &notes);
    // Brings `m_notes` to `next` with few row operations; false when that would take so
    // many that a reset is cheaper, in which case nothing was changed.
    bool patchTo(const QList<Note *> &next);
    void follow(Note *note);
    void unfollow(Note *note);
    void noteChanged(Note::Field field);

    QPointer<ModelContext> m_context;
    LibraryFilter m_filter = LibraryFilter::pinned;
    QString m_search;
    LiveQuery *m_query = nullptr;
    QList<Note *> m_notes;
};
