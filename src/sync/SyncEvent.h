// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"

#include <QDateTime>
#include <QMetaType>
#include <QUuid>

#include <optional>

// One step of the mirroring, reported once when it starts (no end date) and once when it
// ends (with the end date and, on failure, the error).
struct SyncEvent
{
    enum class Type
    {
        setup = 0,
        importing = 1,
        exporting = 2
    };

    QUuid identifier;
    Type type = Type::setup;
    QDateTime startDate;
    std::optional<QDateTime> endDate;
    std::optional<SyncError> error;

    bool succeeded() const { return endDate.has_value() && !error.has_value(); }
};

Q_DECLARE_METATYPE(SyncEvent)
