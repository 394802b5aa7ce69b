// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/MountPoints.h"

#include <QDir>
#include <QFile>

#include <optional>
#include <sys/stat.h>

namespace {

std::optional<dev_t> deviceOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info.st_dev;
}

bool isEmptyFolder(const QString &path)
{
    const QDir dir(path);
    return dir.exists() &&
           dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
               .isEmpty();
}

bool isInside(const QString &path, const QString &folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}

QString parentOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// fstab writes a blank in a path as \040, a tab as \011 and so on.
QString decodeFstabPath(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QDir::cleanPath(QFile::decodeName(out));
}

} // namespace

QStringList MountPoints::mountPointsOf(const QByteArray &fstab)
{
    QStringList points;
    for (const QByteArray &line : fstab.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        const QList<QByteArray> fields = trimmed.simplified().split(' ');
        if (fields.size() < 2 || !fields[1].startsWith('/'))
            continue;
        const QString point = decodeFstabPath(fields[1]);
        if (point != QStringLiteral("/"))
            points << point;
    }
    return points;
}

bool MountPoints::looksUnmounted(const QString &folder) const
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (!isEmptyFolder(path))
        return false;
    const std::optional<dev_t> device = deviceOf(path);
    if (!device)
        return false;

    // A mount point of the table that is this folder or holds it: unmounted when the
    // folder lies on the file system of the mount point's parent.
    QFile table(m_sources.fstab);
    if (table.open(QIODevice::ReadOnly)) {
        for (const QString &point : mountPointsOf(table.read(1024 * 1024))) {
            if (point != path && !isInside(path, point))
                continue;
            if (deviceOf(parentOf(point)) == device)
                return true;
        }
    }
    // Under a place for removable drives, a folder on the same file system as that place
    // is no drive.
    for (const QString &parent : m_sources.removableParents) {
        const QString place = QDir::cleanPath(parent);
        if (isInside(path, place) && deviceOf(place) == device)
            return true;
    }
    return false;
}
