// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncPass.h"

QString SyncPaths::notePath(const QString &recordName)
{
    return notesFolder + QLatin1Char('/') + recordName + QStringLiteral(".json");
}

bool SyncPassErrors::stopsThePass(const SyncError &error)
{
    switch (error.code) {
    case SyncError::networkUnavailable:
    case SyncError::networkFailure:
    case SyncError::serviceUnavailable:
    case SyncError::requestRateLimited:
    case SyncError::notAuthenticated:
    case SyncError::quotaExceeded:
    case SyncError::operationCancelled:
    case SyncError::targetMissing:
    case SyncError::targetUnmounted:
        return true;
    default:
        return false;
    }
}

SyncError SyncPassErrors::database(const StoreError &error)
{
    return SyncError::make(SyncError::badDatabase,
                           QStringLiteral("No se pudo usar el almacén de notas para sincronizar."))
        .with(
            SyncErrorInfo::plain(QStringLiteral("sqlite"),
                                 QStringLiteral("%1 (%2)").arg(error.description).arg(error.code)));
}

SyncError SyncPassErrors::partialFailure(const QList<SyncErrorItem> &failures)
{
    return SyncError::make(SyncError::partialFailure,
                           QStringLiteral("Algunas notas no se pudieron sincronizar."))
        .with(SyncErrorInfo::items(QStringLiteral("partialErrors"), failures));
}

SyncError SyncPassErrors::cancelled()
{
    return SyncError::make(SyncError::operationCancelled,
                           QStringLiteral("Sincronización interrumpida."));
}
