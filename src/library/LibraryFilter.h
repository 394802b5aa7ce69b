// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NotePredicate.h"

#include <QList>
#include <QString>

#include <optional>

// The four sections of the library. Every note is in exactly one of them.
class LibraryFilter
{
public:
    enum Case
    {
        pinned,
        completed,
        archived,
        trashed
    };

    constexpr LibraryFilter(Case value = pinned) : m_case(value) {}
    constexpr operator Case() const { return m_case; }

    // In sidebar order.
    static const QList<LibraryFilter> &allCases();
    static std::optional<LibraryFilter> fromRawValue(QStringView rawValue);

    QString rawValue() const;
    // Sidebar and window title.
    QString title() const;
    // Name of the section's symbol.
    QString symbol() const;
    // What the list says when the section holds no note.
    QString emptyText() const;

    // The notes of the section, whatever the search.
    NotePredicate sectionPredicate() const;
    // The notes of the section whose title or text contain the search, ignoring case,
    // accents and the blanks around it.
    NotePredicate predicate(const QString &search) const;
    // `predicate`, newest change first.
    FetchDescriptor fetchDescriptor(const QString &search) const;

    // The search without the spaces and tabs at either end.
    static QString trimmedSearch(const QString &search);

private:
    Case m_case;
};

inline size_t qHash(LibraryFilter filter, size_t seed = 0)
{
    return ::qHash(int(LibraryFilter::Case(filter)), seed);
}
