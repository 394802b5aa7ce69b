// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Note.h"

#include <QList>
#include <QVariant>

#include <memory>
#include <optional>

// A condition over `Note` fields, evaluated by the store in SQL and, for changes not
// saved yet, in memory. An empty predicate matches every note.
class NotePredicate
{
public:
    enum class Kind
    {
        all,
        equals,
        isNull,
        isNotNull,
        contains,
        negation,
        conjunction,
        disjunction
    };

    NotePredicate() = default;
    static NotePredicate all() { return {}; }
    // Equality on any field; a null variant on an optional date means "absent".
    static NotePredicate equals(Note::Field field, const QVariant &value);
    static NotePredicate isNull(Note::Field field);
    static NotePredicate isNotNull(Note::Field field);
    // Case- and diacritic-insensitive substring test on a string field.
    static NotePredicate contains(Note::Field field, const QString &needle);
    static NotePredicate negation(const NotePredicate &operand);
    static NotePredicate conjunction(const QList<NotePredicate> &operands);
    static NotePredicate disjunction(const QList<NotePredicate> &operands);

    NotePredicate operator&&(const NotePredicate &other) const;
    NotePredicate operator||(const NotePredicate &other) const;
    NotePredicate operator!() const;

    Kind kind() const { return m_kind; }
    Note::Field field() const { return m_field; }
    const QVariant &value() const { return m_value; }
    const QList<NotePredicate> &operands() const { return m_operands; }

    bool evaluate(const Note &note) const;

    // The rail of an edge: token equal, not trashed, not done, not archived, not floating.
    static NotePredicate onRail(ScreenEdge edge);

private:
    Kind m_kind = Kind::all;
    Note::Field m_field = Note::Field::id;
    QVariant m_value;
    QList<NotePredicate> m_operands;
};

struct SortDescriptor
{
    Note::Field field = Note::Field::sortIndex;
    bool ascending = true;
};

struct FetchDescriptor
{
    NotePredicate predicate;
    QList<SortDescriptor> sortBy;
    std::optional<int> fetchLimit;
};
