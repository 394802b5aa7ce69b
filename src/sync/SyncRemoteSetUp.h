// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncPass.h"

// The first pass against a target: pairs the sync state with the target's remote copy
// (its `format.json`), forgetting what was known of another copy, or makes the remote
// copy when there is none and this computer never mirrored notes to it.
class SyncRemoteSetUp
{
public:
    SyncRemoteSetUp(SyncPassEnvironment environment, QString targetIdentity);

    SyncResult<void> run();

private:
    SyncResult<void> pairWithTarget();
    SyncResult<void> adopt(const QByteArray &formatData);
    // Fails with `serverRecordChanged` when another computer made it first.
    SyncResult<void> create();

    SyncPassEnvironment m_env;
    QString m_targetIdentity;
};
