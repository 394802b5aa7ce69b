// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/WebDavTransport.h"

#include "model/UrlSafety.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslError>
#include <QUuid>
#include <QXmlStreamReader>

namespace {

const QByteArray propfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/><d:getlastmodified/>"
    "<d:getcontentlength/><d:resourcetype/></d:prop></d:propfind>\n";

// A server without ETags still gives size and time; they make a weaker tag.
QString fallbackTag(const QString &lastModified, const QString &length)
{
    return QStringLiteral("lm:%1:%2").arg(lastModified, length);
}

bool isFallbackTag(const QString &tag)
{
    return tag.startsWith(QStringLiteral("lm:"));
}

bool isSameOrigin(const QUrl &a, const QUrl &b)
{
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == u"https" ? 443 : 80) == b.port(b.scheme() == u"https" ? 443 : 80);
}

QString withTrailingSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

struct WebDavTransport::Reply
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    QString reason;
    QByteArray body;
    QString etag;
    // Why the server's certificate was refused, and which certificate it was.
    QStringList certificateProblems;
    QString certificateFingerprint;
    // A redirect that was not followed.
    QUrl refusedRedirect;
    // The answer was longer than allowed and was not read further.
    bool tooLarge = false;
};

WebDavTransport::WebDavTransport(const QUrl &base, const QString &user,
                                 const std::optional<QString> &password,
                                 const std::optional<SyncError> &credentialError,
                                 std::chrono::milliseconds timeout)
    : m_base(base.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)),
      m_user(user), m_password(password), m_credentialError(credentialError), m_timeout(timeout),
      m_network(std::make_unique<QNetworkAccessManager>())
{
    m_base.setPath(withTrailingSlash(m_base.path()));
    // Redirects are checked one by one (see `send`).
    m_network->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    if (m_password && UrlSafety::travelsInClear(m_base)) {
        // Anyone on the way could read it: the password stays here, and the server says
        // what it thinks of a request without one.
        m_password.reset();
        m_credentialError = SyncError::make(
            SyncError::notAuthenticated,
            QStringLiteral("La contraseña no se envía por una conexión sin cifrar (http://). "
                           "Usa una dirección https://."));
    }
}

WebDavTransport::~WebDavTransport() = default;

QUrl WebDavTransport::urlFor(const QString &path, bool folder) const
{
    QString encoded;
    for (const QString &segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        encoded += QString::fromLatin1(QUrl::toPercentEncoding(segment)) + QLatin1Char('/');
    if (!folder && encoded.endsWith(QLatin1Char('/')))
        encoded.chop(1);
    QUrl url = m_base;
    url.setPath(m_base.path(QUrl::FullyEncoded) + encoded, QUrl::TolerantMode);
    return url;
}

WebDavTransport::Reply WebDavTransport::send(const QByteArray &verb, const QUrl &url,
                                             const QByteArray &body,
                                             const QList<QPair<QByteArray, QByteArray>> &headers,
                                             qint64 maxBody)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(m_timeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    // Checked for every request too, whatever the base address said.
    if (!m_user.isEmpty() && m_password && !UrlSafety::travelsInClear(url)) {
        request.setRawHeader("Authorization",
                             "Basic " +
                                 (m_user + QLatin1Char(':') + *m_password).toUtf8().toBase64());
    }
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);

    Reply out;
    std::unique_ptr<QNetworkReply> reply(m_network->sendCustomRequest(request, verb, body));
    // Redirects stay on the same scheme, host and port: the request carries the password,
    // which must neither reach another server nor drop to plain http://.
    QObject::connect(reply.get(), &QNetworkReply::redirected, reply.get(),
                     [&out, url, raw = reply.get()](const QUrl &target) {
                         if (isSameOrigin(url, target)) {
                             Q_EMIT raw->redirectAllowed();
                         } else {
                             out.refusedRedirect = target;
                             raw->abort();
                         }
                     });
    // Certificate errors are never ignored; what they were is kept for the details.
    QObject::connect(reply.get(), &QNetworkReply::sslErrors, reply.get(),
                     [&out](const QList<QSslError> &errors) {
                         for (const QSslError &error : errors) {
                             out.certificateProblems << error.errorString();
                             if (out.certificateFingerprint.isEmpty() &&
                                 !error.certificate().isNull()) {
                                 out.certificateFingerprint =
                                     QString::fromLatin1(error.certificate()
                                                             .digest(QCryptographicHash::Sha256)
                                                             .toHex(':')
                                                             .toUpper());
                             }
                         }
                     });
    if (maxBody >= 0) {
        // The answer waits in a buffer of bounded size; past the limit, by its announced
        // length or by what arrived, the transfer ends and nothing more is held.
        reply->setReadBufferSize(maxBody + 1);
        const auto check = [&out, raw = reply.get(), maxBody] {
            const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
            if ((length.isValid() && length.toLongLong() > maxBody) ||
                raw->bytesAvailable() > maxBody) {
                out.tooLarge = true;
                raw->abort();
            }
        };
        QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), check);
        QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), check);
    }
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!reply->isFinished()) {
        // The thread is stopping.
        reply->abort();
        out.error = QNetworkReply::OperationCanceledError;
        out.errorString = QStringLiteral("Sincronización interrumpida.");
        return out;
    }
    if (out.tooLarge)
        return out;
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    out.error = reply->error();
    out.errorString = reply->errorString();
    out.body = reply->readAll();
    out.etag = QString::fromLatin1(reply->rawHeader("ETag"));
    return out;
}

