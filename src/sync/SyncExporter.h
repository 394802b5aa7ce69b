// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncKeyValueMerge.h"
#include "sync/SyncPass.h"

// The export step of a pass: writes every record whose content differs from what the
// target was last known to hold, each on condition that nobody wrote it meanwhile, and
// the merged key-value document.
class SyncExporter
{
public:
    struct Outcome
    {
        SyncResult<void> result;
        // A write found the target changed since it was read: a pass should follow.
        bool lostRace = false;
    };

    SyncExporter(SyncPassEnvironment environment, SyncKeyValueMerge &keyValues, QString deviceId,
                 QString deviceName);

    // The records due; fails when the sync state can't be read.
    SyncResult<QList<SyncStateEntry>> due();
    bool keyValuesDue() const { return m_keyValues.isDue(); }
    // `refused`: records of the target the import could not read, by name; they are not
    // written over and are reported as failures of this pass.
    Outcome send(QList<SyncStateEntry> due, const QHash<QString, SyncError> &refused = {});

private:
    SyncPassEnvironment m_env;
    SyncKeyValueMerge &m_keyValues;
    QString m_deviceId;
    QString m_deviceName;
};
