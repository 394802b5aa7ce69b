// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngineWorker.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/StoreSchema.h"
#include "sync/SyncMerge.h"

#include <QJsonDocument>
#include <QSet>
#include <QSysInfo>

namespace {

const QString targetIdentityKey = QStringLiteral("targetIdentity");
const QString remoteIdentifierKey = QStringLiteral("remoteIdentifier");
const QString deviceIdKey = QStringLiteral("deviceId");

// Failures that stop a whole pass rather than one record.
bool stopsThePass(const SyncError &error)
{
    switch (error.code) {
    case SyncError::networkUnavailable:
    case SyncError::networkFailure:
    case SyncError::serviceUnavailable:
    case SyncError::requestRateLimited:
    case SyncError::notAuthenticated:
    case SyncError::quotaExceeded:
    case SyncError::operationCancelled:
        return true;
    default:
        return false;
    }
}

SyncError databaseError(const StoreError &error)
{
    return SyncError::make(SyncError::badDatabase,
                           QStringLiteral("No se pudo usar el almacén de notas para sincronizar."))
        .with(
            SyncErrorInfo::plain(QStringLiteral("sqlite"),
                                 QStringLiteral("%1 (%2)").arg(error.description).arg(error.code)));
}

SyncError partialFailure(const QList<SyncErrorItem> &failures)
{
    return SyncError::make(SyncError::partialFailure,
                           QStringLiteral("Algunas notas no se pudieron sincronizar."))
        .with(SyncErrorInfo::items(QStringLiteral("partialErrors"), failures));
}

QString notePath(const QString &recordName)
{
    return SyncEngineWorker::notesFolder + QLatin1Char('/') + recordName + QStringLiteral(".json");
}

bool fieldFollowsUpdatedAt(Note::Field field)
{
    return field == Note::Field::title || field == Note::Field::richText ||
           field == Note::Field::plainText || field == Note::Field::colorToken ||
           field == Note::Field::edgeToken || field == Note::Field::updatedAt;
}

qint64 dateValue(const SyncRecord &record, Note::Field field)
{
    const QJsonValue value = record.value(field);
    return value.isDouble() ? qint64(value.toDouble()) : 0;
}

// The time a field of a row seen for the first time was written, from the note's own
// dates: a note restored from an old copy must not look newer than the mirrored one.
qint64 firstSeenTime(const SyncRecord &record, Note::Field field, qint64 now)
{
    qint64 time = dateValue(record, Note::Field::updatedAt);
    if (field == Note::Field::id || field == Note::Field::createdAt)
        time = dateValue(record, Note::Field::createdAt);
    else if (field == Note::Field::deletedAt || field == Note::Field::completedAt)
        time = qMax(time, dateValue(record, field));
    return qBound<qint64>(1, time, now);
}

// The time of a field that changed here since it was last seen: the note's own date
// when it tells the moment of the change, otherwise now.
qint64 changeTime(const SyncRecord &current, Note::Field field, qint64 previousTime, qint64 now)
{
    qint64 candidate = now;
    if (fieldFollowsUpdatedAt(field))
        candidate = dateValue(current, Note::Field::updatedAt);
    else if (field == Note::Field::deletedAt || field == Note::Field::completedAt)
        candidate = dateValue(current, field);
    if (candidate <= previousTime || candidate > now)
        candidate = now;
    return qMax(candidate, previousTime + 1);
}

} // namespace

struct SyncEngineWorker::ImportPlan
{
    QString name;
    SyncRecord merged;
    std::optional<SyncRecord> losingBody;
    std::optional<qint64> pk;
    bool known = false;
    SyncRecord previous;
    QString remoteTag;
    QByteArray remoteHash;
    QByteArray agreedBodyHash;
};

// Reports an event when it begins and when it ends. A pass given up (the engine is
// stopping) leaves its event unfinished, which changes nothing for its observers.
class SyncEngineWorker::EventScope
{
public:
    EventScope(SyncEngineWorker *worker, SyncEvent::Type type) : m_worker(worker)
    {
        m_event.identifier = QUuid::createUuid();
        m_event.type = type;
        m_event.startDate = QDateTime::fromMSecsSinceEpoch(worker->now(), Qt::UTC);
        Q_EMIT m_worker->eventChanged(m_event);
    }
    ~EventScope()
    {
        if (!m_finished && !m_worker->isCancelled())
            finish(SyncError::make(SyncError::internalError,
                                   QStringLiteral("La sincronización se interrumpió.")));
    }
    EventScope(const EventScope &) = delete;
    EventScope &operator=(const EventScope &) = delete;

