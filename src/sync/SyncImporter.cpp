// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncImporter.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "sync/SyncMerge.h"

SyncImporter::SyncImporter(SyncPassEnvironment environment, ModelContainer *container)
    : m_env(std::move(environment)), m_container(container)
{
}

SyncImporter::~SyncImporter() = default;

std::optional<SyncError> SyncImporter::run()
{
    const auto remoteTags = listRemote();
    if (!remoteTags.ok())
        return remoteTags.error;
    if (auto error = plan(*remoteTags.value))
        return error;
    return apply();
}

SyncResult<QHash<QString, QString>> SyncImporter::listRemote()
{
    using Result = SyncResult<QHash<QString, QString>>;
    QList<SyncRemoteEntry> entries;
    auto listing = m_env.transport.list(SyncPaths::notesFolder);
    if (listing.ok()) {
        entries = *listing.value;
    } else if (listing.error->code == SyncError::unknownItem) {
        if (m_env.state.holdsMirroredNotes()) {
            return Result::failure(
                SyncError::make(SyncError::userDeletedZone,
                                QStringLiteral("La carpeta de notas del destino ya no está. "
                                               "No se ha borrado ninguna nota de este "
                                               "ordenador."))
                    .with(SyncErrorInfo::plain(QStringLiteral("folder"), SyncPaths::notesFolder)));
        }
        if (auto error = m_env.transport.makeFolder(SyncPaths::notesFolder))
            return Result::failure(*error);
    } else {
        return Result::failure(*listing.error);
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
    if (remoteTags.isEmpty() && m_env.state.holdsMirroredNotes()) {
        return Result::failure(
            SyncError::make(SyncError::userDeletedZone,
                            QStringLiteral("La carpeta de notas del destino está vacía. No se "
                                           "ha borrado ninguna nota de este ordenador."))
                .with(SyncErrorInfo::plain(QStringLiteral("folder"), SyncPaths::notesFolder)));
    }
    return Result::success(remoteTags);
}

std::optional<SyncError> SyncImporter::plan(const QHash<QString, QString> &remoteTags)
{
    StoreError failure;
    auto loaded = m_env.state.load(&failure);
    if (!loaded)
        return SyncPassErrors::database(failure);
    m_states = std::move(*loaded);
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
            return SyncPassErrors::cancelled();
        const QString &name = it.key();
        const auto known = m_states.find(name);
        if (known != m_states.end() && known->remoteTag == it.value())
            continue;
        const auto file = m_env.transport.read(SyncPaths::notePath(name));
        if (!file.ok()) {
            if (file.error->code != SyncError::unknownItem &&
                SyncPassErrors::stopsThePass(*file.error))
                return file.error;
            continue;
        }
        const auto remote = SyncRecord::fromJson(file.value->data);
        // Damaged files and files of a newer format stay as they are.
        if (!remote || remote->recordName != name)
            continue;
        if (known != m_states.end() && known->remoteHash == remote->contentHash()) {
            known->remoteTag = file.value->tag;
            touched << *known;
            continue;
        }
        if (auto planned = planOne(name, *file.value, *remote))
            m_plans << *planned;
    }

    if (!m_env.state.save(touched, &failure))
        return SyncPassErrors::database(failure);
    return std::nullopt;
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

std::optional<SyncError> SyncImporter::apply()
{
    const bool touchesStore = std::any_of(m_plans.cbegin(), m_plans.cend(), [](const Plan &plan) {
        return actionOf(plan) != Action::none || plan.losingBody;
    });
    StoreError failure;
    if (!touchesStore) {
        QList<SyncStateEntry> entries;
        for (const Plan &plan : std::as_const(m_plans))
            entries << settled(plan);
        if (!m_env.state.save(entries, &failure))
            return SyncPassErrors::database(failure);
        return std::nullopt;
    }

    std::unique_ptr<ModelContext> context = m_container ? m_container->makeContext() : nullptr;
    if (!context)
        return SyncPassErrors::database(
            StoreError{0, QStringLiteral("No se pudo abrir un contexto.")});
    QHash<qint64, Note *> notes;
    const auto all = context->fetch(FetchDescriptor{}, &failure);
    if (!all)
        return SyncPassErrors::database(failure);
    for (Note *note : *all)
        notes.insert(note->persistentModelID().value, note);
    if (auto error = applyToStore(*context, notes))
        return error;

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
    if (!m_env.state.save(finals, &failure))
        return SyncPassErrors::database(failure);
    return std::nullopt;
}

std::optional<SyncError> SyncImporter::applyToStore(ModelContext &context,
                                                    QHash<qint64, Note *> &notes)
{
    for (const Plan &plan : std::as_const(m_plans)) {
        const Action action = actionOf(plan);
        Note *note = plan.pk ? notes.value(*plan.pk) : nullptr;
        // The row went away since it was observed; the next pass sees that first.
        if ((action == Action::update || action == Action::remove) && !note)
            continue;
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

    StoreError failure;
    if (!m_env.state.save(m_intents, &failure))
        return SyncPassErrors::database(failure);
    if (!context.save(&failure)) {
        // Nothing reached the store: the intents go, and the next pass reads again.
        undoIntents();
        return SyncPassErrors::database(failure);
    }
    return std::nullopt;
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
    m_env.state.save(undo);
}
