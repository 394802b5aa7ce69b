// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/AppPaths.h"

#include <QDir>

namespace AppPaths {

namespace {

QString baseDirectory(const char *variable, const char *fallback)
{
    const QString value = qEnvironmentVariable(variable);
    // Relative values are invalid in the XDG rules and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

} // namespace

QString dataDirectory()
{
    return baseDirectory("XDG_DATA_HOME", ".local/share") + QStringLiteral("/Orlette");
}

QString storeFile()
{
    return dataDirectory() + QStringLiteral("/default.store");
}

QString configDirectory()
{
    return baseDirectory("XDG_CONFIG_HOME", ".config") + QStringLiteral("/Orlette");
}

QString settingsFile()
{
    return configDirectory() + QStringLiteral("/Orlette.conf");
}

QList<PrivateFiles::Problem> makeFoldersPrivate()
{
    QList<PrivateFiles::Problem> problems;
    for (const QString &folder : {dataDirectory(), configDirectory()}) {
        if (!PrivateFiles::makeFolder(folder))
            problems << PrivateFiles::Problem{folder, QStringLiteral("no se pudo crear")};
        problems << PrivateFiles::restrictTree(folder);
    }
    return problems;
}

} // namespace AppPaths
