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

    std::optional<SyncError> run();

private:
    std::optional<SyncError> pairWithTarget();
    std::optional<SyncError> adopt(const QByteArray &formatData);
    // Fails with `serverRecordChanged` when another computer made it first.
    std::optional<SyncError> create();

    SyncPassEnvironment m_env;
    QString m_targetIdentity;
};
