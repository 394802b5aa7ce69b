// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Tells an empty folder where a drive should be mounted but is not: a sync folder there
// lies on the computer's own disk, and anything made in it would be hidden again, apart
// from the notes of the other computers, as soon as the drive comes back.
class MountPoints
{
public:
    struct Sources
    {
        // The table of file systems the computer mounts.
        QString fstab = QStringLiteral("/etc/fstab");
        // Where desktops mount removable and network drives.
        QStringList removableParents{QStringLiteral("/media"), QStringLiteral("/run/media"),
                                     QStringLiteral("/mnt")};
    };

    MountPoints() = default;
    explicit MountPoints(Sources sources) : m_sources(std::move(sources)) {}

    // `folder` is an empty folder, and a mount point of the table or a folder under a
    // place for removable drives, on the same file system as the folder that holds that
    // mount point: nothing is mounted there.
    bool looksUnmounted(const QString &folder) const;

    // The mount points of an fstab text (escaped blanks decoded), without "/" and swap.
    static QStringList mountPointsOf(const QByteArray &fstab);

private:
    Sources m_sources;
};
