// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "model/ScreenEdge.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QUuid>
#include <QVariant>

#include <memory>
#include <optional>

class ModelContext;
class StyledText;

// The store's own identity of a record: stable from insertion on, unlike `id`, which
// is an ordinary field and may repeat.
struct PersistentIdentifier
{
    qint64 value = 0;
    bool isValid() const { return value != 0; }
    friend bool operator==(const PersistentIdentifier &, const PersistentIdentifier &) = default;
};
inline size_t qHash(const PersistentIdentifier &identifier, size_t seed = 0)
{
    return ::qHash(identifier.value, seed);
}

// The one stored record. Every write of a field notifies its own change signal and
// marks the note as changed in its context; writes of an equal value do nothing.
class Note : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUuid id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QByteArray richText READ richText WRITE setRichText NOTIFY richTextChanged)
    Q_PROPERTY(QString plainText READ plainText WRITE setPlainText NOTIFY plainTextChanged)
    Q_PROPERTY(QString colorToken READ colorToken WRITE setColorToken NOTIFY colorTokenChanged)
    Q_PROPERTY(QString edgeToken READ edgeToken WRITE setEdgeToken NOTIFY edgeTokenChanged)
    Q_PROPERTY(double sortIndex READ sortIndex WRITE setSortIndex NOTIFY sortIndexChanged)
    Q_PROPERTY(QDateTime createdAt READ createdAt WRITE setCreatedAt NOTIFY createdAtChanged)
    Q_PROPERTY(QDateTime updatedAt READ updatedAt WRITE setUpdatedAt NOTIFY updatedAtChanged)
    Q_PROPERTY(bool isArchived READ isArchived WRITE setIsArchived NOTIFY isArchivedChanged)
    Q_PROPERTY(bool isFloating READ isFloating WRITE setIsFloating NOTIFY isFloatingChanged)

public:
    // The stored fields, in schema order.
    enum class Field
    {
        id,
        title,
        richText,
        plainText,
        colorToken,
        edgeToken,
        sortIndex,
        createdAt,
        updatedAt,
        isArchived,
        deletedAt,
        isFloating,
        completedAt,
    };
    static constexpr int fieldCount = 13;

    // A record with every default of the schema (fresh id, created and updated now).
    Note();
    // A new note from its five inputs; not yet in any context.
    static std::unique_ptr<Note> make(const QString &title, const StyledText &body, NoteColor color,
                                      ScreenEdge edge, double sortIndex);
    ~Note() override;

    QUuid id() const { return m_id; }
    const QString &title() const { return m_title; }
    const QByteArray &richText() const { return m_richText; }
    const QString &plainText() const { return m_plainText; }
    const QString &colorToken() const { return m_colorToken; }
    const QString &edgeToken() const { return m_edgeToken; }
    double sortIndex() const { return m_sortIndex; }
    QDateTime createdAt() const { return m_createdAt; }
    QDateTime updatedAt() const { return m_updatedAt; }
    bool isArchived() const { return m_isArchived; }
    std::optional<QDateTime> deletedAt() const { return m_deletedAt; }
    bool isFloating() const { return m_isFloating; }
    std::optional<QDateTime> completedAt() const { return m_completedAt; }

    void setId(const QUuid &id);
    void setTitle(const QString &title);
    void setRichText(const QByteArray &richText);
    void setPlainText(const QString &plainText);
    void setColorToken(const QString &token);
    void setEdgeToken(const QString &token);
    void setSortIndex(double sortIndex);
    void setCreatedAt(const QDateTime &date);
    void setUpdatedAt(const QDateTime &date);
    void setIsArchived(bool archived);
    void setDeletedAt(const std::optional<QDateTime> &date);
    void setIsFloating(bool floating);
    void setCompletedAt(const std::optional<QDateTime> &date);

    NoteColor color() const;
    void setColor(NoteColor color);
    ScreenEdge edge() const;
    bool isCompleted() const { return m_completedAt.has_value(); }

    // Derived states; every note is in exactly one of pinned, completed, archived, trashed.
    bool isOnRail(ScreenEdge edge) const;
    bool isPinned() const;
    bool isInCompletedSection() const;
    bool isInArchivedSection() const;
    bool isTrashed() const { return m_deletedAt.has_value(); }

    // The one way a body is written: rich text, plain text and the modification date.
    void setText(const StyledText &text);
    // The title every surface shows.
    QString displayTitle() const;

    // A field as a variant: dates as QDateTime (null when absent), id as QUuid.
    QVariant value(Field field) const;
    void setValue(Field field, const QVariant &value);
    static QString fieldName(Field field);

    PersistentIdentifier persistentModelID() const { return m_persistentID; }
    ModelContext *modelContext() const { return m_context; }
    // True once the note was deleted from its context and that deletion saved.
    bool isDeleted() const { return m_isDeleted; }

Q_SIGNALS:
    void idChanged();
    void titleChanged();
    void richTextChanged();
    void plainTextChanged();
    void colorTokenChanged();
    void edgeTokenChanged();
    void sortIndexChanged();
    void createdAtChanged();
    void updatedAtChanged();
    void isArchivedChanged();
    void deletedAtChanged();
    void isFloatingChanged();
    void completedAtChanged();
    // Any field changed (after its own signal).
    void changed(Note::Field field);

private:
    friend class ModelContext;
    template <typename T>
    void assign(T &member, const T &value, Field field, void (Note::*signal)());
    void notifyChanged(Field field, void (Note::*signal)());

    QUuid m_id;
    QString m_title;
    QByteArray m_richText;
    QString m_plainText;
    QString m_colorToken;
    QString m_edgeToken;
    double m_sortIndex = 0;
    QDateTime m_createdAt;
    QDateTime m_updatedAt;
    bool m_isArchived = false;
    std::optional<QDateTime> m_deletedAt;
    bool m_isFloating = false;
    std::optional<QDateTime> m_completedAt;

    ModelContext *m_context = nullptr;
    PersistentIdentifier m_persistentID;
    bool m_isDeleted = false;
    // The store's version of the row this object last loaded or wrote.
    qint64 m_rowVersion = 0;
    // Set while the store itself loads a row, so the load is not taken for an edit.
    bool m_loading = false;
};

// Same stored record (persistent identifier); a note not yet inserted equals only itself.
bool sameRecord(const Note *a, const Note *b);
bool operator==(const Note &a, const Note &b);
size_t qHash(const Note &note, size_t seed = 0);
