// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small WebDAV server on the loopback interface for tests and benchmarks: files and
// folders in memory, ETags, conditional PUT, Basic authentication, a quota. Serves from
// the thread that made it, one request per connection.

#include <QCryptographicHash>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

class FakeWebDavServer
{
public:
    struct File
    {
        QByteArray data;
        QString etag;
    };

    QMap<QString, File> files;
    QSet<QString> folders;
    QString user;
    QString password;
    bool forbidden = false;
    qint64 quota = -1;
    bool sendsEtagOnPut = true;
    // Collections carry an ETag that changes with their entries, as on Nextcloud.
    bool folderTags = true;
    // Collections carry a date that never changes, as on rclone's server.
    bool frozenFolderTags = false;
    // Writes whose If-Match or If-None-Match fails are refused with 412; false takes them,
    // as rclone's server does.
    bool honoursConditions = true;
    QStringList requests;
    // Requests that carried an Authorization header.
    int authorizedRequests = 0;
    // When set, every request is answered with a redirect to this address plus its path.
    QUrl redirectTo;

    explicit FakeWebDavServer(const QString &root = QStringLiteral("/dav/"),
                              const QHostAddress &address = QHostAddress::LocalHost)
        : m_root(root)
    {
        folders.insert(root);
        m_server.listen(address, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { read(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(m_root));
    }
    quint16 port() const { return m_server.serverPort(); }
    void close() { m_server.close(); }

private:
    struct Request
    {
        QByteArray method;
        QString path;
        QHash<QByteArray, QByteArray> headers;
        QByteArray body;
    };

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = QUrl::fromPercentEncoding(
            QUrl(QString::fromLatin1(first.value(1))).path(QUrl::FullyEncoded).toLatin1());
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        request.body = buffer.mid(end + 4, length);
        m_buffers.remove(socket);
        requests << QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path;
        if (request.headers.contains("authorization"))
            ++authorizedRequests;
        if (redirectTo.isValid()) {
            QUrl target = redirectTo;
            target.setPath(request.path);
            respond(socket, 307, {}, {{"Location", target.toEncoded()}});
            return;
        }
        handle(socket, request);
    }

    void respond(QTcpSocket *socket, int status, const QByteArray &body = {},
                 const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n";
        for (const auto &[name, value] : headers)
            out += name + ": " + value + "\r\n";
        out +=
            "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        out += body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    static QString parentOf(const QString &path)
    {
        QString trimmed = path;
        if (trimmed.endsWith(QLatin1Char('/')))
            trimmed.chop(1);
        return trimmed.left(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    }

    QString newEtag() { return QStringLiteral("\"e%1\"").arg(++m_etags); }

    QByteArray folderTag(const QString &folder) const
    {
        if (frozenFolderTags)
            return "<d:getlastmodified>Mon, 07 Dec 2026 00:31:24 GMT</d:getlastmodified>";
        if (!folderTags)
            return {};
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            if (parentOf(it.key()) == folder)
                hash.addData((it.key() + it->etag).toUtf8());
        }
        for (const QString &child : folders) {
            if (child != folder && parentOf(child) == folder)
                hash.addData(child.toUtf8());
        }
        return "<d:getetag>\"d" + hash.result().toHex().left(16) + "\"</d:getetag>";
    }

    QByteArray propEntry(const QString &path, bool folder, const File *file) const
    {
        QByteArray href = QUrl::toPercentEncoding(path, "/");
        QByteArray props =
            folder
                ? "<d:resourcetype><d:collection/></d:resourcetype>" + folderTag(path)
                : "<d:resourcetype/><d:getcontentlength>" + QByteArray::number(file->data.size()) +
                      "</d:getcontentlength><d:getetag>" + file->etag.toLatin1() + "</d:getetag>";
        return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
               "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }

    void handle(QTcpSocket *socket, const Request &request)
    {
        if (!user.isEmpty()) {
            const QByteArray expected =
                "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
            if (request.headers.value("authorization") != expected) {
                respond(socket, 401, {}, {{"WWW-Authenticate", "Basic realm=\"test\""}});
                return;
            }
        }
        if (forbidden) {
            respond(socket, 403);
            return;
        }
        const QString path = request.path;
        const QString folderPath = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        const QByteArray &method = request.method;
        if (method == "PROPFIND") {
            QByteArray body = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\">";
            if (folders.contains(folderPath)) {
                body += propEntry(folderPath, true, nullptr);
                if (request.headers.value("depth") != "0") {
                    for (const QString &folder : folders) {
                        if (folder != folderPath && parentOf(folder) == folderPath)
                            body += propEntry(folder, true, nullptr);
                    }
                    for (auto it = files.cbegin(); it != files.cend(); ++it) {
                        if (parentOf(it.key()) == folderPath)
                            body += propEntry(it.key(), false, &it.value());
                    }
                }
            } else if (files.contains(path)) {
                body += propEntry(path, false, &files[path]);
            } else {
                respond(socket, 404);
                return;
            }
            respond(socket, 207, body + "</d:multistatus>",
                    {{"Content-Type", "application/xml; charset=utf-8"}});
        } else if (method == "GET") {
            if (!files.contains(path)) {
                respond(socket, 404);
                return;
            }
            respond(socket, 200, files[path].data, {{"ETag", files[path].etag.toLatin1()}});
        } else if (method == "PUT") {
            if (!folders.contains(parentOf(path))) {
                respond(socket, 409);
                return;
            }
            const bool exists = files.contains(path);
            if (request.headers.value("if-none-match") == "*" && exists && honoursConditions) {
                respond(socket, 412);
                return;
            }
            if (request.headers.contains("if-match") && honoursConditions &&
                (!exists || files[path].etag.toLatin1() != request.headers.value("if-match"))) {
                respond(socket, 412);
                return;
            }
            if (quota >= 0) {
                qint64 used = request.body.size();
                for (auto it = files.cbegin(); it != files.cend(); ++it)
                    used += it.key() == path ? 0 : it->data.size();
                if (used > quota) {
                    respond(socket, 507);
                    return;
                }
            }
            files[path] = File{request.body, newEtag()};
            QList<QPair<QByteArray, QByteArray>> headers;
            if (sendsEtagOnPut)
                headers.append({QByteArray("ETag"), files[path].etag.toLatin1()});
            respond(socket, exists ? 204 : 201, {}, headers);
        } else if (method == "MKCOL") {
            if (folders.contains(folderPath) || files.contains(path)) {
                respond(socket, 405);
                return;
            }
            if (!folders.contains(parentOf(folderPath))) {
                respond(socket, 409);
                return;
            }
            folders.insert(folderPath);
            respond(socket, 201);
        } else if (method == "DELETE") {
            if (files.remove(path)) {
                respond(socket, 204);
            } else if (folders.contains(folderPath)) {
                folders.removeIf([&](const QString &f) { return f.startsWith(folderPath); });
                files.removeIf([&](const auto &it) { return it.key().startsWith(folderPath); });
                respond(socket, 204);
            } else {
                respond(socket, 404);
            }
        } else {
            respond(socket, 405);
        }
    }

    QString m_root;
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    int m_etags = 0;
};
