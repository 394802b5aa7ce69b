// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncError.h"
#include "sync/SyncStatus.h"

#include <QNetworkReply>
#include <gtest/gtest.h>

#include <cerrno>

TEST(SyncErrorTest, HttpStatusesMapToMirroringCodes)
{
    const QList<QPair<int, int>> cases{
        {401, 9}, {403, 9}, {507, 25}, {413, 25}, {412, 14}, {404, 11}, {410, 11}, {409, 26},
        {408, 4}, {504, 4}, {429, 7},  {500, 6},  {503, 6},  {400, 15}, {405, 15},
    };
    for (const auto &[status, code] : cases)
        EXPECT_EQ(SyncError::codeForHttpStatus(status), code) << status;
}

TEST(SyncErrorTest, SystemErrorsMapToMirroringCodes)
{
    const QList<QPair<int, int>> cases{
        {ENOSPC, 25}, {EDQUOT, 25},   {ENOENT, 3}, {ENOTCONN, 3}, {ENODEV, 3}, {EHOSTDOWN, 3},
        {EIO, 4},     {ETIMEDOUT, 4}, {ESTALE, 4}, {EACCES, 10},  {EROFS, 10}, {EINVAL, 1},
    };
    for (const auto &[error, code] : cases)
        EXPECT_EQ(SyncError::codeForErrno(error), code) << error;
}

TEST(SyncErrorTest, NetworkErrorsMapToMirroringCodes)
{
    const QList<QPair<QNetworkReply::NetworkError, int>> cases{
        {QNetworkReply::HostNotFoundError, 3},
        {QNetworkReply::ConnectionRefusedError, 3},
        {QNetworkReply::TemporaryNetworkFailureError, 3},
        {QNetworkReply::RemoteHostClosedError, 4},
        {QNetworkReply::TimeoutError, 4},
        {QNetworkReply::OperationCanceledError, 4},
        {QNetworkReply::SslHandshakeFailedError, 4},
        {QNetworkReply::AuthenticationRequiredError, 9},
        {QNetworkReply::ContentAccessDenied, 9},
        {QNetworkReply::ContentNotFoundError, 11},
    };
    for (const auto &[error, code] : cases)
        EXPECT_EQ(SyncError::codeForNetworkError(int(error)), code) << int(error);
}

TEST(SyncErrorTest, WrappedCausesReachTheStatusWording)
{
    SyncStatus status(nullptr);
    const SyncError full = SyncError::fromErrno(EDQUOT, QStringLiteral("No se pudo escribir."));
    EXPECT_EQ(full.code, SyncError::quotaExceeded);
    status.recordEvent(SyncEvent::Type::exporting, QDateTime::currentDateTimeUtc(), full.code,
                       SyncStatus::describeError(full));
    EXPECT_EQ(status.health().message(), QStringLiteral("No queda espacio en tu iCloud."));
    EXPECT_TRUE(
        status.detail()->contains(QStringLiteral("  underlyingError → POSIX %1: ").arg(EDQUOT)));

    const SyncError refused =
        SyncError::fromHttpStatus(401, QStringLiteral("Unauthorized"), QStringLiteral("GET x"));
    status.recordEvent(SyncEvent::Type::importing, QDateTime::currentDateTimeUtc(), refused.code,
                       SyncStatus::describeError(refused));
    EXPECT_EQ(status.health().message(),
              QStringLiteral("Este Mac no ha iniciado sesión en iCloud."));
    EXPECT_EQ(SyncStatus::describeError(refused),
              QStringLiteral("OrletteSync 9: GET x\n  underlyingError → HTTP 401: Unauthorized"));
}
