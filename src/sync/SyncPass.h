// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SqliteDatabase.h"
#include "sync/SyncError.h"
#include "sync/SyncStateStore.h"
#include "sync/SyncTransport.h"

#include <QString>

#include <functional>

// Where the mirroring keeps its files on a target.
namespace SyncPaths {
inline const QString formatFile = QStringLiteral("Orlette/format.json");
inline const QString notesFolder = QStringLiteral("Orlette/notes");
inline const QString keyValueFile = QStringLiteral("Orlette/keyvalue.json");
QString notePath(const QString &recordName);
} // namespace SyncPaths

// What every step of a pass works with: the target, this computer's sync state, the
// clock and the question whether the pass was given up.
struct SyncPassEnvironment
{
    SyncTransport &transport;
    SyncStateStore &state;
    std::function<qint64()> now;
    std::function<bool()> cancelled;
};

// The errors every step of a pass reports in the same words.
namespace SyncPassErrors {
// Failures that stop a whole pass rather than one record.
bool stopsThePass(const SyncError &error);
SyncError database(const StoreError &error);
SyncError partialFailure(const QList<SyncErrorItem> &failures);
SyncError cancelled();
} // namespace SyncPassErrors
