// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncError.h"

#include <QNetworkReply>

#include <cerrno>
#include <cstring>

SyncErrorInfo SyncErrorInfo::nested(const QString &key, const SyncError &error)
{
    SyncErrorInfo info;
    info.key = key;
    info.kind = Kind::error;
    info.error = std::make_shared<const SyncError>(error);
    return info;
}

SyncErrorInfo SyncErrorInfo::items(const QString &key, const QList<SyncErrorItem> &items)
{
    SyncErrorInfo info;
    info.key = key;
    info.kind = Kind::dictionary;
    info.dictionary = items;
    return info;
}

SyncErrorInfo SyncErrorInfo::plain(const QString &key, const QVariant &value)
{
    SyncErrorInfo info;
    info.key = key;
    info.kind = Kind::value;
    info.value = value;
    return info;
}

SyncError SyncError::make(int code, const QString &description)
{
    SyncError error;
    error.code = code;
    error.localizedDescription = description;
    return error;
}

SyncError SyncError::wrapping(int code, const QString &description, const SyncError &underlying)
{
    SyncError error = make(code, description);
    error.userInfo << SyncErrorInfo::nested(underlyingErrorKey, underlying);
    return error;
}

SyncError &SyncError::with(const SyncErrorInfo &info)
{
    userInfo << info;
    return *this;
}

int SyncError::codeForHttpStatus(int status)
{
    switch (status) {
    case 401:
    case 403:
        return notAuthenticated;
    case 404:
    case 410:
        return unknownItem;
    case 408:
    case 504:
        return networkFailure;
    case 409:
        // A collection in the path is missing.
        return zoneNotFound;
    case 412:
        return serverRecordChanged;
    case 413:
        return quotaExceeded;
    case 429:
        return requestRateLimited;
    case 507:
        return quotaExceeded;
    default:
        break;
    }
    if (status >= 500)
        return serviceUnavailable;
    if (status >= 400)
        return serverRejectedRequest;
    return internalError;
}

int SyncError::codeForErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return quotaExceeded;
    case EACCES:
    case EPERM:
    case EROFS:
        return permissionFailure;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ENOMEDIUM:
        // The folder's drive or network mount is not there right now.
        return networkUnavailable;
    case EIO:
    case ETIMEDOUT:
    case ESTALE:
    case ECONNRESET:
    case ECONNABORTED:
    case EREMOTEIO:
        return networkFailure;
    case EINTR:
    case ECANCELED:
        return operationCancelled;
    default:
        return internalError;
    }
}

int SyncError::codeForNetworkError(int networkError)
{
    switch (QNetworkReply::NetworkError(networkError)) {
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return networkUnavailable;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return networkFailure;
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return notAuthenticated;
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentGoneError:
        return unknownItem;
    case QNetworkReply::ContentConflictError:
        return zoneNotFound;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return badContainer;
    default:
        return internalError;
    }
}

SyncError SyncError::fromErrno(int error, const QString &what)
{
    SyncError posix;
    posix.domain = posixDomain;
    posix.code = error;
    posix.localizedDescription = QString::fromLocal8Bit(std::strerror(error));
    SyncError outer = wrapping(codeForErrno(error), what, posix);
    return outer;
}

SyncError SyncError::fromHttpStatus(int status, const QString &reason, const QString &what)
{
    SyncError http;
    http.domain = httpDomain;
    http.code = status;
    http.localizedDescription = reason;
    return wrapping(codeForHttpStatus(status), what, http);
}