    void finish(const std::optional<SyncError> &error)
    {
        if (m_finished)
            return;
        m_finished = true;
        if (m_worker->isCancelled())
            return;
        m_event.endDate = QDateTime::fromMSecsSinceEpoch(m_worker->now(), Qt::UTC);
        m_event.error = error;
        Q_EMIT m_worker->eventChanged(m_event);
    }

private:
    SyncEngineWorker *m_worker;
    SyncEvent m_event;
    bool m_finished = false;
};

SyncEngineWorker::SyncEngineWorker(ModelContainer *container, const SyncTarget &target,
                                   TransportFactory transportFactory, Options options,
                                   QObject *parent)
    : QObject(parent), m_container(container), m_target(target),
      m_transportFactory(std::move(transportFactory)), m_options(std::move(options))
{
    if (m_options.deviceName.isEmpty())
        m_options.deviceName = QSysInfo::machineHostName();
    // The imports' saves reach the main context through a queued `contextDidSave`, whose
    // arguments must be known to the meta-type system.
    qRegisterMetaType<ModelContext *>();
    qRegisterMetaType<SavedChanges>();
}

SyncEngineWorker::~SyncEngineWorker() = default;

qint64 SyncEngineWorker::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void SyncEngineWorker::cancel()
{
    // The transport belongs to the worker thread; stopping that thread's event loop
    // ends any transfer it waits for.
    m_cancelled = true;
}

QString SyncEngineWorker::deviceId()
{
    if (m_deviceId.isEmpty()) {
        m_deviceId = m_state.meta(deviceIdKey);
        if (m_deviceId.isEmpty()) {
            m_deviceId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            m_state.setMeta(deviceIdKey, m_deviceId);
        }
    }
    return m_deviceId;
}

bool SyncEngineWorker::prepare(std::optional<SyncError> *error)
{
    if (!m_container) {
        *error = SyncError::make(SyncError::badDatabase,
                                 QStringLiteral("No hay almacén de notas que sincronizar."));
        return false;
    }
    if (!m_state.isOpen()) {
        StoreError failure;
        if (!m_state.open(m_container->databaseUri(), &failure)) {
            *error = databaseError(failure);
            return false;
        }
    }
    if (auto invalid = m_target.validate(m_options.dataDirectory)) {
        *error = invalid;
        return false;
    }
    if (!m_transport)
        m_transport = m_transportFactory();
    return true;
}

void SyncEngineWorker::runCycle()
{
    // Nested event loops of a transfer can deliver another request: it runs after.
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_conflictRounds = 0;
    do {
        m_again = false;
        cycleOnce();
    } while (m_again && !isCancelled());
    m_running = false;
    Q_EMIT cycleFinished();
}

void SyncEngineWorker::cycleOnce()
{
    std::optional<SyncError> error;
    if (!prepare(&error)) {
        EventScope setup(this, SyncEvent::Type::setup);
        setup.finish(error);
        return;
    }

    // An absent drive, a server out of reach or refused credentials are not a failed
    // set-up: they pass, and the pass that finds them says so as a failed import.
    std::optional<SyncError> unreachable;
    const auto status = m_transport->accountStatus(&unreachable);
    if (!isCancelled())
        Q_EMIT accountStatusReady(status, unreachable);
    if (status != SyncMirroring::AccountStatus::available) {
        EventScope importing(this, SyncEvent::Type::importing);
        importing.finish(unreachable ? *unreachable
                                     : SyncError::make(SyncError::networkUnavailable,
                                                       QStringLiteral("No se llega al destino.")));
        finishKeyValues(false);
        return;
    }

    if (!m_isSetUp) {
        EventScope setup(this, SyncEvent::Type::setup);
        error = setUp();
        setup.finish(error);
        if (error) {
            finishKeyValues(false);
            return;
        }
    }

    {
        EventScope importing(this, SyncEvent::Type::importing);
        // Taken before the listing: whatever changes from now on shows at the next check.
        m_folderTags = currentFolderTags();
        error = observeLocal();
        if (!error)
            error = importChanges();
        if (!error)
            error = readKeyValues();
        importing.finish(error);
        if (error || isCancelled()) {
            finishKeyValues(false);
            return;
        }
    }

    bool exported = false;
    error = exportChanges(&exported);
    finishKeyValues(!error);
}

void SyncEngineWorker::checkForChanges()
{
    if (m_running || !m_transport || isCancelled())
        return;
    const QStringList tags = currentFolderTags();
    if (!tags.isEmpty() && tags != m_folderTags)
        runCycle();
}

