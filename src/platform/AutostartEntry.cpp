// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The reverse-DNS name of the application, as desktop files are named.
constexpr QLatin1String applicationId("org.orlette.Orlette");

QString configHome()
{
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are invalid in the XDG rules and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Whether the last line of `key` in the [Desktop Entry] group has exactly `value`.
bool groupSays(const QByteArray &text, QByteArrayView key, QByteArrayView value)
{
    bool inGroup = false;
    bool says = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inGroup || equals < 0)
            continue;
        if (line.first(equals).trimmed() == key)
            says = line.sliced(equals + 1).trimmed() == value;
    }
    return says;
}

} // namespace

AutostartEntry::AutostartEntry()
    : AutostartEntry(defaultFilePath(), QCoreApplication::applicationFilePath())
{
}

AutostartEntry::AutostartEntry(QString filePath, QString executable)
    : m_filePath(std::move(filePath)), m_executable(std::move(executable))
{
}

QString AutostartEntry::defaultFilePath()
{
    return configHome() + QStringLiteral("/autostart/") + applicationId +
           QStringLiteral(".desktop");
}

QString AutostartEntry::execLine(const QString &executable)
{
    // Inside double quotes the Exec rules want ", `, $ and \ escaped with a backslash,
    // and a literal % doubled so it is not read as a field code.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : executable) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';

    // The value is then written as a key-file string, which has escapes of its own.
    QString value;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\':
            value += QStringLiteral("\\\\");
            break;
        case '\n':
            value += QStringLiteral("\\n");
            break;
        case '\t':
            value += QStringLiteral("\\t");
            break;
        case '\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

bool AutostartEntry::isEnabled() const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    return !groupSays(text, "Hidden", "true") &&
           !groupSays(text, "X-GNOME-Autostart-enabled", "false");
}

QString AutostartEntry::contents() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Orlette\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execLine(m_executable));
}

std::optional<QString> AutostartEntry::enable() const
{
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("no se puede crear la carpeta «%1»").arg(folder);

    // The entry appears whole or not at all, and an entry switched off by hand is
    // replaced by one that is on.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("no se puede escribir «%1» (%2)").arg(m_filePath, file.errorString());
    file.write(contents().toUtf8());
    if (!file.commit())
        return QStringLiteral("no se puede guardar «%1» (%2)").arg(m_filePath, file.errorString());
    return std::nullopt;
}

std::optional<QString> AutostartEntry::disable() const
{
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    QFile file(m_filePath);
    if (!file.remove())
        return QStringLiteral("no se puede borrar «%1» (%2)").arg(m_filePath, file.errorString());
    return std::nullopt;
}
