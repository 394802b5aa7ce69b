// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryListModel.h"

#include "model/LiveQuery.h"
#include "model/ModelContext.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <variant>

namespace {

// Past this many row operations a reset costs the views less than the operations.
constexpr int maximumPatchOperations = 48;

struct RemoveRows
{
    int first;
    int last;
};

struct InsertRows
{
    int at;
    QList<Note *> notes;
};

struct MoveRow
{
    int from;
    int to;
};

using RowOperation = std::variant<RemoveRows, InsertRows, MoveRow>;

// The operations that turn `current` into `next`: removals from the end first, then, in
// list order, insertions of runs of new notes and moves of notes that changed place. Empty
// optional when they would be too many.
std::optional<QList<RowOperation>> planPatch(QList<Note *> current, const QList<Note *> &next)
{
    QList<RowOperation> plan;
    const QSet<Note *> wanted(next.cbegin(), next.cend());
    for (int last = int(current.size()) - 1; last >= 0;) {
        if (wanted.contains(current.at(last))) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !wanted.contains(current.at(first - 1)))
            --first;
        plan << RemoveRows{first, last};
        current.remove(first, last - first + 1);
        last = first - 1;
    }

    const QSet<Note *> kept(current.cbegin(), current.cend());
    for (int i = 0; i < next.size();) {
        if (plan.size() > maximumPatchOperations)
            return std::nullopt;
        if (i < current.size() && current.at(i) == next.at(i)) {
            ++i;
            continue;
        }
        if (!kept.contains(next.at(i))) {
            int end = i;
            while (end < next.size() && !kept.contains(next.at(end)))
                ++end;
            const QList<Note *> arriving = next.mid(i, end - i);
            plan << InsertRows{i, arriving};
            current.insert(i, arriving.size(), nullptr);
            std::copy(arriving.cbegin(), arriving.cend(), current.begin() + i);
            i = end;
            continue;
        }
        const int from = int(current.indexOf(next.at(i), i + 1));
        plan << MoveRow{from, i};
        current.move(from, i);
        ++i;
    }
    if (plan.size() > maximumPatchOperations)
        return std::nullopt;
    return plan;
}

} // namespace

LibraryListModel::LibraryListModel(ModelContext *context, QObject *parent)
    : QAbstractListModel(parent), m_context(context)
{
    setQuery(m_filter, m_search);
}

LibraryListModel::~LibraryListModel() = default;

void LibraryListModel::setQuery(LibraryFilter filter, const QString &search)
{
    m_filter = filter;
    m_search = search;
    delete m_query;
    m_query = nullptr;
    if (!m_context) {
        resetTo({});
        return;
    }
    // A fresh query rather than a new descriptor on the old one: should the first fetch
    // fail, the list is empty instead of still showing the previous section's notes.
    m_query = new LiveQuery(m_context, filter.fetchDescriptor(search), this);
    connect(m_query, &LiveQuery::resultsChanged, this, &LibraryListModel::followResults);
    connect(m_query, &LiveQuery::fetchFailed, this, &LibraryListModel::queryFailed);
    resetTo(m_query->results());
    Q_EMIT listChanged();
}

Note *LibraryListModel::noteAt(int row) const
{
    return row >= 0 && row < m_notes.size() ? m_notes.at(row) : nullptr;
}

QModelIndex LibraryListModel::indexOf(const Note *note) const
{
    const qsizetype row = m_notes.indexOf(note);
    return row < 0 ? QModelIndex() : index(int(row));
}

int LibraryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_notes.size());
}

QVariant LibraryListModel::data(const QModelIndex &index, int role) const
{
    Note *note = index.isValid() ? noteAt(index.row()) : nullptr;
    if (!note)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return note->displayTitle();
    case NoteRole:
        return QVariant::fromValue(note);
    default:
        return {};
    }
}

void LibraryListModel::refresh()
{
    if (m_query)
        m_query->refresh();
}

void LibraryListModel::queryFailed()
{
    // Rows the store can no longer confirm would be stale: the section shows itself empty
    // until a fetch works again.
    if (m_notes.isEmpty())
        return;
    resetTo({});
    Q_EMIT listChanged();
}

void LibraryListModel::followResults()
{
    const QList<Note *> next = m_query->results();
    if (next == m_notes)
        return;
    if (!patchTo(next))
        resetTo(next);
    Q_EMIT listChanged();
}

void LibraryListModel::resetTo(const QList<Note *> &notes)
{
    beginResetModel();
    for (Note *note : std::as_const(m_notes))
        unfollow(note);
    m_notes = notes;
    for (Note *note : std::as_const(m_notes))
        follow(note);
    endResetModel();
}

bool LibraryListModel::patchTo(const QList<Note *> &next)
{
    const auto plan = planPatch(m_notes, next);
    if (!plan)
        return false;
    for (const RowOperation &operation : *plan) {
        if (const auto *remove = std::get_if<RemoveRows>(&operation)) {
            beginRemoveRows(QModelIndex(), remove->first, remove->last);
            for (int row = remove->first; row <= remove->last; ++row)
                unfollow(m_notes.at(row));
            m_notes.remove(remove->first, remove->last - remove->first + 1);
            endRemoveRows();
        } else if (const auto *insert = std::get_if<InsertRows>(&operation)) {
            beginInsertRows(QModelIndex(), insert->at, insert->at + int(insert->notes.size()) - 1);
            m_notes.insert(insert->at, insert->notes.size(), nullptr);
            std::copy(insert->notes.cbegin(), insert->notes.cend(), m_notes.begin() + insert->at);
            for (Note *note : insert->notes)
                follow(note);
            endInsertRows();
        } else if (const auto *move = std::get_if<MoveRow>(&operation)) {
            beginMoveRows(QModelIndex(), move->from, move->from, QModelIndex(), move->to);
            m_notes.move(move->from, move->to);
            endMoveRows();
        }
    }
    return true;
}

void LibraryListModel::follow(Note *note)
{
    connect(note, &Note::changed, this, &LibraryListModel::noteChanged);
}

void LibraryListModel::unfollow(Note *note)
{
    disconnect(note, &Note::changed, this, &LibraryListModel::noteChanged);
}

void LibraryListModel::noteChanged(Note::Field field)
{
    // The body and the font decide how tall a row is; the other fields only what it shows.
    const QModelIndex index = indexOf(qobject_cast<Note *>(sender()));
    if (!index.isValid())
        return;
    QList<int> roles{Qt::DisplayRole, NoteRole};
    if (field == Note::Field::plainText)
        roles << Qt::SizeHintRole;
    Q_EMIT dataChanged(index, index, roles);
}