QStringList SyncEngineWorker::currentFolderTags()
{
    QStringList tags;
    for (const QString &folder : {SyncTarget::remoteFolder, notesFolder}) {
        const std::optional<QString> tag = m_transport->folderTag(folder);
        if (!tag)
            return {};
        tags << *tag;
    }
    return tags;
}

std::optional<SyncError> SyncEngineWorker::setUp()
{
    StoreError failure;
    const QString identity = m_target.identity();
    if (m_state.meta(targetIdentityKey) != identity) {
        // Another target is another remote copy: everything is merged and sent anew.
        if (!m_state.forgetRemote(&failure) || !m_state.setMeta(targetIdentityKey, identity) ||
            !m_state.setMeta(remoteIdentifierKey, QString()))
            return databaseError(failure);
    }

    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto format = m_transport->read(formatFile);
        if (format.ok()) {
            const QJsonObject object = QJsonDocument::fromJson(format.value->data).object();
            const int version = object.value(QStringLiteral("format")).toInt(0);
            const QString identifier = object.value(QStringLiteral("identifier")).toString();
            if (version < 1 || identifier.isEmpty()) {
                return SyncError::make(SyncError::badContainer,
                                       QStringLiteral("La carpeta Orlette del destino no es de "
                                                      "esta aplicación."))
                    .with(SyncErrorInfo::plain(QStringLiteral("file"), formatFile));
            }
            if (version > SyncRecord::format) {
                return SyncError::make(SyncError::incompatibleVersion,
                                       QStringLiteral("Las notas del destino las escribió una "
                                                      "versión más nueva de Orlette."))
                    .with(SyncErrorInfo::plain(QStringLiteral("format"), version));
            }
            const QString known = m_state.meta(remoteIdentifierKey);
            if (!known.isEmpty() && known != identifier && !m_state.forgetRemote(&failure))
                return databaseError(failure);
            if (known != identifier && !m_state.setMeta(remoteIdentifierKey, identifier, &failure))
                return databaseError(failure);
            m_isSetUp = true;
            return std::nullopt;
        }
        if (format.error->code != SyncError::unknownItem)
            return format.error;

        // No remote copy. If this computer already mirrored notes there, it vanished
        // (a drive not mounted, a folder deleted or not yet brought back by the other
        // program): never a reason to delete anything here, nor to start over silently.
        if (m_state.holdsMirroredNotes()) {
            return SyncError::make(SyncError::userDeletedZone,
                                   QStringLiteral("La carpeta Orlette ya no está en el destino. "
                                                  "No se ha borrado ninguna nota de este "
                                                  "ordenador."))
                .with(SyncErrorInfo::plain(QStringLiteral("file"), formatFile));
        }
        if (auto error = m_transport->makeFolder(SyncTarget::remoteFolder))
            return error;
        if (auto error = m_transport->makeFolder(notesFolder))
            return error;
        const QString identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QJsonObject object{{QStringLiteral("format"), SyncRecord::format},
                                 {QStringLiteral("identifier"), identifier}};
        const auto written =
            m_transport->write(formatFile, QJsonDocument(object).toJson(QJsonDocument::Indented),
                               SyncWriteCondition::absent());
        // Another computer made it at the same moment: read theirs.
        if (!written.ok() && written.error->code == SyncError::serverRecordChanged)
            continue;
        if (!written.ok())
            return written.error;
        if (!m_state.setMeta(remoteIdentifierKey, identifier, &failure))
            return databaseError(failure);
        m_isSetUp = true;
        return std::nullopt;
    }
    return SyncError::make(SyncError::serverRecordChanged,
                           QStringLiteral("No se pudo crear la carpeta Orlette en el destino."));
}

std::optional<SyncRecord> SyncEngineWorker::readRow(const QString &recordName, qint64 pk)
{
    auto statement = m_state.database().prepare(
        QStringLiteral("SELECT %1 FROM Note WHERE pk = ?").arg(StoreSchema::selectColumns()));
    if (!statement)
        return std::nullopt;
    statement->bindInt64(1, pk);
    if (!statement->step())
        return std::nullopt;
    SyncRecord record = SyncRecord::fromRow(recordName, *statement);
    // The row's version rides along in `deletedAtMs`, unused by a live record.
    record.deletedAtMs = statement->int64(Note::fieldCount + 1);
    return record;
}

