// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncImporter.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "sync/SyncMerge.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <tuple>

SyncImporter::SyncImporter(SyncPassEnvironment environment, ModelContainer *container)
    : m_env(std::move(environment)), m_container(container)
{
}

SyncImporter::~SyncImporter() = default;

SyncResult<void> SyncImporter::run()
{
    const auto remoteTags = listRemote();
    if (!remoteTags)
        return Unexpected(remoteTags.error());
    if (auto planned = plan(*remoteTags); !planned)
        return planned;
    planSyncthingCopies();
    auto applied = apply();
    if (applied && !m_metALocalEdit)
        removeSurfacedCopies();
    return applied;
}

// Syncthing keeps the version that lost a simultaneous change as
// "<name>.sync-conflict-<date>-<time>-<device>.json". Its text must reach the person: a
// body nobody here holds becomes a conflict copy, like a body that lost a merge, and the
// file goes once its text is safe in the store.
void SyncImporter::planSyncthingCopies()
{
    for (auto it = m_syncthingCopies.cbegin(); it != m_syncthingCopies.cend(); ++it) {
        if (m_env.cancelled())
            return;
        const auto file =
            m_env.transport.read(SyncPaths::notesFolder + QLatin1Char('/') + it.key());
        if (!file)
            continue;
        const auto record = SyncRecord::fromJson(file->data);
        if (!record || record->recordName != it.value()) {
            // Not a copy of one of our records: another program's, left alone.
            continue;
        }
        QSet<QByteArray> heldBodies;
        if (const auto known = m_states.constFind(it.value()); known != m_states.cend())
            heldBodies << known->record.bodyHash();
        for (const Plan &plan : std::as_const(m_plans)) {
            if (plan.name == it.value())
                heldBodies << plan.merged.bodyHash();
        }
        if (!record->isDeleted && !heldBodies.contains(record->bodyHash()))
            m_surfacedBodies << *record;
        m_surfacedFiles << it.key();
    }
}

void SyncImporter::removeSurfacedCopies()
{
    // A copy that cannot be removed now is read again by the next pass.
    for (const QString &file : std::as_const(m_surfacedFiles))
        std::ignore = m_env.transport.remove(SyncPaths::notesFolder + QLatin1Char('/') + file);
}

SyncResult<QHash<QString, QString>> SyncImporter::listRemote()
{
    using Result = SyncResult<QHash<QString, QString>>;
    QList<SyncRemoteEntry> entries;
    auto listing = m_env.transport.list(SyncPaths::notesFolder);
    if (listing) {
        entries = *listing;
        m_listingDigest = digestOf(entries);
    } else if (listing.error().code == SyncError::unknownItem) {
        if (m_env.state.holdsMirroredNotes()) {
            return Unexpected(
                SyncError::make(SyncError::userDeletedZone,
                                QStringLiteral("La carpeta de notas del destino ya no está. "
                                               "No se ha borrado ninguna nota de este "
                                               "ordenador."))
                    .with(SyncErrorInfo::plain(QStringLiteral("folder"), SyncPaths::notesFolder)));
        }
        if (auto made = m_env.transport.makeFolder(SyncPaths::notesFolder); !made)
            return Unexpected(made.error());
    } else {
        return Unexpected(listing.error());
    }

    // Only our own record files count, and Syncthing's conflict copies of them: editor
    // backups, temporary files and anything named to escape the folder are left alone.
    static const QRegularExpression syncthingCopy(
        QStringLiteral("^([A-Za-z0-9_-]+)\\.sync-conflict-[0-9]{8}-[0-9]{6}-[A-Za-z0-9]+\\.json$"));
    QHash<QString, QString> remoteTags;
    for (const SyncRemoteEntry &entry : std::as_const(entries)) {
        if (entry.isFolder || !entry.name.endsWith(QStringLiteral(".json")))
            continue;
        const QString name = entry.name.chopped(5);
        if (SyncRecord::isValidName(name)) {
            remoteTags.insert(name, entry.tag);
        } else if (const auto match = syncthingCopy.match(entry.name);
                   match.hasMatch() && SyncRecord::isValidName(match.captured(1))) {
            m_syncthingCopies.insert(entry.name, match.captured(1));
        }
    }
    if (remoteTags.isEmpty() && m_env.state.holdsMirroredNotes()) {
        return Unexpected(
            SyncError::make(SyncError::remoteCopyEmptied,
                            QStringLiteral("La carpeta de notas del destino está vacía. No se "
                                           "ha borrado ninguna nota de este ordenador."))
                .with(SyncErrorInfo::plain(QStringLiteral("folder"), SyncPaths::notesFolder)));
    }
    return Result(remoteTags);
}

