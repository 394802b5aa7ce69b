// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/FolderTransport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file descriptor that closes itself.
class FileHandle
{
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting the error a deferred write may only show here.
    int close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

struct DirectoryCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// A file is replaced by rename, which gives it a new inode; size and time cover editors
// that write in place.
QString tagOf(const struct stat &info)
{
    return QStringLiteral("%1-%2-%3.%4")
        .arg(qulonglong(info.st_ino))
        .arg(qlonglong(info.st_size))
        .arg(qlonglong(info.st_mtim.tv_sec))
        .arg(qlonglong(info.st_mtim.tv_nsec));
}

// Inside a reachable root a missing file is an unknown item, not an absent drive.
SyncError missing(const QString &what)
{
    SyncError error = SyncError::fromErrno(ENOENT, what);
    error.code = SyncError::unknownItem;
    return error;
}

SyncError failure(int error, const QString &what)
{
    if (error == ENOENT)
        return missing(what);
    return SyncError::fromErrno(error, what);
}

} // namespace

FolderTransport::FolderTransport(const QString &root, MountPoints mountPoints)
    : m_root(QDir::cleanPath(root)), m_mountPoints(std::move(mountPoints))
{
}

QString FolderTransport::absolute(const QString &path) const
{
    return path.isEmpty() ? m_root : m_root + QLatin1Char('/') + path;
}

SyncResult<QList<SyncRemoteEntry>> FolderTransport::list(const QString &folder)
{
    using Result = SyncResult<QList<SyncRemoteEntry>>;
    const QString path = absolute(folder);
    std::unique_ptr<DIR, DirectoryCloser> dir(::opendir(encoded(path).constData()));
    if (!dir) {
        const int error = errno;
        // A file where the folder should be is as good as no folder.
        return Unexpected(failure(error == ENOTDIR ? ENOENT : error,
                                  QStringLiteral("No se pudo leer la carpeta %1.").arg(path)));
    }
    QList<SyncRemoteEntry> entries;
    const qint64 now = std::time(nullptr);
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QStringLiteral(".") || name == QStringLiteral(".."))
            continue;
        struct stat info;
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // Temporary files of a write that a crash interrupted are cleared after a day.
        if (name.startsWith(temporaryPrefix)) {
            if (S_ISREG(info.st_mode) && now - info.st_mtim.tv_sec > 24 * 3600)
                ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
            continue;
        }
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            continue;
        entries << SyncRemoteEntry{name, tagOf(info), S_ISDIR(info.st_mode)};
    }
    return Result(entries);
}