std::optional<SyncError> SyncEngineWorker::observeLocal()
{
    StoreError failure;
    auto loaded = m_state.load(&failure);
    if (!loaded)
        return databaseError(failure);
    QHash<QString, SyncStateEntry> &states = *loaded;
    QHash<qint64, QString> byPk;
    QList<SyncStateEntry> changed;
    QStringList dropped;
    const qint64 time = now();

    // An import cut short by a crash: keep what reached the store, forget the rest.
    for (auto it = states.begin(); it != states.end(); ++it) {
        SyncStateEntry &entry = it.value();
        if (!entry.pending)
            continue;
        const SyncRecord pending = *entry.pending;
        bool applied = false;
        qint64 version = 0;
        if (pending.isDeleted) {
            applied = !entry.pk || !readRow(entry.recordName, *entry.pk);
        } else if (entry.pendingPk) {
            if (const auto row = readRow(entry.recordName, *entry.pendingPk)) {
                applied = row->sameValues(pending);
                version = row->deletedAtMs;
            }
        }
        if (applied) {
            entry.record = pending;
            entry.pk = pending.isDeleted ? std::nullopt : entry.pendingPk;
            entry.observedRowVersion = version;
        } else if (!entry.pk) {
            dropped << entry.recordName;
        } else {
            entry.remoteTag.clear();
            entry.remoteHash.clear();
        }
        entry.pending.reset();
        entry.pendingPk.reset();
        changed << entry;
    }
    for (const QString &name : std::as_const(dropped)) {
        states.remove(name);
        changed.erase(std::remove_if(changed.begin(), changed.end(),
                                     [&](const SyncStateEntry &e) { return e.recordName == name; }),
                      changed.end());
    }
    if (!dropped.isEmpty()) {
        auto remove = m_state.database().prepare(
            QStringLiteral("DELETE FROM syncState WHERE recordName = ?"));
        for (const QString &name : std::as_const(dropped)) {
            if (!remove)
                break;
            remove->reset();
            remove->bindText(1, name);
            remove->step();
        }
    }
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        if (it->pk)
            byPk.insert(*it->pk, it.key());
    }

    auto rows =
        m_state.database().prepare(QStringLiteral("SELECT pk, rowVersion FROM Note"), &failure);
    if (!rows)
        return databaseError(failure);
    QList<QPair<qint64, qint64>> present;
    while (rows->step())
        present.append({rows->int64(0), rows->int64(1)});
    if (rows->failed())
        return databaseError(m_state.database().lastError());

    QSet<qint64> presentKeys;
    QHash<QString, qsizetype> changedIndex;
    for (qsizetype i = 0; i < changed.size(); ++i)
        changedIndex.insert(changed[i].recordName, i);
    const auto markChanged = [&](const SyncStateEntry &entry) {
        const auto found = changedIndex.constFind(entry.recordName);
        if (found != changedIndex.cend()) {
            changed[*found] = entry;
        } else {
            changedIndex.insert(entry.recordName, changed.size());
            changed << entry;
        }
    };

    for (const auto &[pk, version] : std::as_const(present)) {
        presentKeys.insert(pk);
        const QString known = byPk.value(pk);
        if (!known.isEmpty()) {
            SyncStateEntry &entry = states[known];
            if (entry.observedRowVersion == version)
                continue;
            auto current = readRow(known, pk);
            if (!current)
                continue;
            const qint64 rowVersion = current->deletedAtMs;
            current->deletedAtMs = 0;
            for (int i = 0; i < Note::fieldCount; ++i) {
                const auto field = Note::Field(i);
                if (!entry.record.isDeleted && entry.record.value(field) == current->value(field))
                    current->modifiedAt[size_t(i)] = entry.record.time(field);
                else
                    current->modifiedAt[size_t(i)] =
                        changeTime(*current, field,
                                   entry.record.isDeleted ? 0 : entry.record.time(field), time);
            }
            entry.record = *current;
            entry.observedRowVersion = rowVersion;
            markChanged(entry);
            continue;
        }

        auto current = readRow(QString(), pk);
        if (!current)
            continue;
        const qint64 rowVersion = current->deletedAtMs;
        current->deletedAtMs = 0;
        const QUuid id = current->noteId();
        const QString name = SyncRecord::nameFor(id.isNull() ? QUuid::createUuid() : id);
        // A second row with an id another row already mirrors is a repeat: sending it too
        // would carry the repeat to every computer, where no sync reset could undo it. It
        // stays on this computer, where the settings window reports it and offers the
        // reset, which keeps it in the dated backup.
        if (states.contains(name) && states[name].pk)
            continue;
        SyncStateEntry entry = states.value(name);
        const bool wasDeleted = states.contains(name) && entry.record.isDeleted;
        entry.recordName = name;
        current->recordName = name;
        for (int i = 0; i < Note::fieldCount; ++i) {
            // A note that comes back after its deletion is this computer's latest word.
            current->modifiedAt[size_t(i)] = wasDeleted
                                                 ? qMax(time, entry.record.deletedAtMs + 1)
                                                 : firstSeenTime(*current, Note::Field(i), time);
        }
        entry.record = *current;
        entry.pk = pk;
        entry.observedRowVersion = rowVersion;
        states[name] = entry;
        byPk.insert(pk, name);
        markChanged(entry);
    }

    for (auto it = states.begin(); it != states.end(); ++it) {
        SyncStateEntry &entry = it.value();
        if (!entry.pk || presentKeys.contains(*entry.pk))
            continue;
        entry.record = SyncRecord::tombstone(entry.recordName, time);
        entry.pk.reset();
        entry.observedRowVersion = 0;
        markChanged(entry);
    }

    if (!m_state.save(changed, &failure))
        return databaseError(failure);
    return std::nullopt;
}

