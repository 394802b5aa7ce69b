// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileInfoList>
#include <QSet>
#include <QString>

#include <optional>

// The system's package database (dpkg's), asked which package installed a file, as
// `dpkg -S` answers: a program that belongs to a package is updated by the package manager.
class PackageDatabase
{
public:
    static inline const QString dpkgInfoDirectory = QStringLiteral("/var/lib/dpkg/info");

    explicit PackageDatabase(QString infoDirectory = dpkgInfoDirectory);

    // The package whose file list names `path` (as given, or with its links resolved, since
    // a merged /usr makes /bin/x and /usr/bin/x the same file); none when no package does or
    // there is no database.
    std::optional<QString> ownerOf(const QString &path) const;

private:
    static std::optional<QString> ownerIn(const QFileInfoList &lists,
                                          const QSet<QByteArray> &wanted);

    QString m_infoDirectory;
};
