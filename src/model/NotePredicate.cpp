// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NotePredicate.h"

#include "model/SearchFolding.h"

NotePredicate NotePredicate::equals(Note::Field field, const QVariant &value)
{
    NotePredicate p;
    p.m_kind = Kind::equals;
    p.m_field = field;
    p.m_value = value;
    return p;
}

NotePredicate NotePredicate::isNull(Note::Field field)
{
    NotePredicate p;
    p.m_kind = Kind::isNull;
    p.m_field = field;
    return p;
}

NotePredicate NotePredicate::isNotNull(Note::Field field)
{
    NotePredicate p;
    p.m_kind = Kind::isNotNull;
    p.m_field = field;
    return p;
}

NotePredicate NotePredicate::contains(Note::Field field, const QString &needle)
{
    NotePredicate p;
    p.m_kind = Kind::contains;
    p.m_field = field;
    p.m_value = needle;
    return p;
}

NotePredicate NotePredicate::negation(const NotePredicate &operand)
{
    NotePredicate p;
    p.m_kind = Kind::negation;
    p.m_operands = {operand};
    return p;
}

NotePredicate NotePredicate::conjunction(const QList<NotePredicate> &operands)
{
    NotePredicate p;
    p.m_kind = Kind::conjunction;
    p.m_operands = operands;
    return p;
}

NotePredicate NotePredicate::disjunction(const QList<NotePredicate> &operands)
{
    NotePredicate p;
    p.m_kind = Kind::disjunction;
    p.m_operands = operands;
    return p;
}

NotePredicate NotePredicate::operator&&(const NotePredicate &other) const
{
    return conjunction({*this, other});
}

NotePredicate NotePredicate::operator||(const NotePredicate &other) const
{
    return disjunction({*this, other});
}

NotePredicate NotePredicate::operator!() const
{
    return negation(*this);
}

namespace {

bool valuesEqual(Note::Field field, const QVariant &stored, const QVariant &wanted)
{
    switch (field) {
    case Note::Field::deletedAt:
    case Note::Field::completedAt:
    case Note::Field::createdAt:
    case Note::Field::updatedAt:
        if (wanted.isNull() || stored.isNull())
            return wanted.isNull() == stored.isNull();
        return stored.toDateTime() == wanted.toDateTime();
    case Note::Field::id:
        return stored.toUuid() == wanted.toUuid();
    case Note::Field::sortIndex:
        return stored.toDouble() == wanted.toDouble();
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return stored.toBool() == wanted.toBool();
    case Note::Field::richText:
        return stored.toByteArray() == wanted.toByteArray();
    default:
        return stored.toString() == wanted.toString();
    }
}

} // namespace

bool NotePredicate::evaluate(const Note &note) const
{
    switch (m_kind) {
    case Kind::all:
        return true;
    case Kind::equals:
        return valuesEqual(m_field, note.value(m_field), m_value);
    case Kind::isNull:
        return note.value(m_field).isNull();
    case Kind::isNotNull:
        return !note.value(m_field).isNull();
    case Kind::contains:
        return SearchFolding::contains(note.value(m_field).toString(), m_value.toString());
    case Kind::negation:
        return !m_operands.first().evaluate(note);
    case Kind::conjunction:
        for (const auto &operand : m_operands) {
            if (!operand.evaluate(note))
                return false;
        }
        return true;
    case Kind::disjunction:
        for (const auto &operand : m_operands) {
            if (operand.evaluate(note))
                return true;
        }
        return false;
    }
    return false;
}

NotePredicate NotePredicate::onRail(ScreenEdge edge)
{
    return conjunction({equals(Note::Field::edgeToken, ScreenEdges::token(edge)),
                        isNull(Note::Field::deletedAt), isNull(Note::Field::completedAt),
                        equals(Note::Field::isArchived, false),
                        equals(Note::Field::isFloating, false)});
}