std::optional<SyncError> SyncEngineWorker::importChanges()
{
    QList<SyncRemoteEntry> entries;
    auto listing = m_transport->list(notesFolder);
    if (listing.ok()) {
        entries = *listing.value;
    } else if (listing.error->code == SyncError::unknownItem) {
        if (m_state.holdsMirroredNotes()) {
            return SyncError::make(SyncError::userDeletedZone,
                                   QStringLiteral("La carpeta de notas del destino ya no está. "
                                                  "No se ha borrado ninguna nota de este "
                                                  "ordenador."))
                .with(SyncErrorInfo::plain(QStringLiteral("folder"), notesFolder));
        }
        if (auto error = m_transport->makeFolder(notesFolder))
            return error;
    } else {
        return listing.error;
    }

    // Only our own record files count: conflict copies of other programs, editor
    // backups, temporary files and anything named to escape the folder are left alone.
    QHash<QString, QString> remoteTags;
    for (const SyncRemoteEntry &entry : std::as_const(entries)) {
        if (entry.isFolder || !entry.name.endsWith(QStringLiteral(".json")))
            continue;
        const QString name = entry.name.chopped(5);
        if (SyncRecord::isValidName(name))
            remoteTags.insert(name, entry.tag);
    }
    if (remoteTags.isEmpty() && m_state.holdsMirroredNotes()) {
        return SyncError::make(SyncError::userDeletedZone,
                               QStringLiteral("La carpeta de notas del destino está vacía. No se "
                                              "ha borrado ninguna nota de este ordenador."))
            .with(SyncErrorInfo::plain(QStringLiteral("folder"), notesFolder));
    }

    StoreError failure;
    auto loaded = m_state.load(&failure);
    if (!loaded)
        return databaseError(failure);
    QHash<QString, SyncStateEntry> &states = *loaded;
    QList<SyncStateEntry> touched;
    QList<ImportPlan> plans;

    for (auto it = states.begin(); it != states.end(); ++it) {
        // The remote copy went away (not as a tombstone): this computer sends it again.
        if (!it->remoteTag.isEmpty() && !remoteTags.contains(it.key())) {
            it->remoteTag.clear();
            it->remoteHash.clear();
            touched << *it;
        }
    }

    for (auto it = remoteTags.cbegin(); it != remoteTags.cend(); ++it) {
        if (isCancelled())
            return SyncError::make(SyncError::operationCancelled,
                                   QStringLiteral("Sincronización interrumpida."));
        const QString &name = it.key();
        const auto known = states.find(name);
        if (known != states.end() && known->remoteTag == it.value())
            continue;
        const auto file = m_transport->read(notePath(name));
        if (!file.ok()) {
            if (file.error->code == SyncError::unknownItem)
                continue;
            if (stopsThePass(*file.error))
                return file.error;
            continue;
        }
        const auto remote = SyncRecord::fromJson(file.value->data);
        // Damaged files and files of a newer format stay as they are.
        if (!remote || remote->recordName != name)
            continue;
        const QByteArray remoteHash = remote->contentHash();
        if (known != states.end() && known->remoteHash == remoteHash) {
            known->remoteTag = file.value->tag;
            touched << *known;
            continue;
        }

        ImportPlan plan;
        plan.name = name;
        plan.remoteTag = file.value->tag;
        plan.remoteHash = remoteHash;
        if (known == states.end()) {
            plan.merged = *remote;
            plan.merged.deviceId.clear();
            plan.merged.deviceName.clear();
            plan.agreedBodyHash = remote->bodyHash();
        } else {
            const auto result = SyncMerge::merge(known->record, *remote, known->agreedBodyHash);
            plan.merged = result.merged;
            plan.losingBody = result.losingBody;
            plan.pk = known->pk;
            plan.known = true;
            plan.previous = known->record;
            plan.agreedBodyHash =
                !remote->isDeleted && result.merged.bodyHash() == remote->bodyHash()
                    ? remote->bodyHash()
                    : known->agreedBodyHash;
        }
        plans << plan;
    }

    if (!m_state.save(touched, &failure))
        return databaseError(failure);
    return applyImports(states, plans);
}

