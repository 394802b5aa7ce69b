// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncExporter.h"

SyncExporter::SyncExporter(SyncPassEnvironment environment, SyncKeyValueMerge &keyValues,
                           QString deviceId, QString deviceName)
    : m_env(std::move(environment)), m_keyValues(keyValues), m_deviceId(std::move(deviceId)),
      m_deviceName(std::move(deviceName))
{
}

SyncResult<QList<SyncStateEntry>> SyncExporter::due()
{
    StoreError failure;
    auto loaded = m_env.state.load(&failure);
    if (!loaded)
        return SyncResult<QList<SyncStateEntry>>::failure(SyncPassErrors::database(failure));
    QList<SyncStateEntry> due;
    for (const SyncStateEntry &entry : std::as_const(*loaded)) {
        // The records are as loaded: their hashes are known from the passes before.
        if (m_env.state.loadedContentHash(entry.recordName) != entry.remoteHash)
            due << entry;
    }
    return SyncResult<QList<SyncStateEntry>>::success(due);
}

SyncExporter::Outcome SyncExporter::send(QList<SyncStateEntry> due,
                                         const QHash<QString, SyncError> &refused)
{
    Outcome outcome;
    QList<SyncErrorItem> failures;
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        failures << SyncErrorItem{it.key(), std::make_shared<const SyncError>(it.value()), {}};
    QList<SyncStateEntry> done;
    StoreError failure;
    std::optional<SyncError> &stop = outcome.error;
    for (SyncStateEntry &entry : due) {
        if (m_env.cancelled())
            break;
        if (refused.contains(entry.recordName))
            continue;
        SyncRecord out = entry.record;
        out.deviceId = m_deviceId;
        out.deviceName = m_deviceName;
        const auto condition = entry.remoteTag.isEmpty()
                                   ? SyncWriteCondition::absent()
                                   : SyncWriteCondition::matching(entry.remoteTag);
        const QByteArray data = out.toFileData();
        if (data.size() > SyncTransport::maxFileSize) {
            // Every other computer would refuse to read it.
            failures << SyncErrorItem{
                entry.recordName,
                std::make_shared<const SyncError>(SyncError::make(
                    SyncError::limitExceeded,
                    QStringLiteral("Esta nota es demasiado grande para sincronizarla."))),
                {}};
            continue;
        }
        const auto written =
            m_env.transport.write(SyncPaths::notePath(entry.recordName), data, condition);
        if (written.ok()) {
            // Only now does this computer count the record as mirrored.
            entry.remoteTag = *written.value;
            entry.remoteHash = m_env.state.loadedContentHash(entry.recordName);
            if (!entry.record.isDeleted)
                entry.agreedBodyHash = entry.record.bodyHash();
            done << entry;
            if (done.size() >= 100) {
                if (!m_env.state.save(done, &failure)) {
                    stop = SyncPassErrors::database(failure);
                    break;
                }
                done.clear();
            }
        } else if (written.error->code == SyncError::serverRecordChanged) {
            // Someone wrote it meanwhile: the next import merges theirs first.
            outcome.lostRace = true;
        } else if (SyncPassErrors::stopsThePass(*written.error)) {
            stop = written.error;
            break;
        } else {
            failures << SyncErrorItem{
                entry.recordName, std::make_shared<const SyncError>(*written.error), {}};
        }
    }
    if (!m_env.state.save(done, &failure) && !stop)
        stop = SyncPassErrors::database(failure);

    if (!stop && m_keyValues.isDue() && !m_env.cancelled()) {
        if (auto error = m_keyValues.write(m_env.transport)) {
            if (error->code == SyncError::serverRecordChanged)
                outcome.lostRace = true;
            else
                stop = error;
        }
    }
    if (m_env.cancelled())
        return Outcome{SyncPassErrors::cancelled(), outcome.lostRace};
    if (!stop && !failures.isEmpty())
        stop = SyncPassErrors::partialFailure(failures);
    return outcome;
}