SyncResult<SyncRemoteFile> FolderTransport::read(const QString &path)
{
    using Result = SyncResult<SyncRemoteFile>;
    const QString file = absolute(path);
    FileHandle handle(::open(encoded(file).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (handle.get() < 0)
        return Unexpected(failure(errno, QStringLiteral("No se pudo leer %1.").arg(file)));
    struct stat info;
    if (::fstat(handle.get(), &info) != 0)
        return Unexpected(failure(errno, QStringLiteral("No se pudo leer %1.").arg(file)));
    if (!S_ISREG(info.st_mode))
        return Unexpected(missing(QStringLiteral("%1 no es un archivo.").arg(file)));
    const auto tooLarge = [&] {
        return Unexpected(SyncError::make(SyncError::limitExceeded,
                                          QStringLiteral("%1 pasa de %2 MB y no se lee.")
                                              .arg(file)
                                              .arg(maxFileSize / (1024 * 1024))));
    };
    if (info.st_size > maxFileSize)
        return tooLarge();
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(handle.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Unexpected(failure(errno, QStringLiteral("No se pudo leer %1.").arg(file)));
        }
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (data.size() + n > maxFileSize)
            return tooLarge();
        data.append(buffer, n);
    }
    return Result(SyncRemoteFile{data, tagOf(info)});
}

SyncResult<QString> FolderTransport::write(const QString &path, const QByteArray &data,
                                           const SyncWriteCondition &condition)
{
    using Result = SyncResult<QString>;
    const QString file = absolute(path);
    const QString what = QStringLiteral("No se pudo escribir %1.").arg(file);

    const auto holds = [&]() -> SyncResult<void> {
        if (condition.kind == SyncWriteCondition::Kind::any)
            return {};
        struct stat info;
        const bool exists = ::stat(encoded(file).constData(), &info) == 0;
        if (!exists && errno != ENOENT)
            return Unexpected(failure(errno, what));
        const bool ok = condition.kind == SyncWriteCondition::Kind::absent
                            ? !exists
                            : exists && tagOf(info) == condition.tag;
        if (ok)
            return {};
        return Unexpected(
            SyncError::make(SyncError::serverRecordChanged,
                            QStringLiteral("%1 cambió mientras se escribía.").arg(file)));
    };
    if (const auto held = holds(); !held)
        return Unexpected(held.error());

    const int slash = file.lastIndexOf(QLatin1Char('/'));
    const QString temporary = file.left(slash + 1) + temporaryPrefix +
                              QString::number(QRandomGenerator::global()->generate64(), 36) +
                              QStringLiteral(".tmp");
    const QByteArray temporaryName = encoded(temporary);
    FileHandle handle(::open(temporaryName.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (handle.get() < 0)
        return Unexpected(failure(errno, what));
    const auto abandon = [&](int error) {
        handle.close();
        ::unlink(temporaryName.constData());
        return Unexpected(failure(error, what));
    };
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(handle.get(), data.constData() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon(errno);
        }
        written += n;
    }
    if (::fdatasync(handle.get()) != 0)
        return abandon(errno);
    struct stat info;
    if (::fstat(handle.get(), &info) != 0)
        return abandon(errno);
    if (handle.close() != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        return Unexpected(failure(error, what));
    }
    // Checked again just before the rename, which narrows the window in which another
    // computer's copy of the file could be overwritten unseen.
    if (const auto held = holds(); !held) {
        ::unlink(temporaryName.constData());
        return Unexpected(held.error());
    }
    if (::rename(temporaryName.constData(), encoded(file).constData()) != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        return Unexpected(failure(error, what));
    }
    // The folder itself is not flushed: a rename lost to a power cut shows up as a missing
    // file at the next pass, which is then simply written again.
    return Result(tagOf(info));
}

SyncResult<void> FolderTransport::makeFolder(const QString &path)
{
    const QString folder = absolute(path);
    if (::mkdir(encoded(folder).constData(), 0755) == 0 || errno == EEXIST) {
        struct stat info;
        if (::stat(encoded(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode))
            return {};
        return Unexpected(
            failure(ENOTDIR, QStringLiteral("No se pudo crear la carpeta %1.").arg(folder)));
    }
    return Unexpected(
        failure(errno, QStringLiteral("No se pudo crear la carpeta %1.").arg(folder)));
}

SyncResult<void> FolderTransport::remove(const QString &path)
{
    const QString file = absolute(path);
    if (::unlink(encoded(file).constData()) == 0 || errno == ENOENT)
        return {};
    return Unexpected(failure(errno, QStringLiteral("No se pudo borrar %1.").arg(file)));
}

Expected<void, SyncAccountProblem> FolderTransport::checkAccount()
{
    using Status = SyncMirroring::AccountStatus;
    const auto problem = [](Status status, const SyncError &error) {
        return Unexpected(SyncAccountProblem{status, error});
    };
    struct stat info;
    if (::stat(encoded(m_root).constData(), &info) != 0) {
        const int code = errno;
        SyncError error = SyncError::fromErrno(
            code, QStringLiteral("No se encuentra la carpeta %1.").arg(m_root));
        // A folder that is not there is a drive or a mount away, not a network.
        if (error.code == SyncError::networkUnavailable)
            error.code = SyncError::targetMissing;
        return problem(SyncError::codeForErrno(code) == SyncError::permissionFailure
                           ? Status::restricted
                           : Status::temporarilyUnavailable,
                       error);
    }
    if (!S_ISDIR(info.st_mode)) {
        return problem(
            Status::couldNotDetermine,
            SyncError::fromErrno(ENOTDIR, QStringLiteral("%1 no es una carpeta.").arg(m_root)));
    }
    if (::access(encoded(m_root).constData(), R_OK | W_OK | X_OK) != 0) {
        return problem(
            Status::restricted,
            SyncError::fromErrno(errno, QStringLiteral("No se puede escribir en %1.").arg(m_root)));
    }
    return {};
}

SyncResult<void> FolderTransport::checkNewCopyAllowed()
{
    if (!m_mountPoints.looksUnmounted(m_root))
        return {};
    return Unexpected(
        SyncError::make(SyncError::targetUnmounted,
                        QStringLiteral("%1 está vacía donde debería estar montado un "
                                       "disco: no se crea en ella la carpeta Orlette.")
                            .arg(m_root))
            .with(SyncErrorInfo::plain(QStringLiteral("folder"), m_root)));
}