QByteArray SyncImporter::digestOf(const QList<SyncRemoteEntry> &entries)
{
    QStringList lines;
    for (const SyncRemoteEntry &entry : entries)
        lines << entry.name + QLatin1Char('\t') + entry.tag;
    lines.sort();
    return QCryptographicHash::hash(lines.join(QLatin1Char('\n')).toUtf8(),
                                    QCryptographicHash::Sha256);
}

SyncResult<void> SyncImporter::plan(const QHash<QString, QString> &remoteTags)
{
    auto loaded = m_env.state.load();
    if (!loaded)
        return Unexpected(SyncPassErrors::database(loaded.error()));
    m_states = std::move(loaded).value();
    QList<SyncStateEntry> touched;

    for (auto it = m_states.begin(); it != m_states.end(); ++it) {
        // The remote copy went away (not as a tombstone): this computer sends it again.
        if (!it->remoteTag.isEmpty() && !remoteTags.contains(it.key())) {
            it->remoteTag.clear();
            it->remoteHash.clear();
            touched << *it;
        }
    }

    for (auto it = remoteTags.cbegin(); it != remoteTags.cend(); ++it) {
        if (m_env.cancelled())
            return Unexpected(SyncPassErrors::cancelled());
        const QString &name = it.key();
        const auto known = m_states.find(name);
        if (known != m_states.end() && known->remoteTag == it.value())
            continue;
        const auto file = m_env.transport.read(SyncPaths::notePath(name));
        if (!file && file.error().code == SyncError::limitExceeded) {
            m_refused.insert(name, SyncError::wrapping(SyncError::limitExceeded,
                                                       QStringLiteral("Esta nota es demasiado "
                                                                      "grande para sincronizarla."),
                                                       file.error()));
            continue;
        }
        if (!file) {
            if (file.error().code != SyncError::unknownItem &&
                SyncPassErrors::stopsThePass(file.error()))
                return Unexpected(file.error());
            continue;
        }
        const auto remote = SyncRecord::fromJson(file->data);
        // Damaged files, files of a newer format and impostors stay as they are.
        if (const auto usable = checkRecord(name, file->data, remote); !usable) {
            // A file no note here ever had is another program's and left alone quietly;
            // one that stands for a note here, or that a newer version wrote, is reported.
            const QUuid id = remote ? remote->noteId() : QUuid();
            if (known != m_states.end() || usable.error().code == SyncError::incompatibleVersion ||
                (!id.isNull() && m_states.contains(SyncRecord::nameFor(id))))
                m_refused.insert(name, usable.error());
            continue;
        }
        if (known != m_states.end() && known->remoteHash == remote->contentHash()) {
            known->remoteTag = file->tag;
            touched << *known;
            continue;
        }
        if (auto planned = planOne(name, *file, *remote))
            m_plans << *planned;
    }

    return m_env.state.save(touched).transform_error(SyncPassErrors::database);
}

