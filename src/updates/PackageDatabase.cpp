// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/PackageDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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

    const QDir info(m_infoDirectory);
    const QFileInfoList lists =
        info.entryInfoList({QStringLiteral("*.list")}, QDir::Files, QDir::Name);
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
