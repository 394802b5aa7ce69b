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
    auto loaded = m_env.state.load();
    if (!loaded)
        return Unexpected(SyncPassErrors::database(loaded.error()));
    QList<SyncStateEntry> due;
    for (const SyncStateEntry &entry : std::as_const(*loaded)) {
        // The records are as loaded: their hashes are known from the passes before.
        if (m_env.state.loadedContentHash(entry.recordName) != entry.remoteHash)
            due << entry;
    }
    return due;
}

SyncExporter::Outcome SyncExporter::send(QList<SyncStateEntry> due,
                                         const QHash<QString, SyncError> &refused)
{
    Outcome outcome;
    QList<SyncErrorItem> failures;
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        failures << SyncErrorItem{it.key(), std::make_shared<const SyncError>(it.value()), {}};
    QList<SyncStateEntry> done;
    SyncResult<void> &result = outcome.result;
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
        if (written) {
            // Only now does this computer count the record as mirrored.
            entry.remoteTag = *written;
            entry.remoteHash = m_env.state.loadedContentHash(entry.recordName);
            if (!entry.record.isDeleted)
                entry.agreedBodyHash = entry.record.bodyHash();
            done << entry;
            if (done.size() >= 100) {
                result = m_env.state.save(done).transform_error(SyncPassErrors::database);
                if (!result)
                    break;
                done.clear();
            }
        } else if (written.error().code == SyncError::serverRecordChanged) {
            // Someone wrote it meanwhile: the next import merges theirs first.
            outcome.lostRace = true;
        } else if (SyncPassErrors::stopsThePass(written.error())) {
            result = Unexpected(written.error());
            break;
        } else {
            failures << SyncErrorItem{
                entry.recordName, std::make_shared<const SyncError>(written.error()), {}};
        }
    }
    if (const auto saved = m_env.state.save(done); !saved && result)
        result = Unexpected(SyncPassErrors::database(saved.error()));

    if (result && m_keyValues.isDue() && !m_env.cancelled()) {
        if (const auto keyValues = m_keyValues.write(m_env.transport); !keyValues) {
            if (keyValues.error().code == SyncError::serverRecordChanged)
                outcome.lostRace = true;
            else
                result = keyValues;
        }
    }
    if (m_env.cancelled())
        return Outcome{Unexpected(SyncPassErrors::cancelled()), outcome.lostRace};
    if (result && !failures.isEmpty())
        result = Unexpected(SyncPassErrors::partialFailure(failures));
    return outcome;
}
