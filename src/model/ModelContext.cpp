// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ModelContext.h"

#include "model/ModelContainer.h"
#include "model/SearchFolding.h"
#include "model/StoreSchema.h"

#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>

#include <sqlite3.h>

namespace {

void foldFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QString folded =
        SearchFolding::fold(QString::fromUtf8(data, sqlite3_value_bytes(argv[0])));
    const QByteArray utf8 = folded.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

bool isDateField(Note::Field field)
{
    return field == Note::Field::createdAt || field == Note::Field::updatedAt ||
           field == Note::Field::deletedAt || field == Note::Field::completedAt;
}

// Builds the WHERE clause of a predicate, collecting its bound values.
QString compile(const NotePredicate &predicate, QVariantList &bindings)
{
    using Kind = NotePredicate::Kind;
    const QString column = StoreSchema::column(predicate.field());
    switch (predicate.kind()) {
    case Kind::all:
        return QStringLiteral("1");
    case Kind::equals:
        if (predicate.value().isNull())
            return column + QStringLiteral(" IS NULL");
        bindings << StoreSchema::toStorage(predicate.field(), predicate.value());
        return column + QStringLiteral(" = ?");
    case Kind::isNull:
        return column + QStringLiteral(" IS NULL");
    case Kind::isNotNull:
        return column + QStringLiteral(" IS NOT NULL");
    case Kind::contains: {
        bindings << SearchFolding::fold(predicate.value().toString());
        const QString search = StoreSchema::searchColumn(predicate.field());
        if (!search.isEmpty())
            return QStringLiteral("instr(%1, ?) > 0").arg(search);
        return QStringLiteral("instr(orlette_fold(%1), ?) > 0").arg(column);
    }
    case Kind::negation:
        return QStringLiteral("NOT (%1)").arg(compile(predicate.operands().first(), bindings));
    case Kind::conjunction:
    case Kind::disjunction: {
        if (predicate.operands().isEmpty())
            return predicate.kind() == Kind::conjunction ? QStringLiteral("1")
                                                         : QStringLiteral("0");
        QStringList parts;
        for (const auto &operand : predicate.operands())
            parts << QStringLiteral("(%1)").arg(compile(operand, bindings));
        return parts.join(predicate.kind() == Kind::conjunction ? QStringLiteral(" AND ")
                                                                : QStringLiteral(" OR "));
    }
    }
    return QStringLiteral("1");
}

int compareValues(Note::Field field, const QVariant &a, const QVariant &b)
{
    // Absent values sort first, as SQLite sorts NULL.
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    if (isDateField(field)) {
        const qint64 x = a.toDateTime().toMSecsSinceEpoch();
        const qint64 y = b.toDateTime().toMSecsSinceEpoch();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    switch (field) {
    case Note::Field::sortIndex: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case Note::Field::isArchived:
    case Note::Field::isFloating:
        return int(a.toBool()) - int(b.toBool());
    case Note::Field::richText:
        return a.toByteArray().compare(b.toByteArray());
    case Note::Field::id:
        return QString::compare(StoreSchema::toStorage(field, a).toString(),
                                StoreSchema::toStorage(field, b).toString());
    default:
        return QString::compare(a.toString(), b.toString());
    }
}

QDateTime fromMilliseconds(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace

ModelContext::ModelContext(ModelContainer *container) : m_container(container) {}

Expected<void, StoreError> ModelContext::open()
{
    if (auto opened = m_database.open(m_container->databaseUri(),
                                      SqliteDatabase::OpenMode::readWriteExisting);
        !opened)
        return opened;
    // Reading through a memory map avoids copying pages for every search over the notes;
    // without it reads are only slower.
    (void)m_database.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
    sqlite3_create_function_v2(m_database.handle(), "orlette_fold", 1,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, foldFunction, nullptr,
                               nullptr, nullptr);
    m_lastDataVersion = dataVersion();
    connect(m_container, &ModelContainer::contextDidSave, this,
            [this](ModelContext *origin, const SavedChanges &changes) {
                if (origin != this)
                    mergeChanges(changes);
            });
    connect(m_container, &ModelContainer::storeFilesMayHaveChanged, this,
            [this] { processExternalChanges(false); });
    return {};
}

ModelContext::~ModelContext() = default;

qint64 ModelContext::newRowVersion()
{
    return qint64(QRandomGenerator::global()->generate64() >> 2) + 1;
}

qint64 ModelContext::newPrimaryKey()
{
    // Random keys stay unique across contexts and processes without coordination.
    for (;;) {
        const qint64 key = qint64(QRandomGenerator::global()->generate64() >> 2) + 1;
        if (!m_registered.contains(key))
            return key;
    }
}

Note *ModelContext::insert(std::unique_ptr<Note> owned)
{
    Note *note = owned.release();
    note->setParent(this);
    note->m_context = this;
    note->m_persistentID = PersistentIdentifier{newPrimaryKey()};
    m_registered.insert(note->m_persistentID.value, note);
    m_inserted.insert(note);
    return note;
}

bool ModelContext::isHeldForEditing(const Note *note) const
{
    return note && note->m_context == this && m_editingHolds.value(note->m_persistentID.value) > 0;
}

NoteEditingHold::NoteEditingHold(const Note *note)
{
    if (!note || !note->modelContext() || !note->persistentModelID().isValid())
        return;
    m_context = note->modelContext();
    m_key = note->persistentModelID().value;
    ++m_context->m_editingHolds[m_key];
}

NoteEditingHold::~NoteEditingHold()
{
    if (!m_context)
        return;
    const auto held = m_context->m_editingHolds.find(m_key);
    if (held != m_context->m_editingHolds.end() && --held.value() <= 0)
        m_context->m_editingHolds.erase(held);
}

void ModelContext::remove(Note *note)
{
    if (!note || note->m_context != this || note->m_isDeleted)
        return;
    if (m_inserted.remove(note)) {
        m_registered.remove(note->m_persistentID.value);
        note->m_isDeleted = true;
        return;
    }
    m_updated.remove(note);
    m_deleted.insert(note);
}

void ModelContext::noteDidChange(Note *note, Note::Field field)
{
    if (!m_inserted.contains(note) && !m_deleted.contains(note) && !note->m_isDeleted)
        m_updated[note] |= 1u << int(field);
}

bool ModelContext::hasChanges() const
{
    return !m_inserted.isEmpty() || !m_updated.isEmpty() || !m_deleted.isEmpty();
}

Note *ModelContext::registeredModel(PersistentIdentifier identifier) const
{
    return m_registered.value(identifier.value);
}

void ModelContext::loadRow(Note *note, const SqliteStatement &row)
{
    const qint64 version = row.int64(Note::fieldCount + 1);
    if (version == note->m_rowVersion && version != 0)
        return;
    note->m_rowVersion = version;
    // Fields this context changed and has not saved yet keep their unsaved values; the
    // others take what the store holds now.
    const quint32 keep = m_updated.value(note, 0);
    const auto load = [keep](Note::Field field) { return !(keep & (1u << int(field))); };
    const auto optionalDate = [&row](int column) {
        return row.isNull(column) ? std::nullopt
                                  : std::optional<QDateTime>(fromMilliseconds(row.int64(column)));
    };
    note->m_loading = true;
    if (load(Note::Field::id))
        note->setId(QUuid::fromString(row.text(1)));
    if (load(Note::Field::title))
        note->setTitle(row.text(2));
    if (load(Note::Field::richText))
        note->setRichText(row.blob(3));
    if (load(Note::Field::plainText))
        note->setPlainText(row.text(4));
    if (load(Note::Field::colorToken))
        note->setColorToken(row.text(5));
    if (load(Note::Field::edgeToken))
        note->setEdgeToken(row.text(6));
    if (load(Note::Field::sortIndex))
        note->setSortIndex(row.real(7));
    if (load(Note::Field::createdAt))
        note->setCreatedAt(fromMilliseconds(row.int64(8)));
    if (load(Note::Field::updatedAt))
        note->setUpdatedAt(fromMilliseconds(row.int64(9)));
    if (load(Note::Field::isArchived))
        note->setIsArchived(row.int64(10) != 0);
    if (load(Note::Field::deletedAt))
        note->setDeletedAt(optionalDate(11));
    if (load(Note::Field::isFloating))
        note->setIsFloating(row.int64(12) != 0);
    if (load(Note::Field::completedAt))
        note->setCompletedAt(optionalDate(13));
    note->m_loading = false;
}

Note *ModelContext::materialise(const SqliteStatement &row)
{
    const qint64 key = row.int64(0);
    if (Note *note = m_registered.value(key)) {
        // Unsaved edits of this context win over what the store holds.
        if (!m_deleted.contains(note))
            loadRow(note, row);
        return note;
    }
    auto *note = new Note();
    note->setParent(this);
    note->m_context = this;
    note->m_persistentID = PersistentIdentifier{key};
    loadRow(note, row);
    m_registered.insert(key, note);
    return note;
}

Expected<QList<Note *>, StoreError> ModelContext::fetch(const FetchDescriptor &descriptor)
{
    QVariantList bindings;
    QString sql = QStringLiteral("SELECT %1 FROM Note WHERE %2")
                      .arg(StoreSchema::selectColumns(), compile(descriptor.predicate, bindings));
    if (!descriptor.sortBy.isEmpty()) {
        QStringList order;
        for (const auto &sort : descriptor.sortBy) {
            order << StoreSchema::column(sort.field) +
                         (sort.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
        }
        sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    const bool pending = hasChanges();
    if (descriptor.fetchLimit && !pending)
        sql += QStringLiteral(" LIMIT %1").arg(qMax(0, *descriptor.fetchLimit));

    const auto prepared = m_database.prepare(sql);
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement &statement = **prepared;
    for (int i = 0; i < bindings.size(); ++i)
        statement.bind(i + 1, bindings[i]);

    QList<Note *> results;
    QSet<Note *> seen;
    while (statement.step()) {
        Note *note = materialise(statement);
        if (m_deleted.contains(note))
            continue;
        if (m_updated.contains(note) && !descriptor.predicate.evaluate(*note))
            continue;
        results << note;
        seen.insert(note);
    }
    if (statement.failed())
        return Unexpected(m_database.lastError(QStringLiteral("No se pudieron leer las notas")));
    if (!pending)
        return results;

    // Unsaved inserts and edits take part as if they were saved.
    for (auto it = m_updated.cbegin(); it != m_updated.cend(); ++it) {
        Note *note = it.key();
        if (!seen.contains(note) && descriptor.predicate.evaluate(*note))
            results << note;
    }
    for (Note *note : std::as_const(m_inserted)) {
        if (descriptor.predicate.evaluate(*note))
            results << note;
    }
    if (!descriptor.sortBy.isEmpty()) {
        std::stable_sort(results.begin(), results.end(), [&](const Note *a, const Note *b) {
            for (const auto &sort : descriptor.sortBy) {
                const int c = compareValues(sort.field, a->value(sort.field), b->value(sort.field));
                if (c != 0)
                    return sort.ascending ? c < 0 : c > 0;
            }
            return false;
        });
    }
    if (descriptor.fetchLimit && results.size() > *descriptor.fetchLimit)
        results.resize(qMax(0, *descriptor.fetchLimit));
    return results;
}

Expected<int, StoreError> ModelContext::fetchCount(const NotePredicate &predicate)
{
    if (hasChanges()) {
        const auto notes = fetch(FetchDescriptor{predicate, {}, std::nullopt});
        if (!notes)
            return Unexpected(notes.error());
        return int(notes->size());
    }
    QVariantList bindings;
    const auto prepared = m_database.prepare(
        QStringLiteral("SELECT count(*) FROM Note WHERE %1").arg(compile(predicate, bindings)));
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement &statement = **prepared;
    for (int i = 0; i < bindings.size(); ++i)
        statement.bind(i + 1, bindings[i]);
    if (!statement.step())
        return Unexpected(m_database.lastError(QStringLiteral("No se pudieron contar las notas")));
    return int(statement.int64(0));
}

Expected<void, StoreError> ModelContext::writeNote(Note *note, quint32 fields, bool isNew)
{
    // An update writes only the fields this context changed, so a concurrent change of
    // another field by another context or process is not overwritten with an old value.
    QStringList columns;
    QList<Note::Field> written;
    for (int i = 0; i < Note::fieldCount; ++i) {
        if (fields & (1u << i)) {
            columns << StoreSchema::column(Note::Field(i));
            written << Note::Field(i);
        }
    }
    const bool titleChanged = isNew || (fields & (1u << int(Note::Field::title)));
    const bool bodyChanged = isNew || (fields & (1u << int(Note::Field::plainText)));
    if (titleChanged)
        columns << QStringLiteral("searchTitle");
    if (bodyChanged)
        columns << QStringLiteral("searchBody");
    columns << QStringLiteral("rowVersion");

    QString sql;
    if (isNew) {
        sql = QStringLiteral("INSERT INTO Note (%1, pk) VALUES (%2?)")
                  .arg(columns.join(QStringLiteral(", ")),
                       QStringLiteral("?, ").repeated(columns.size()));
    } else {
        sql = QStringLiteral("UPDATE Note SET %1 = ? WHERE pk = ?")
                  .arg(columns.join(QStringLiteral(" = ?, ")));
        if (m_guardRows)
            sql += QStringLiteral(" AND rowVersion = ?");
    }
    const auto prepared = m_database.prepare(sql);
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement &statement = **prepared;
    int index = 1;
    for (const Note::Field field : written)
        statement.bind(index++, StoreSchema::toStorage(field, note->value(field)));
    if (titleChanged)
        statement.bindText(index++, SearchFolding::fold(note->title()));
    if (bodyChanged)
        statement.bindText(index++, SearchFolding::fold(note->plainText()));
    const qint64 version = newRowVersion();
    statement.bindInt64(index++, version);
    statement.bindInt64(index++, note->persistentModelID().value);
    if (m_guardRows && !isNew)
        statement.bindInt64(index, note->m_rowVersion);
    if (statement.step() || statement.failed())
        return Unexpected(m_database.lastError(QStringLiteral("No se pudo guardar la nota")));
    if (m_guardRows && !isNew && m_database.changes() != 1)
        return Unexpected(rowChanged());
    // Taken back if the transaction fails, so the next load is not skipped.
    m_pendingVersions.insert(note, version);
    return {};
}

StoreError ModelContext::rowChanged()
{
    return StoreError{StoreError::rowChanged,
                      QStringLiteral("La nota cambió mientras se guardaba")};
}

Expected<void, StoreError> ModelContext::deleteRows()
{
    if (m_deleted.isEmpty())
        return {};
    const auto prepared = m_database.prepare(
        m_guardRows ? QStringLiteral("DELETE FROM Note WHERE pk = ? AND rowVersion = ?")
                    : QStringLiteral("DELETE FROM Note WHERE pk = ?"));
    if (!prepared)
        return Unexpected(prepared.error());
    SqliteStatement &statement = **prepared;
    for (const Note *note : std::as_const(m_deleted)) {
        statement.reset();
        statement.bindInt64(1, note->persistentModelID().value);
        if (m_guardRows)
            statement.bindInt64(2, note->m_rowVersion);
        statement.step();
        if (statement.failed())
            return Unexpected(m_database.lastError(QStringLiteral("No se pudo borrar la nota")));
        if (m_guardRows && m_database.changes() != 1)
            return Unexpected(rowChanged());
    }
    return {};
}

Expected<void, StoreError> ModelContext::writeChanges()
{
    constexpr quint32 allFields = (1u << Note::fieldCount) - 1;
    for (Note *note : std::as_const(m_inserted)) {
        if (auto written = writeNote(note, allFields, true); !written)
            return written;
    }
    for (auto it = m_updated.cbegin(); it != m_updated.cend(); ++it) {
        if (auto written = writeNote(it.key(), it.value(), false); !written)
            return written;
    }
    return deleteRows();
}

Expected<void, StoreError> ModelContext::save()
{
    if (!hasChanges())
        return {};

    if (auto began = m_database.exec(QStringLiteral("BEGIN IMMEDIATE")); !began)
        return began;
    m_pendingVersions.clear();
    auto saved = writeChanges();
    if (saved)
        saved = m_database.exec(QStringLiteral("COMMIT"));
    if (!saved) {
        // The failure that counts is the write's; a rollback that fails leaves nothing
        // committed either.
        (void)m_database.exec(QStringLiteral("ROLLBACK"));
        m_pendingVersions.clear();
        // Most callers keep the change for the next save and say nothing; the log is
        // where a save that keeps failing shows.
        if (saved.error().code != StoreError::rowChanged)
            qWarning("Orlette: no se pudieron guardar las notas: %s",
                     qPrintable(saved.error().description));
        return saved;
    }
    for (auto it = m_pendingVersions.cbegin(); it != m_pendingVersions.cend(); ++it)
        it.key()->m_rowVersion = it.value();
    m_pendingVersions.clear();

    SavedChanges changes;
    for (const Note *note : std::as_const(m_inserted))
        changes.inserted << note->persistentModelID().value;
    for (auto it = m_updated.cbegin(); it != m_updated.cend(); ++it)
        changes.updated << it.key()->persistentModelID().value;
    for (Note *note : std::as_const(m_deleted)) {
        changes.deleted << note->persistentModelID().value;
        note->m_isDeleted = true;
        m_registered.remove(note->persistentModelID().value);
    }
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    m_lastDataVersion = dataVersion();
    Q_EMIT didSave();
    Q_EMIT m_container->contextDidSave(this, changes);
    return {};
}

qint64 ModelContext::storedVersion(const Note *note) const
{
    return note && note->m_context == this ? note->m_rowVersion : 0;
}

qint64 ModelContext::dataVersion()
{
    const auto statement = m_database.prepare(QStringLiteral("PRAGMA data_version"));
    return statement && (*statement)->step() ? (*statement)->int64(0) : 0;
}

void ModelContext::forget(Note *note)
{
    m_deleted.remove(note);
    note->m_isDeleted = true;
    m_registered.remove(note->persistentModelID().value);
}

void ModelContext::mergeChanges(const SavedChanges &changes)
{
    // Another context of this process saved: reload just the records it touched.
    m_lastDataVersion = dataVersion();
    QList<qint64> reload;
    for (const qint64 key : changes.updated) {
        if (m_registered.contains(key))
            reload << key;
    }
    for (qsizetype start = 0; start < reload.size(); start += 500) {
        const QList<qint64> chunk = reload.mid(start, 500);
        const auto prepared = m_database.prepare(
            QStringLiteral("SELECT %1 FROM Note WHERE pk IN (%2)")
                .arg(StoreSchema::selectColumns(),
                     QStringLiteral("?, ").repeated(chunk.size() - 1) + QStringLiteral("?")));
        if (!prepared)
            break;
        SqliteStatement &statement = **prepared;
        for (int i = 0; i < chunk.size(); ++i)
            statement.bindInt64(i + 1, chunk[i]);
        while (statement.step()) {
            Note *note = m_registered.value(statement.int64(0));
            if (note && !m_deleted.contains(note))
                loadRow(note, statement);
        }
    }
    for (const qint64 key : changes.deleted) {
        Note *note = m_registered.value(key);
        if (note && !m_updated.contains(note) && !m_inserted.contains(note))
            forget(note);
    }
    Q_EMIT remoteChange();
}

void ModelContext::processExternalChanges(bool force)
{
    const qint64 version = dataVersion();
    if (!force && version == m_lastDataVersion)
        return;
    m_lastDataVersion = version;

    // Refresh every object this context holds from the store; records gone from the
    // store are gone for the context too, unless it has its own unsaved edits of them.
    QSet<qint64> present;
    if (!m_registered.isEmpty()) {
        const auto prepared = m_database.prepare(
            QStringLiteral("SELECT %1 FROM Note").arg(StoreSchema::selectColumns()));
        if (!prepared)
            return;
        SqliteStatement &statement = **prepared;
        while (statement.step()) {
            const qint64 key = statement.int64(0);
            Note *note = m_registered.value(key);
            if (!note)
                continue;
            present.insert(key);
            if (!m_deleted.contains(note))
                loadRow(note, statement);
        }
        if (statement.failed())
            return;
        for (auto it = m_registered.begin(); it != m_registered.end();) {
            Note *note = it.value();
            if (!present.contains(it.key()) && !m_inserted.contains(note) &&
                !m_updated.contains(note)) {
                m_deleted.remove(note);
                note->m_isDeleted = true;
                it = m_registered.erase(it);
            } else {
                ++it;
            }
        }
    }
    Q_EMIT remoteChange();
}
