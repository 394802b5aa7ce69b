// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Expected.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <memory>

struct SyncError;

// A value of an inner dictionary of an error's user info: an error or a plain value.
struct SyncErrorItem
{
    QString key;
    std::shared_ptr<const SyncError> error;
    QVariant value;
};

// One entry of an error's user info: a nested error, a dictionary (such as the errors of
// single records) or a plain value.
struct SyncErrorInfo
{
    enum class Kind
    {
        error,
        dictionary,
        value
    };

    QString key;
    Kind kind = Kind::value;
    std::shared_ptr<const SyncError> error;
    QList<SyncErrorItem> dictionary;
    QVariant value;

    static SyncErrorInfo nested(const QString &key, const SyncError &error);
    static SyncErrorInfo items(const QString &key, const QList<SyncErrorItem> &items);
    static SyncErrorInfo plain(const QString &key, const QVariant &value);
};

// A failure of the mirroring, with a code the sync status words and the details that go
// into its technical description. User info keeps its order.
struct SyncError
{
    // Codes of the mirroring (domain `domainName`); the sync status words 3, 4, 9 and 25.
    enum Code
    {
        internalError = 1,
        partialFailure = 2,
        networkUnavailable = 3,
        networkFailure = 4,
        badContainer = 5,
        serviceUnavailable = 6,
        requestRateLimited = 7,
        notAuthenticated = 9,
        permissionFailure = 10,
        unknownItem = 11,
        invalidArguments = 12,
        serverRecordChanged = 14,
        serverRejectedRequest = 15,
        incompatibleVersion = 18,
        operationCancelled = 20,
        badDatabase = 24,
        quotaExceeded = 25,
        zoneNotFound = 26,
        limitExceeded = 27,
        userDeletedZone = 28,
        // Causes of a folder target that iCloud has no word for: the folder is not there
        // (a drive not connected), or it is an empty folder where a drive should be
        // mounted, in which nothing is made.
        targetMissing = 100,
        targetUnmounted = 101,
        // Every record of the target is gone while this computer had mirrored notes to it
        // (`userDeletedZone` is the whole folder gone).
        remoteCopyEmptied = 102,
        // The server answers a write whose condition does not hold as if it held: it
        // cannot keep two computers from overwriting each other's changes unseen.
        conditionalWritesIgnored = 103,
    };

    static inline const QString domainName = QStringLiteral("OrletteSync");
    static inline const QString posixDomain = QStringLiteral("POSIX");
    static inline const QString httpDomain = QStringLiteral("HTTP");
    static inline const QString networkDomain = QStringLiteral("QtNetwork");
    static inline const QString underlyingErrorKey = QStringLiteral("underlyingError");

    QString domain = domainName;
    int code = internalError;
    QString localizedDescription;
    QList<SyncErrorInfo> userInfo;

    static SyncError make(int code, const QString &description);
    // A mirroring error whose cause is `underlying`, kept under `underlyingErrorKey`.
    static SyncError wrapping(int code, const QString &description, const SyncError &underlying);
    SyncError &with(const SyncErrorInfo &info);

    // Codes of the mirroring for the causes below.
    static int codeForHttpStatus(int status);
    static int codeForErrno(int error);
    // `QNetworkReply::NetworkError` as an integer, so this header needs no network module.
    static int codeForNetworkError(int networkError);

    // The error of the mirroring for a failed system call, with the system error inside.
    static SyncError fromErrno(int error, const QString &what);
    static SyncError fromHttpStatus(int status, const QString &reason, const QString &what);
};

Q_DECLARE_METATYPE(SyncError)

// What the mirroring's operations answer: a value, or the failure that says why none.
template <typename T> using SyncResult = Expected<T, SyncError>;