SyncError WebDavTransport::errorFor(const Reply &reply, const QUrl &url, const QString &what) const
{
    const QString address = url.toString(QUrl::RemoveUserInfo);
    if (reply.status >= 400) {
        SyncError error = SyncError::fromHttpStatus(reply.status, reply.reason, what);
        if ((reply.status == 401 || reply.status == 403) && !m_password && m_credentialError)
            error.with(SyncErrorInfo::nested(QStringLiteral("credentials"), *m_credentialError));
        return error.with(SyncErrorInfo::plain(QStringLiteral("url"), address));
    }
    SyncError network;
    network.domain = SyncError::networkDomain;
    network.code = int(reply.error);
    network.localizedDescription = reply.errorString;
    SyncError error =
        SyncError::wrapping(SyncError::codeForNetworkError(int(reply.error)), what, network);
    if (!reply.certificateProblems.isEmpty()) {
        error.with(SyncErrorInfo::plain(
            QStringLiteral("certificate"),
            QStringLiteral("El certificado del servidor no es de confianza (%1); la conexión se "
                           "rechaza. Huella SHA-256 del certificado: %2.")
                .arg(reply.certificateProblems.join(QStringLiteral("; ")),
                     reply.certificateFingerprint)));
    }
    if (reply.refusedRedirect.isValid()) {
        error.with(SyncErrorInfo::plain(
            QStringLiteral("redirect"),
            QStringLiteral("El servidor redirige a %1, fuera de la dirección configurada; no se "
                           "sigue.")
                .arg(reply.refusedRedirect.toString(QUrl::RemoveUserInfo))));
    }
    return error.with(SyncErrorInfo::plain(QStringLiteral("url"), address));
}

