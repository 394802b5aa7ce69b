// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Note.h"

#include "model/ModelContext.h"
#include "model/RichTextCoder.h"

namespace {

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

QVariant optionalDate(const std::optional<QDateTime> &date)
{
    return date ? QVariant(*date) : QVariant(QMetaType::fromType<QDateTime>());
}

std::optional<QDateTime> toOptionalDate(const QVariant &value)
{
    if (value.isNull() || !value.toDateTime().isValid())
        return std::nullopt;
    return value.toDateTime();
}

} // namespace

Note::Note()
    : m_id(QUuid::createUuid()), m_colorToken(QStringLiteral("citrus")),
      m_edgeToken(QStringLiteral("right")), m_createdAt(now()), m_updatedAt(m_createdAt)
{
}

Note::~Note() = default;

std::unique_ptr<Note> Note::make(const QString &title, const StyledText &body, NoteColor color,
                                 ScreenEdge edge, double sortIndex)
{
    auto note = std::make_unique<Note>();
    note->m_id = QUuid::createUuid();
    note->m_title = title;
    note->m_colorToken = NoteColors::token(color);
    note->m_edgeToken = ScreenEdges::token(edge);
    note->m_sortIndex = sortIndex;
    note->m_createdAt = now();
    note->m_updatedAt = now();
    try {
        note->m_richText = RichTextCoder::encode(body);
    } catch (const RichTextCoder::Failure &) {
        note->m_richText = QByteArray();
    }
    note->m_plainText = body.text();
    return note;
}

template <typename T>
void Note::assign(T &member, const T &value, Field field, void (Note::*signal)())
{
    if (member == value)
        return;
    member = value;
    notifyChanged(field, signal);
}

void Note::notifyChanged(Field field, void (Note::*signal)())
{
    if (m_context && !m_loading)
        m_context->noteDidChange(this, field);
    Q_EMIT(this->*signal)();
    Q_EMIT changed(field);
}

void Note::setId(const QUuid &id)
{
    assign(m_id, id, Field::id, &Note::idChanged);
}
void Note::setTitle(const QString &title)
{
    assign(m_title, title, Field::title, &Note::titleChanged);
}
void Note::setRichText(const QByteArray &richText)
{
    assign(m_richText, richText, Field::richText, &Note::richTextChanged);
}
void Note::setPlainText(const QString &plainText)
{
    assign(m_plainText, plainText, Field::plainText, &Note::plainTextChanged);
}
void Note::setColorToken(const QString &token)
{
    assign(m_colorToken, token, Field::colorToken, &Note::colorTokenChanged);
}
void Note::setEdgeToken(const QString &token)
{
    assign(m_edgeToken, token, Field::edgeToken, &Note::edgeTokenChanged);
}
void Note::setSortIndex(double sortIndex)
{
    // Bitwise comparison would treat 0.0 and -0.0 as a change; value comparison is wanted.
    assign(m_sortIndex, sortIndex, Field::sortIndex, &Note::sortIndexChanged);
}
void Note::setCreatedAt(const QDateTime &date)
{
    assign(m_createdAt, date, Field::createdAt, &Note::createdAtChanged);
}
void Note::setUpdatedAt(const QDateTime &date)
{
    assign(m_updatedAt, date, Field::updatedAt, &Note::updatedAtChanged);
}
void Note::setIsArchived(bool archived)
{
    assign(m_isArchived, archived, Field::isArchived, &Note::isArchivedChanged);
}
void Note::setDeletedAt(const std::optional<QDateTime> &date)
{
    assign(m_deletedAt, date, Field::deletedAt, &Note::deletedAtChanged);
}
void Note::setIsFloating(bool floating)
{
    assign(m_isFloating, floating, Field::isFloating, &Note::isFloatingChanged);
}
void Note::setCompletedAt(const std::optional<QDateTime> &date)
{
    assign(m_completedAt, date, Field::completedAt, &Note::completedAtChanged);
}

NoteColor Note::color() const
{
    return NoteColors::fromToken(m_colorToken);
}
void Note::setColor(NoteColor color)
{
    setColorToken(NoteColors::token(color));
}
ScreenEdge Note::edge() const
{
    return ScreenEdges::fromToken(m_edgeToken);
}

