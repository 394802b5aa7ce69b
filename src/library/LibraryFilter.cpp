// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryFilter.h"

namespace {

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

const QList<LibraryFilter> &LibraryFilter::allCases()
{
    static const QList<LibraryFilter> cases{pinned, completed, archived, trashed};
    return cases;
}

std::optional<LibraryFilter> LibraryFilter::fromRawValue(QStringView rawValue)
{
    for (const LibraryFilter filter : allCases()) {
        if (filter.rawValue() == rawValue)
            return filter;
    }
    return std::nullopt;
}

QString LibraryFilter::rawValue() const
{
    switch (m_case) {
    case pinned:
        return QStringLiteral("pinned");
    case completed:
        return QStringLiteral("completed");
    case archived:
        return QStringLiteral("archived");
    case trashed:
        return QStringLiteral("trashed");
    }
    return {};
}

QString LibraryFilter::title() const
{
    switch (m_case) {
    case pinned:
        return QStringLiteral("En pantalla");
    case completed:
        return QStringLiteral("Hechas");
    case archived:
        return QStringLiteral("Archivadas");
    case trashed:
        return QStringLiteral("Papelera");
    }
    return {};
}

QString LibraryFilter::symbol() const
{
    switch (m_case) {
    case pinned:
        return QStringLiteral("sidebar.squares.right");
    case completed:
        return QStringLiteral("checkmark.circle");
    case archived:
        return QStringLiteral("archivebox");
    case trashed:
        return QStringLiteral("trash");
    }
    return {};
}

QString LibraryFilter::emptyText() const
{
    switch (m_case) {
    case pinned:
        return QStringLiteral("No hay notas en los bordes");
    case completed:
        return QStringLiteral("Nada marcado como hecho");
    case archived:
        return QStringLiteral("No has archivado ninguna nota");
    case trashed:
        return QStringLiteral("La papelera está vacía");
    }
    return {};
}

NotePredicate LibraryFilter::sectionPredicate() const
{
    using Field = Note::Field;
    switch (m_case) {
    case pinned:
        return NotePredicate::conjunction({NotePredicate::isNull(Field::deletedAt),
                                           NotePredicate::isNull(Field::completedAt),
                                           NotePredicate::equals(Field::isArchived, false)});
    case completed:
        return NotePredicate::conjunction({NotePredicate::isNull(Field::deletedAt),
                                           NotePredicate::isNotNull(Field::completedAt)});
    case archived:
        return NotePredicate::conjunction({NotePredicate::isNull(Field::deletedAt),
                                           NotePredicate::isNull(Field::completedAt),
                                           NotePredicate::equals(Field::isArchived, true)});
    case trashed:
        return NotePredicate::isNotNull(Field::deletedAt);
    }
    return NotePredicate::all();
}

NotePredicate LibraryFilter::predicate(const QString &search) const
{
    const QString text = trimmedSearch(search);
    if (text.isEmpty())
        return sectionPredicate();
    return sectionPredicate() && (NotePredicate::contains(Note::Field::title, text) ||
                                  NotePredicate::contains(Note::Field::plainText, text));
}

FetchDescriptor LibraryFilter::fetchDescriptor(const QString &search) const
{
    return FetchDescriptor{
        predicate(search), {SortDescriptor{Note::Field::updatedAt, false}}, std::nullopt};
}

QString LibraryFilter::trimmedSearch(const QString &search)
{
    qsizetype start = 0;
    qsizetype end = search.size();
    while (start < end && isBlank(search.at(start)))
        ++start;
    while (end > start && isBlank(search.at(end - 1)))
        --end;
    return search.mid(start, end - start);
}