QList<SyncRemoteEntry> WebDavTransport::parseMultistatus(const QByteArray &xml,
                                                         const QString &folderPath, bool *ok)
{
    const QString dav = QStringLiteral("DAV:");
    QList<SyncRemoteEntry> entries;
    QXmlStreamReader reader(xml);
    const QString self = withTrailingSlash(QUrl::fromPercentEncoding(folderPath.toUtf8()));

    QString href, etag, lastModified, length;
    bool isCollection = false;
    bool propstatOk = false;
    bool inProp = false;
    QString collectedEtag, collectedModified, collectedLength;
    bool collectedFolder = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.namespaceUri() == dav) {
            const auto name = reader.name();
            if (name == QLatin1String("response")) {
                href.clear();
                collectedEtag.clear();
                collectedModified.clear();
                collectedLength.clear();
                collectedFolder = false;
            } else if (name == QLatin1String("href") && !inProp) {
                href = reader.readElementText().trimmed();
            } else if (name == QLatin1String("propstat")) {
                etag.clear();
                lastModified.clear();
                length.clear();
                isCollection = false;
                propstatOk = false;
            } else if (name == QLatin1String("prop")) {
                inProp = true;
            } else if (name == QLatin1String("getetag")) {
                etag = reader.readElementText().trimmed();
            } else if (name == QLatin1String("getlastmodified")) {
                lastModified = reader.readElementText().trimmed();
            } else if (name == QLatin1String("getcontentlength")) {
                length = reader.readElementText().trimmed();
            } else if (name == QLatin1String("collection")) {
                isCollection = true;
            } else if (name == QLatin1String("status") && !inProp) {
                const QString status = reader.readElementText();
                propstatOk = status.contains(QStringLiteral(" 200"));
            }
        } else if (reader.isEndElement() && reader.namespaceUri() == dav) {
            const auto name = reader.name();
            if (name == QLatin1String("prop")) {
                inProp = false;
            } else if (name == QLatin1String("propstat") && propstatOk) {
                collectedEtag = etag.isEmpty() ? collectedEtag : etag;
                collectedModified = lastModified.isEmpty() ? collectedModified : lastModified;
                collectedLength = length.isEmpty() ? collectedLength : length;
                collectedFolder = collectedFolder || isCollection;
            } else if (name == QLatin1String("response")) {
                QString path = QUrl(href).path(QUrl::FullyDecoded);
                if (withTrailingSlash(path) == self || path.isEmpty())
                    continue;
                if (path.endsWith(QLatin1Char('/')))
                    path.chop(1);
                SyncRemoteEntry entry;
                entry.name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
                entry.isFolder = collectedFolder;
                entry.tag = collectedEtag.isEmpty()
                                ? fallbackTag(collectedModified, collectedLength)
                                : collectedEtag;
                if (!entry.name.isEmpty())
                    entries << entry;
            }
        }
    }
    *ok = !reader.hasError();
    return entries;
}

SyncResult<QList<SyncRemoteEntry>> WebDavTransport::list(const QString &folder)
{
    using Result = SyncResult<QList<SyncRemoteEntry>>;
    const QUrl url = urlFor(folder, true);
    const Reply reply = send("PROPFIND", url, propfindBody,
                             {{"Depth", "1"}, {"Content-Type", "application/xml; charset=utf-8"}});
    const QString what = QStringLiteral("No se pudo leer la carpeta %1.").arg(folder);
    if (reply.status == 404 || reply.status == 410)
        return Unexpected(SyncError::fromHttpStatus(reply.status, reply.reason, what));
    if (reply.status != 207 && reply.status != 200)
        return Unexpected(errorFor(reply, url, what));
    bool ok = false;
    const auto entries = parseMultistatus(reply.body, url.path(QUrl::FullyEncoded), &ok);
    if (!ok) {
        return Unexpected(SyncError::make(SyncError::serverRejectedRequest,
                                          QStringLiteral("El servidor WebDAV respondió algo "
                                                         "que no se entiende."))
                              .with(SyncErrorInfo::plain(QStringLiteral("url"),
                                                         url.toString(QUrl::RemoveUserInfo))));
    }
    return Result(entries);
}

SyncResult<QString> WebDavTransport::tagOf(const QString &path)
{
    using Result = SyncResult<QString>;
    const QUrl url = urlFor(path, false);
    const Reply reply = send("PROPFIND", url, propfindBody,
                             {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}});
    const QString what = QStringLiteral("No se pudo leer %1.").arg(path);
    if (reply.status != 207 && reply.status != 200)
        return Unexpected(errorFor(reply, url, what));
    bool ok = false;
    // Depth 0 answers for the file alone; its path is never the folder's.
    const auto entries = parseMultistatus(reply.body, QString(), &ok);
    if (!ok || entries.isEmpty())
        return Unexpected(SyncError::make(SyncError::serverRejectedRequest, what));
    return Result(entries.first().tag);
}

