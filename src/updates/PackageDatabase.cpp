// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/PackageDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>

PackageDatabase::PackageDatabase(QString infoDirectory) : m_infoDirectory(std::move(infoDirectory))
{
}

std::optional<QString> PackageDatabase::ownerOf(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    QSet<QByteArray> wanted{QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()))};
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (!resolved.isEmpty())
        wanted.insert(QFile::encodeName(resolved));

    // Every start asks, so the lists likely to hold the program are read first: the ones
    // named after it. The rest (over a thousand files) are read only for a program that
    // sits where packages install, never for one built or unpacked in a home folder.
    const QDir info(m_infoDirectory);
    const QString name = QFileInfo(path).fileName();
    const QFileInfoList likely =
        info.entryInfoList({name + QStringLiteral(".list"), name + QStringLiteral(":*.list")},
                           QDir::Files, QDir::Name);
    if (auto owner = ownerIn(likely, wanted))
        return owner;
    static const QStringList systemPrefixes = {QStringLiteral("/usr/"), QStringLiteral("/opt/"),
                                               QStringLiteral("/bin/"), QStringLiteral("/sbin/")};
    const bool underSystemFolder =
        std::any_of(wanted.cbegin(), wanted.cend(), [](const QByteArray &candidate) {
            const QString file = QFile::decodeName(candidate);
            return std::any_of(systemPrefixes.cbegin(), systemPrefixes.cend(),
                               [&file](const QString &prefix) { return file.startsWith(prefix); });
        });
    if (!underSystemFolder)
        return std::nullopt;
    return ownerIn(info.entryInfoList({QStringLiteral("*.list")}, QDir::Files, QDir::Name), wanted);
}

std::optional<QString> PackageDatabase::ownerIn(const QFileInfoList &lists,
                                                const QSet<QByteArray> &wanted)
{
    for (const QFileInfo &list : lists) {
        QFile file(list.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            QByteArray line = file.readLine();
            if (line.endsWith('\n'))
                line.chop(1);
            if (!wanted.contains(line))
                continue;
            // "name.list", or "name:arch.list" for packages of more than one architecture.
            const QString package = list.completeBaseName();
            return package.left(package.indexOf(u':') < 0 ? package.size() : package.indexOf(u':'));
        }
    }
    return std::nullopt;
}
