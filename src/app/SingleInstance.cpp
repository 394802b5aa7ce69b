// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), m_key(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyForDataDirectory(const QString &dataDirectory)
{
    const QByteArray digest =
        QCryptographicHash::hash(dataDirectory.toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString name =
        QStringLiteral("orlette-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest.left(16)));
    // The per-user runtime folder keeps the socket out of other people's reach.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() || !QDir::isAbsolutePath(runtime) ? name : runtime + u'/' + name;
}

bool SingleInstance::claim(const QStringList &arguments, int timeoutMs)
{
    if (listen())
        return true;
    if (sendToPrimary(arguments, timeoutMs))
        return false;
    // Nobody answered: the socket was left behind by a process that ended badly.
    QLocalServer::removeServer(m_key);
    return listen();
}

bool SingleInstance::claimAfterRelaunch(const QStringList &arguments, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < waitMs) {
        if (listen())
            return true;
        QLocalSocket probe;
        probe.connectToServer(m_key);
        if (!probe.waitForConnected(200)) {
            // Nobody listens any more, but the socket file is still there.
            QLocalServer::removeServer(m_key);
            if (listen())
                return true;
        }
        QThread::msleep(100);
    }
    return claim(arguments);
}

bool SingleInstance::listen()
{
    // No socket options: with them Qt builds the socket elsewhere and renames it into
    // place, which silently replaces a running primary's socket.
    auto server = std::make_unique<QLocalServer>(this);
    if (!server->listen(m_key))
        return false;
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readConnection);
    return true;
}

bool SingleInstance::sendToPrimary(const QStringList &arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    QDataStream writer(&payload, QIODevice::WriteOnly);
    writer << arguments;
    QDataStream stream(&socket);
    stream << payload;
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The primary acknowledges, so the caller knows the hand-over arrived.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "k";
}

void SingleInstance::readConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream stream(socket);
            stream.startTransaction();
            QByteArray payload;
            stream >> payload;
            if (!stream.commitTransaction())
                return;
            QStringList arguments;
            QDataStream reader(payload);
            reader >> arguments;
            socket->write("k");
            socket->flush();
            Q_EMIT argumentsReceived(arguments);
        });
    }
}