std::optional<SyncError> SyncEngineWorker::applyImports(QHash<QString, SyncStateEntry> &states,
                                                        const QList<ImportPlan> &plans)
{
    enum class Action
    {
        none,
        insert,
        update,
        remove
    };
    const auto actionOf = [](const ImportPlan &plan) {
        if (plan.merged.isDeleted)
            return plan.pk ? Action::remove : Action::none;
        if (!plan.pk)
            return Action::insert;
        return plan.previous.isDeleted || !plan.merged.sameValues(plan.previous) ? Action::update
                                                                                 : Action::none;
    };
    const auto settled = [&](const ImportPlan &plan) {
        SyncStateEntry entry = states.value(plan.name);
        entry.recordName = plan.name;
        entry.record = plan.merged;
        entry.remoteTag = plan.remoteTag;
        entry.remoteHash = plan.remoteHash;
        entry.agreedBodyHash = plan.agreedBodyHash;
        entry.pending.reset();
        entry.pendingPk.reset();
        return entry;
    };

    bool touchesStore = false;
    for (const ImportPlan &plan : plans)
        touchesStore = touchesStore || actionOf(plan) != Action::none || plan.losingBody;
    StoreError failure;
    if (!touchesStore) {
        QList<SyncStateEntry> entries;
        for (const ImportPlan &plan : plans)
            entries << settled(plan);
        if (!m_state.save(entries, &failure))
            return databaseError(failure);
        return std::nullopt;
    }

    std::unique_ptr<ModelContext> context = m_container ? m_container->makeContext() : nullptr;
    if (!context)
        return databaseError(StoreError{0, QStringLiteral("No se pudo abrir un contexto.")});
    QHash<qint64, Note *> notes;
    const auto all = context->fetch(FetchDescriptor{}, &failure);
    if (!all)
        return databaseError(failure);
    for (Note *note : *all)
        notes.insert(note->persistentModelID().value, note);

    struct Applied
    {
        ImportPlan plan;
        Note *note = nullptr;
        bool isCopy = false;
    };
    QList<Applied> applied;
    QList<SyncStateEntry> intents;
    QList<SyncStateEntry> quiet;
    const qint64 time = now();
    for (const ImportPlan &plan : plans) {
        const Action action = actionOf(plan);
        Note *note = plan.pk ? notes.value(*plan.pk) : nullptr;
        if ((action == Action::update || action == Action::remove) && !note) {
            // The row went away since it was observed; the next pass sees that first.
            continue;
        }
        if (action == Action::none) {
            quiet << settled(plan);
        } else {
            if (action == Action::insert) {
                auto fresh = std::make_unique<Note>();
                plan.merged.applyTo(fresh.get());
                note = context->insert(std::move(fresh));
            } else if (action == Action::update) {
                plan.merged.applyTo(note);
            } else {
                context->remove(note);
            }
            SyncStateEntry intent = settled(plan);
            intent.record =
                states.contains(plan.name) ? states.value(plan.name).record : plan.merged;
            intent.pk = states.contains(plan.name) ? states.value(plan.name).pk : std::nullopt;
            intent.pending = plan.merged;
            if (action != Action::remove)
                intent.pendingPk = note->persistentModelID().value;
            intents << intent;
            applied << Applied{plan, action == Action::remove ? nullptr : note, false};
        }
        if (plan.losingBody) {
            // The body that lost a concurrent edit becomes an archived note of its own.
            const SyncRecord copy =
                SyncMerge::conflictCopy(*plan.losingBody, QUuid::createUuid(), time);
            auto fresh = std::make_unique<Note>();
            copy.applyTo(fresh.get());
            Note *copyNote = context->insert(std::move(fresh));
            SyncStateEntry intent;
            intent.recordName = copy.recordName;
            intent.record = copy;
            intent.pending = copy;
            intent.pendingPk = copyNote->persistentModelID().value;
            intents << intent;
            ImportPlan copyPlan;
            copyPlan.name = copy.recordName;
            copyPlan.merged = copy;
            applied << Applied{copyPlan, copyNote, true};
        }
    }

    if (!m_state.save(intents, &failure))
        return databaseError(failure);
    if (!context->save(&failure)) {
        // Nothing reached the store: the intents go, and the next pass reads again.
        QList<SyncStateEntry> undo;
        for (const SyncStateEntry &intent : std::as_const(intents)) {
            if (states.contains(intent.recordName)) {
                SyncStateEntry entry = states.value(intent.recordName);
                entry.remoteTag.clear();
                entry.remoteHash.clear();
                undo << entry;
            }
        }
        auto remove = m_state.database().prepare(
            QStringLiteral("DELETE FROM syncState WHERE recordName = ? AND pk IS NULL"));
        for (const SyncStateEntry &intent : std::as_const(intents)) {
            if (remove && !states.contains(intent.recordName)) {
                remove->reset();
                remove->bindText(1, intent.recordName);
                remove->step();
            }
        }
        m_state.save(undo);
        return databaseError(failure);
    }

    QList<SyncStateEntry> finals = quiet;
    for (const Applied &done : std::as_const(applied)) {
        SyncStateEntry entry;
        if (done.isCopy) {
            entry.recordName = done.plan.name;
            entry.record = done.plan.merged;
        } else {
            entry = settled(done.plan);
        }
        entry.pk =
            done.note ? std::optional<qint64>(done.note->persistentModelID().value) : std::nullopt;
        entry.observedRowVersion = done.note ? context->storedVersion(done.note) : 0;
        finals << entry;
    }
    if (!m_state.save(finals, &failure))
        return databaseError(failure);
    return std::nullopt;
}