bool Note::isOnRail(ScreenEdge edge) const
{
    return m_edgeToken == ScreenEdges::token(edge) && isPinned() && !m_isFloating;
}

bool Note::isPinned() const
{
    return !m_deletedAt && !m_completedAt && !m_isArchived;
}

bool Note::isInCompletedSection() const
{
    return !m_deletedAt && m_completedAt;
}

bool Note::isInArchivedSection() const
{
    return !m_deletedAt && !m_completedAt && m_isArchived;
}

void Note::setText(const StyledText &text)
{
    try {
        setRichText(RichTextCoder::encode(text));
    } catch (const RichTextCoder::Failure &) {
        setRichText(QByteArray());
    }
    setPlainText(text.text());
    setUpdatedAt(now());
}

QString Note::displayTitle() const
{
    if (!m_title.isEmpty())
        return m_title;
    const auto lines = QStringView(m_plainText).split(u'\n', Qt::SkipEmptyParts);
    QStringView first = lines.isEmpty() ? QStringView() : lines.first();
    while (!first.isEmpty() && (first.front() == u' ' || first.front() == u'\t'))
        first = first.mid(1);
    while (!first.isEmpty() && (first.back() == u' ' || first.back() == u'\t'))
        first.chop(1);
    return first.isEmpty() ? QStringLiteral("Nota sin título") : first.toString();
}

QVariant Note::value(Field field) const
{
    switch (field) {
    case Field::id:
        return m_id;
    case Field::title:
        return m_title;
    case Field::richText:
        return m_richText;
    case Field::plainText:
        return m_plainText;
    case Field::colorToken:
        return m_colorToken;
    case Field::edgeToken:
        return m_edgeToken;
    case Field::sortIndex:
        return m_sortIndex;
    case Field::createdAt:
        return m_createdAt;
    case Field::updatedAt:
        return m_updatedAt;
    case Field::isArchived:
        return m_isArchived;
    case Field::deletedAt:
        return optionalDate(m_deletedAt);
    case Field::isFloating:
        return m_isFloating;
    case Field::completedAt:
        return optionalDate(m_completedAt);
    }
    return {};
}

void Note::setValue(Field field, const QVariant &value)
{
    switch (field) {
    case Field::id:
        setId(value.toUuid());
        break;
    case Field::title:
        setTitle(value.toString());
        break;
    case Field::richText:
        setRichText(value.toByteArray());
        break;
    case Field::plainText:
        setPlainText(value.toString());
        break;
    case Field::colorToken:
        setColorToken(value.toString());
        break;
    case Field::edgeToken:
        setEdgeToken(value.toString());
        break;
    case Field::sortIndex:
        setSortIndex(value.toDouble());
        break;
    case Field::createdAt:
        setCreatedAt(value.toDateTime());
        break;
    case Field::updatedAt:
        setUpdatedAt(value.toDateTime());
        break;
    case Field::isArchived:
        setIsArchived(value.toBool());
        break;
    case Field::deletedAt:
        setDeletedAt(toOptionalDate(value));
        break;
    case Field::isFloating:
        setIsFloating(value.toBool());
        break;
    case Field::completedAt:
        setCompletedAt(toOptionalDate(value));
        break;
    }
}

QString Note::fieldName(Field field)
{
    static const char *const names[fieldCount] = {
        "id",        "title",      "richText",   "plainText", "colorToken",
        "edgeToken", "sortIndex",  "createdAt",  "updatedAt", "isArchived",
        "deletedAt", "isFloating", "completedAt"};
    return QString::fromLatin1(names[int(field)]);
}

bool sameRecord(const Note *a, const Note *b)
{
    if (a == b)
        return true;
    if (!a || !b)
        return false;
    return a->persistentModelID().isValid() && a->persistentModelID() == b->persistentModelID();
}

bool operator==(const Note &a, const Note &b)
{
    return sameRecord(&a, &b);
}

size_t qHash(const Note &note, size_t seed)
{
    if (note.persistentModelID().isValid())
        return qHash(note.persistentModelID(), seed);
    return ::qHash(reinterpret_cast<quintptr>(&note), seed);
}
