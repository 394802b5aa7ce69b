// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "model/PrivateFiles.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder that only this user can enter: nobody else can reach a socket inside it,
// whatever the socket's own mode.
bool isPrivateFolder(const QString &path, bool narrowIfOurs)
{
    struct stat status = {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid())
        return false;
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return true;
    return narrowIfOurs && ::chmod(native.constData(), S_IRWXU) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), m_key(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyForDataDirectory(const QString &dataDirectory)
{
    const QByteArray digest =
        QCryptographicHash::hash(dataDirectory.toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString name =
        QStringLiteral("orlette-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest.left(16)));
    return socketFolder(dataDirectory) + u'/' + name;
}

QString SingleInstance::socketFolder(const QString &dataDirectory)
{
    // The per-user runtime folder, when it is what it should be (the user's, 0700).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime, false))
        return runtime;
    // Else a folder of this user's own in the temporary folder, as long as nobody else
    // made it first; else the data folder, which is private too but may be on a network
    // file system or too deep for a socket's name.
    const QString temporary = QDir::tempPath() + QStringLiteral("/orlette-%1").arg(::getuid());
    if (::mkdir(QFile::encodeName(temporary).constData(), S_IRWXU) == 0 || errno == EEXIST) {
        if (isPrivateFolder(temporary, true))
            return temporary;
    }
    PrivateFiles::makeFolder(dataDirectory);
    PrivateFiles::restrict(dataDirectory);
    return dataDirectory;
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
    // No socket options (UserAccessOption would be the one): with them Qt builds the
    // socket elsewhere and renames it into place, which silently replaces a running
    // primary's socket. Binding in place is what makes one start the primary; the socket
    // is then made the user's only, and lies in a private folder in any case.
    auto server = std::make_unique<QLocalServer>(this);
    if (!server->listen(m_key))
        return false;
    ::chmod(QFile::encodeName(server->fullServerName()).constData(), S_IRUSR | S_IWUSR);
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