std::optional<QString> WebDavTransport::folderTag(const QString &folder)
{
    const QUrl url = urlFor(folder, true);
    const Reply reply = send("PROPFIND", url, propfindBody,
                             {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}});
    if (reply.status != 207 && reply.status != 200)
        return std::nullopt;
    bool ok = false;
    const auto entries = parseMultistatus(reply.body, QString(), &ok);
    if (!ok || entries.isEmpty())
        return std::nullopt;
    const QString tag = entries.first().tag;
    // A server that gives a collection neither an ETag nor a date says nothing by it.
    if (tag.isEmpty() || tag == fallbackTag(QString(), QString()))
        return std::nullopt;
    return tag;
}

SyncResult<SyncRemoteFile> WebDavTransport::read(const QString &path)
{
    using Result = SyncResult<SyncRemoteFile>;
    const QUrl url = urlFor(path, false);
    const Reply reply = send("GET", url, {}, {}, maxFileSize);
    const QString what = QStringLiteral("No se pudo leer %1.").arg(path);
    if (reply.tooLarge) {
        return Unexpected(SyncError::make(SyncError::limitExceeded,
                                          QStringLiteral("%1 pasa de %2 MB y no se lee.")
                                              .arg(path)
                                              .arg(maxFileSize / (1024 * 1024)))
                              .with(SyncErrorInfo::plain(QStringLiteral("url"),
                                                         url.toString(QUrl::RemoveUserInfo))));
    }
    if (reply.status != 200)
        return Unexpected(errorFor(reply, url, what));
    QString tag = reply.etag;
    if (tag.isEmpty()) {
        const auto listed = tagOf(path);
        if (!listed)
            return Unexpected(listed.error());
        tag = *listed;
    }
    return Result(SyncRemoteFile{reply.body, tag});
}

SyncResult<QString> WebDavTransport::write(const QString &path, const QByteArray &data,
                                           const SyncWriteCondition &condition)
{
    using Result = SyncResult<QString>;
    const QUrl url = urlFor(path, false);
    const QString what = QStringLiteral("No se pudo escribir %1.").arg(path);
    QList<QPair<QByteArray, QByteArray>> headers{{"Content-Type", "application/json"}};
    switch (condition.kind) {
    case SyncWriteCondition::Kind::any:
        break;
    case SyncWriteCondition::Kind::absent:
        headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
        break;
    case SyncWriteCondition::Kind::tag:
        if (isFallbackTag(condition.tag)) {
            // No ETags to compare on the server: compare size and time just before.
            const auto current = tagOf(path);
            if (!current)
                return Unexpected(current.error());
            if (*current != condition.tag) {
                return Unexpected(
                    SyncError::make(SyncError::serverRecordChanged,
                                    QStringLiteral("%1 cambió en el servidor.").arg(path)));
            }
        } else {
            headers.append(qMakePair(QByteArray("If-Match"), condition.tag.toLatin1()));
        }
        break;
    }
    const Reply reply = send("PUT", url, data, headers);
    if (reply.status == 412) {
        return Unexpected(SyncError::make(SyncError::serverRecordChanged,
                                          QStringLiteral("%1 cambió en el servidor.").arg(path)));
    }
    if (reply.status < 200 || reply.status >= 300)
        return Unexpected(errorFor(reply, url, what));
    if (!reply.etag.isEmpty() && !reply.etag.startsWith(QStringLiteral("W/")))
        return Result(reply.etag);
    // The server did not say (or gave a weak tag): ask the way a listing would.
    return tagOf(path);
}

