// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncPass.h"

#include <QHash>
#include <QList>
#include <QSet>

// The first step of a pass: which local rows changed since the last one (by their
// `rowVersion`), each changed field stamped with the time of its change, new rows
// given a record, deleted rows turned into tombstones, and an import a crash cut short
// settled. The result goes into the sync state.
class SyncLocalScan
{
public:
    explicit SyncLocalScan(SyncPassEnvironment environment);

    SyncResult<void> run();

private:
    void settleInterruptedImports();
    void observeKnownRow(const QString &recordName, qint64 pk);
    void observeNewRow(qint64 pk);
    void markDeletedRows(const QSet<qint64> &present);
    void markChanged(const SyncStateEntry &entry);

    SyncPassEnvironment m_env;
    qint64 m_time = 0;
    QHash<QString, SyncStateEntry> m_states;
    QHash<qint64, QString> m_byPk;
    QList<SyncStateEntry> m_changed;
    QHash<QString, qsizetype> m_changedIndex;
};
