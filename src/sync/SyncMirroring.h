// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"
#include "sync/SyncEvent.h"

#include <QObject>
#include <QStringList>

#include <optional>

// The mirroring as the sync status sees it: whether a target is configured, the events
// of its transfers, the state of the account on the target and its remote folders.
// Answers come back as signals on the thread of this object.
class SyncMirroring : public QObject
{
    Q_OBJECT

public:
    // What the target says about the person's access.
    enum class AccountStatus
    {
        couldNotDetermine = 0,
        available = 1,
        restricted = 2,
        noAccount = 3,
        temporarilyUnavailable = 4,
    };
    Q_ENUM(AccountStatus)

    using QObject::QObject;
    ~SyncMirroring() override = default;

    // A sync target is configured; without one nothing is mirrored.
    virtual bool isConfigured() const = 0;
    // Answered by `accountStatusReady`.
    virtual void requestAccountStatus() = 0;
    // Answered by `zoneNamesReady`.
    virtual void requestZoneNames() = 0;
    // A whole pass as soon as possible, whether or not anything is known to have changed.
    virtual void requestPass() = 0;
    // Sends every note of this computer to the target again, as to a new target, making
    // the remote copy anew when it is gone; deletes nothing. For a target emptied or
    // lost by another program, once the person confirmed it.
    virtual void requestSendAgain() = 0;

Q_SIGNALS:
    void eventChanged(const SyncEvent &event);
    void accountStatusReady(SyncMirroring::AccountStatus status,
                            const std::optional<SyncError> &error);
    // The remote folders of the target; on failure the error.
    void zoneNamesReady(const QStringList &names, const std::optional<SyncError> &error);
    // The configured target changed (appeared, went away or moved).
    void configurationChanged();
    // How many of this computer's notes the target holds, as far as the last pass could
    // tell; -1 when it could not reach the target.
    void remoteNotesCounted(int count);
};