SyncResult<void> WebDavTransport::makeFolder(const QString &path)
{
    const QUrl url = urlFor(path, true);
    const Reply reply = send("MKCOL", url, {}, {});
    // 405: something is there already.
    if (reply.status == 201 || reply.status == 200 || reply.status == 405)
        return {};
    return Unexpected(
        errorFor(reply, url, QStringLiteral("No se pudo crear la carpeta %1.").arg(path)));
}

SyncResult<void> WebDavTransport::remove(const QString &path)
{
    const QUrl url = urlFor(path, false);
    const Reply reply = send("DELETE", url, {}, {});
    if ((reply.status >= 200 && reply.status < 300) || reply.status == 404)
        return {};
    return Unexpected(errorFor(reply, url, QStringLiteral("No se pudo borrar %1.").arg(path)));
}

Expected<void, SyncAccountProblem> WebDavTransport::checkAccount()
{
    using Status = SyncMirroring::AccountStatus;
    if (!m_user.isEmpty() && !m_password) {
        SyncError missing =
            SyncError::make(SyncError::notAuthenticated,
                            QStringLiteral("No hay contraseña guardada para %1.").arg(m_user));
        if (m_credentialError)
            missing.with(SyncErrorInfo::nested(SyncError::underlyingErrorKey, *m_credentialError));
        return Unexpected(SyncAccountProblem{Status::noAccount, missing});
    }
    const QUrl url = urlFor(QString(), true);
    const Reply reply = send("PROPFIND", url, propfindBody,
                             {{"Depth", "0"}, {"Content-Type", "application/xml; charset=utf-8"}});
    if (reply.status == 207 || reply.status == 200)
        return {};
    const Status status = reply.status == 401   ? Status::noAccount
                          : reply.status == 403 ? Status::restricted
                          : reply.status == 0   ? Status::temporarilyUnavailable
                                                : Status::couldNotDetermine;
    return Unexpected(SyncAccountProblem{
        status, errorFor(reply, url, QStringLiteral("No se pudo entrar en el servidor WebDAV."))});
}

SyncResult<void> WebDavTransport::checkConditionalWrites()
{
    const QString probe = QStringLiteral(".orlette-probe-%1")
                              .arg(QUuid::createUuid().toString(QUuid::Id128).left(16));
    const QUrl url = urlFor(probe, false);
    const QString what = QStringLiteral("No se pudo comprobar el servidor WebDAV.");
    const QList<QPair<QByteArray, QByteArray>> plain{{"Content-Type", "text/plain"}};
    const auto put = [&](const QByteArray &header, const QByteArray &value) {
        QList<QPair<QByteArray, QByteArray>> headers = plain;
        headers.append(qMakePair(header, value));
        return send("PUT", url, QByteArrayLiteral("orlette"), headers);
    };

    const Reply created = put("If-None-Match", "*");
    if (created.status < 200 || created.status >= 300)
        return Unexpected(errorFor(created, url, what));
    const Reply again = put("If-None-Match", "*");
    const Reply stale =
        put("If-Match", "\"orlette-" + QUuid::createUuid().toByteArray(QUuid::Id128) + "\"");
    send("DELETE", url, {}, {});
    QStringList ignored;
    for (const auto &[condition, reply] :
         {std::pair<QString, const Reply *>{QStringLiteral("If-None-Match: *"), &again},
          std::pair<QString, const Reply *>{QStringLiteral("If-Match"), &stale}}) {
        if (reply->status == 412)
            continue;
        if (reply->status < 200 || reply->status >= 300)
            return Unexpected(errorFor(*reply, url, what));
        ignored << QStringLiteral("%1 → %2").arg(condition).arg(reply->status);
    }
    if (ignored.isEmpty())
        return {};
    return Unexpected(
        SyncError::make(SyncError::conditionalWritesIgnored,
                        QStringLiteral("El servidor WebDAV escribe aunque la condición de la "
                                       "escritura no se cumpla."))
            .with(SyncErrorInfo::plain(QStringLiteral("answers"), ignored))
            .with(SyncErrorInfo::plain(QStringLiteral("url"),
                                       m_base.toString(QUrl::RemoveUserInfo))));
}