std::optional<SyncError> SyncEngineWorker::exportChanges(bool *exported)
{
    *exported = false;
    StoreError failure;
    auto loaded = m_state.load(&failure);
    if (!loaded) {
        EventScope exporting(this, SyncEvent::Type::exporting);
        const SyncError error = databaseError(failure);
        exporting.finish(error);
        return error;
    }
    QList<SyncStateEntry> due;
    for (const SyncStateEntry &entry : std::as_const(*loaded)) {
        // The records are as loaded: their hashes are known from the passes before.
        if (m_state.loadedContentHash(entry.recordName) != entry.remoteHash)
            due << entry;
    }
    const QJsonObject mergedValues = mergeKeyValues(m_localKeyValues, m_remoteKeyValues);
    const bool keyValuesDue = m_keyValuesRead && mergedValues != m_remoteKeyValues;
    if (due.isEmpty() && !keyValuesDue)
        return std::nullopt;

    *exported = true;
    EventScope exporting(this, SyncEvent::Type::exporting);
    QList<SyncErrorItem> failures;
    QList<SyncStateEntry> done;
    std::optional<SyncError> stop;
    bool lostRace = false;
    const QString device = deviceId();
    for (SyncStateEntry &entry : due) {
        if (isCancelled())
            break;
        SyncRecord out = entry.record;
        out.deviceId = device;
        out.deviceName = m_options.deviceName;
        const auto condition = entry.remoteTag.isEmpty()
                                   ? SyncWriteCondition::absent()
                                   : SyncWriteCondition::matching(entry.remoteTag);
        const auto written =
            m_transport->write(notePath(entry.recordName), out.toFileData(), condition);
        if (written.ok()) {
            // Only now does this computer count the record as mirrored.
            entry.remoteTag = *written.value;
            entry.remoteHash = m_state.loadedContentHash(entry.recordName);
            if (!entry.record.isDeleted)
                entry.agreedBodyHash = entry.record.bodyHash();
            done << entry;
            if (done.size() >= 100) {
                if (!m_state.save(done, &failure)) {
                    stop = databaseError(failure);
                    break;
                }
                done.clear();
            }
            continue;
        }
        if (written.error->code == SyncError::serverRecordChanged) {
            // Someone wrote it meanwhile: the next import merges theirs first.
            lostRace = true;
            continue;
        }
        if (stopsThePass(*written.error)) {
            stop = written.error;
            break;
        }
        SyncErrorItem item;
        item.key = entry.recordName;
        item.error = std::make_shared<const SyncError>(*written.error);
        failures << item;
    }
    if (!m_state.save(done, &failure) && !stop)
        stop = databaseError(failure);

    if (!stop && keyValuesDue && !isCancelled()) {
        bool wrote = false;
        if (auto error = writeKeyValues(&wrote)) {
            if (error->code == SyncError::serverRecordChanged)
                lostRace = true;
            else
                stop = error;
        }
    }
    if (isCancelled())
        return SyncError::make(SyncError::operationCancelled,
                               QStringLiteral("Sincronización interrumpida."));

    if (lostRace && m_conflictRounds < m_options.conflictRetries) {
        ++m_conflictRounds;
        m_again = true;
    }
    std::optional<SyncError> error = stop;
    if (!error && !failures.isEmpty())
        error = partialFailure(failures);
    exporting.finish(error);
    return error;
}

