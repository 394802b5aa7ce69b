// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/PrivateFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFiles {

namespace {

constexpr mode_t groupAndOther = S_IRWXG | S_IRWXO;

QString reasonFor(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<Problem> narrow(const QString &path, const struct stat &status)
{
    if ((status.st_mode & groupAndOther) == 0)
        return std::nullopt;
    const QByteArray native = QFile::encodeName(path);
    if (::chmod(native.constData(), status.st_mode & 07700 & ~groupAndOther) != 0)
        return Problem{path, reasonFor(errno)};
    return std::nullopt;
}

} // namespace

bool makeFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent != clean && !makeFolder(parent))
        return false;
    const QByteArray native = QFile::encodeName(clean);
    if (::mkdir(native.constData(), S_IRWXU) != 0)
        return errno == EEXIST && QFileInfo(clean).isDir();
    // An unusual umask (0200, say) could leave even the owner without a permission.
    ::chmod(native.constData(), S_IRWXU);
    return true;
}

bool makeFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd =
        ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return errno == EEXIST;
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    return true;
}

std::optional<Problem> restrict(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? std::nullopt : std::optional(Problem{path, reasonFor(errno)});
    return narrow(path, status);
}

QList<Problem> restrictTree(const QString &folder)
{
    QList<Problem> problems;
    struct stat status = {};
    if (::lstat(QFile::encodeName(folder).constData(), &status) != 0) {
        if (errno != ENOENT)
            problems << Problem{folder, reasonFor(errno)};
        return problems;
    }
    if (S_ISLNK(status.st_mode))
        return problems;
    if (auto problem = narrow(folder, status))
        problems << *problem;
    if (!S_ISDIR(status.st_mode))
        return problems;
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext())
        problems << restrictTree(entries.next());
    return problems;
}

void restrict(QFileDevice &file)
{
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace PrivateFiles
