// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncRecord.h"

#include <QByteArray>
#include <QUuid>

#include <optional>

// How two versions of one record become one: field by field the newer write wins (the
// rich and plain text travel together as the body), a deletion wins over older edits and
// loses to newer ones. When both sides changed the body since they last agreed, the body
// that lost is handed back so it can be kept as a note of its own.
class SyncMerge
{
public:
    struct Result
    {
        SyncRecord merged;
        // The side whose body lost a concurrent edit.
        std::optional<SyncRecord> losingBody;
    };

    // `agreedBodyHash` is the body both sides last held; empty when they never agreed.
    // The result does not depend on which side is called local.
    static Result merge(const SyncRecord &local, const SyncRecord &remote,
                        const QByteArray &agreedBodyHash);

    // A new archived note holding the losing body, titled as a conflict copy.
    static SyncRecord conflictCopy(const SyncRecord &loser, const QUuid &id, qint64 nowMs);
    static QString conflictTitle(const QString &displayTitle);

private:
    static bool laterWins(const QJsonValue &a, qint64 timeA, const QJsonValue &b, qint64 timeB);
};