QJsonObject SyncEngineWorker::mergeKeyValues(const QJsonObject &local, const QJsonObject &remote)
{
    QJsonObject merged = remote;
    for (auto it = local.constBegin(); it != local.constEnd(); ++it) {
        const QJsonObject mine = it.value().toObject();
        const QJsonObject theirs = remote.value(it.key()).toObject();
        if (!remote.contains(it.key())) {
            merged.insert(it.key(), mine);
            continue;
        }
        const double mineTime = mine.value(QStringLiteral("modifiedAt")).toDouble();
        const double theirTime = theirs.value(QStringLiteral("modifiedAt")).toDouble();
        const bool mineValue = mine.value(QStringLiteral("value")).toBool();
        const bool theirValue = theirs.value(QStringLiteral("value")).toBool();
        if (mineTime > theirTime || (mineTime == theirTime && mineValue && !theirValue))
            merged.insert(it.key(), mine);
    }
    return merged;
}

void SyncEngineWorker::setLocalKeyValues(const QJsonObject &values)
{
    m_localKeyValues = values;
}

std::optional<SyncError> SyncEngineWorker::readKeyValues()
{
    const auto file = m_transport->read(keyValueFile);
    if (file.ok()) {
        const QJsonObject object = QJsonDocument::fromJson(file.value->data).object();
        if (object.value(QStringLiteral("format")).toInt(0) > SyncRecord::format) {
            // A newer document is read but never written over.
            m_keyValueTag.clear();
            m_keyValuesRead = false;
            return std::nullopt;
        }
        m_remoteKeyValues = object.value(QStringLiteral("values")).toObject();
        m_keyValueTag = file.value->tag;
    } else if (file.error->code == SyncError::unknownItem) {
        m_remoteKeyValues = QJsonObject();
        m_keyValueTag.clear();
    } else {
        return file.error;
    }
    m_keyValuesRead = true;
    return std::nullopt;
}

std::optional<SyncError> SyncEngineWorker::writeKeyValues(bool *wrote)
{
    *wrote = false;
    const QJsonObject merged = mergeKeyValues(m_localKeyValues, m_remoteKeyValues);
    const QJsonObject object{{QStringLiteral("format"), SyncRecord::format},
                             {QStringLiteral("values"), merged}};
    const auto written =
        m_transport->write(keyValueFile, QJsonDocument(object).toJson(QJsonDocument::Indented),
                           m_keyValueTag.isEmpty() ? SyncWriteCondition::absent()
                                                   : SyncWriteCondition::matching(m_keyValueTag));
    if (!written.ok())
        return written.error;
    m_remoteKeyValues = merged;
    m_keyValueTag = *written.value;
    *wrote = true;
    return std::nullopt;
}

void SyncEngineWorker::finishKeyValues(bool ok)
{
    if (isCancelled())
        return;
    Q_EMIT keyValuesSynced(mergeKeyValues(m_localKeyValues, m_remoteKeyValues),
                           ok && m_keyValuesRead);
}

void SyncEngineWorker::requestAccountStatus()
{
    std::optional<SyncError> error;
    if (!prepare(&error)) {
        Q_EMIT accountStatusReady(SyncMirroring::AccountStatus::couldNotDetermine, error);
        return;
    }
    const auto status = m_transport->accountStatus(&error);
    Q_EMIT accountStatusReady(status, error);
}

void SyncEngineWorker::requestZoneNames()
{
    std::optional<SyncError> error;
    if (!prepare(&error)) {
        Q_EMIT zoneNamesReady({}, error);
        return;
    }
    const auto listing = m_transport->list(SyncTarget::remoteFolder);
    if (!listing.ok()) {
        if (listing.error->code == SyncError::unknownItem)
            Q_EMIT zoneNamesReady({}, std::nullopt);
        else
            Q_EMIT zoneNamesReady({}, listing.error);
        return;
    }
    QStringList names{SyncTarget::remoteFolder};
    for (const SyncRemoteEntry &entry : *listing.value) {
        if (entry.isFolder)
            names << SyncTarget::remoteFolder + QLatin1Char('/') + entry.name;
    }
    Q_EMIT zoneNamesReady(names, std::nullopt);
}