std::optional<SyncImporter::Plan>
SyncImporter::planOne(const QString &name, const SyncRemoteFile &file, const SyncRecord &remote)
{
    Plan plan;
    plan.name = name;
    plan.remoteTag = file.tag;
    plan.remoteHash = remote.contentHash();
    const auto known = m_states.constFind(name);
    if (known == m_states.cend()) {
        plan.merged = remote;
        plan.merged.deviceId.clear();
        plan.merged.deviceName.clear();
        plan.agreedBodyHash = remote.bodyHash();
        return plan;
    }
    const auto result = SyncMerge::merge(known->record, remote, known->agreedBodyHash);
    plan.merged = result.merged;
    plan.losingBody = result.losingBody;
    plan.pk = known->pk;
    plan.previous = known->record;
    plan.agreedBodyHash = !remote.isDeleted && result.merged.bodyHash() == remote.bodyHash()
                              ? remote.bodyHash()
                              : known->agreedBodyHash;
    return plan;
}

SyncResult<void> SyncImporter::checkRecord(const QString &name, const QByteArray &data,
                                           const Expected<SyncRecord, QString> &remote)
{
    QString reason;
    int code = SyncError::invalidArguments;
    if (!remote) {
        reason = remote.error();
        const int version =
            QJsonDocument::fromJson(data).object().value(QStringLiteral("format")).toInt(0);
        if (version > SyncRecord::format)
            code = SyncError::incompatibleVersion;
    } else if (remote->recordName != name) {
        reason = QStringLiteral("dice ser la nota %1").arg(remote->recordName);
    } else if (const QUuid id = remote->noteId();
               !remote->isDeleted && !id.isNull() && SyncRecord::nameFor(id) != name) {
        // Another note's id under a name of its own would be imported as a second copy.
        reason = QStringLiteral("guarda la nota %1").arg(SyncRecord::nameFor(id));
    } else {
        return {};
    }
    return Unexpected(
        SyncError::make(code, QStringLiteral("La copia de esta nota en el destino no se puede "
                                             "usar (%1): sus cambios no salen de este ordenador.")
                                  .arg(reason))
            .with(SyncErrorInfo::plain(QStringLiteral("file"), SyncPaths::notePath(name))));
}

SyncImporter::Action SyncImporter::actionOf(const Plan &plan)
{
    if (plan.merged.isDeleted)
        return plan.pk ? Action::remove : Action::none;
    if (!plan.pk)
        return Action::insert;
    return plan.previous.isDeleted || !plan.merged.sameValues(plan.previous) ? Action::update
                                                                             : Action::none;
}

SyncStateEntry SyncImporter::settled(const Plan &plan) const
{
    SyncStateEntry entry = m_states.value(plan.name);
    entry.recordName = plan.name;
    entry.record = plan.merged;
    entry.remoteTag = plan.remoteTag;
    entry.remoteHash = plan.remoteHash;
    entry.agreedBodyHash = plan.agreedBodyHash;
    entry.pending.reset();
    entry.pendingPk.reset();
    return entry;
}

SyncResult<void> SyncImporter::apply()
{
    const bool touchesStore = !m_surfacedBodies.isEmpty() ||
                              std::any_of(m_plans.cbegin(), m_plans.cend(), [](const Plan &plan) {
                                  return actionOf(plan) != Action::none || plan.losingBody;
                              });
    if (!touchesStore) {
        QList<SyncStateEntry> entries;
        for (const Plan &plan : std::as_const(m_plans))
            entries << settled(plan);
        return m_env.state.save(entries).transform_error(SyncPassErrors::database);
    }

    if (!m_container)
        return Unexpected(SyncPassErrors::database(
            StoreError{0, QStringLiteral("No se pudo abrir un contexto.")}));
    auto opened = m_container->makeContext();
    if (!opened)
        return Unexpected(SyncPassErrors::database(opened.error()));
    const std::unique_ptr<ModelContext> context = std::move(opened).value();
    // Rows are merged from the scan at the start of the pass; a save made since then
    // must win over the merge, not be overwritten by it.
    context->setSavesOnlyUnchangedRows(true);
    QHash<qint64, Note *> notes;
    const auto all = context->fetch(FetchDescriptor{});
    if (!all)
        return Unexpected(SyncPassErrors::database(all.error()));
    for (Note *note : *all)
        notes.insert(note->persistentModelID().value, note);
    if (auto applied = applyToStore(*context, notes); !applied)
        return applied;
    if (m_metALocalEdit)
        return {};

    QList<SyncStateEntry> finals = m_quiet;
    for (const Applied &done : std::as_const(m_applied)) {
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
    return m_env.state.save(finals).transform_error(SyncPassErrors::database);
}

SyncResult<void> SyncImporter::applyToStore(ModelContext &context, QHash<qint64, Note *> &notes)
{
    for (const Plan &plan : std::as_const(m_plans)) {
        const Action action = actionOf(plan);
        Note *note = plan.pk ? notes.value(*plan.pk) : nullptr;
        // The row went away since it was observed; the next pass sees that first.
        if ((action == Action::update || action == Action::remove) && !note)
            continue;
        if (changedSinceScan(plan, context, note)) {
            m_metALocalEdit = true;
            continue;
        }
        if (action == Action::none) {
            m_quiet << settled(plan);
        } else {
            if (action == Action::insert) {
                auto fresh = std::make_unique<Note>();
                plan.merged.applyTo(fresh.get());
                note = context.insert(std::move(fresh));
            } else if (action == Action::update) {
                plan.merged.applyTo(note);
            } else {
                context.remove(note);
            }
            SyncStateEntry intent = settled(plan);
            const auto known = m_states.constFind(plan.name);
            intent.record = known != m_states.cend() ? known->record : plan.merged;
            intent.pk = known != m_states.cend() ? known->pk : std::nullopt;
            intent.pending = plan.merged;
            if (action != Action::remove)
                intent.pendingPk = note->persistentModelID().value;
            m_intents << intent;
            m_applied << Applied{plan, action == Action::remove ? nullptr : note, false};
        }
        if (plan.losingBody)
            applyConflictCopy(context, *plan.losingBody);
    }
    for (const SyncRecord &body : std::as_const(m_surfacedBodies))
        applyConflictCopy(context, body);

    if (auto noted = m_env.state.save(m_intents); !noted)
        return Unexpected(SyncPassErrors::database(noted.error()));
    if (const auto saved = context.save(); !saved) {
        // Nothing reached the store: the intents go, and the next pass reads again.
        undoIntents();
        if (saved.error().code == StoreError::rowChanged) {
            m_metALocalEdit = true;
            return {};
        }
        return Unexpected(SyncPassErrors::database(saved.error()));
    }
    return {};
}

bool SyncImporter::changedSinceScan(const Plan &plan, const ModelContext &context,
                                    const Note *note) const
{
    if (!note || !plan.pk)
        return false;
    const auto known = m_states.constFind(plan.name);
    return known != m_states.cend() && known->observedRowVersion != context.storedVersion(note);
}

// The body that lost a concurrent edit becomes an archived note of its own.
void SyncImporter::applyConflictCopy(ModelContext &context, const SyncRecord &losingBody)
{
    const SyncRecord copy = SyncMerge::conflictCopy(losingBody, QUuid::createUuid(), m_env.now());
    auto fresh = std::make_unique<Note>();
    copy.applyTo(fresh.get());
    Note *copyNote = context.insert(std::move(fresh));
    SyncStateEntry intent;
    intent.recordName = copy.recordName;
    intent.record = copy;
    intent.pending = copy;
    intent.pendingPk = copyNote->persistentModelID().value;
    m_intents << intent;
    Plan copyPlan;
    copyPlan.name = copy.recordName;
    copyPlan.merged = copy;
    m_applied << Applied{copyPlan, copyNote, true};
}

void SyncImporter::undoIntents()
{
    QList<SyncStateEntry> undo;
    QStringList fresh;
    for (const SyncStateEntry &intent : std::as_const(m_intents)) {
        const auto known = m_states.constFind(intent.recordName);
        if (known == m_states.cend()) {
            fresh << intent.recordName;
            continue;
        }
        SyncStateEntry entry = *known;
        entry.remoteTag.clear();
        entry.remoteHash.clear();
        undo << entry;
    }
    m_env.state.removeDetached(fresh);
    // Intents left behind by a failure here are settled by the next scan.
    std::ignore = m_env.state.save(undo);
}
