// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GnomeCustomKeybinding.h"

#include <QProcess>

#include <utility>

namespace {

// gsettings answers at once; a hung one must not freeze the settings window for long.
constexpr int toolTimeoutMs = 5000;

} // namespace

GnomeCustomKeybinding::GnomeCustomKeybinding(QString path, QString program)
    : m_path(std::move(path)), m_program(std::move(program))
{
}

GnomeCustomKeybinding::Result GnomeCustomKeybinding::run(const QStringList &arguments) const
{
    QProcess process;
    process.start(m_program, arguments);
    if (!process.waitForStarted(toolTimeoutMs))
        return {false, {}, process.errorString()};
    if (!process.waitForFinished(toolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {false, {}, QStringLiteral("gsettings no respondió")};
    }
    const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    const QString error = QString::fromUtf8(process.readAllStandardError()).trimmed();
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return {ok, output, ok ? QString() : (error.isEmpty() ? process.errorString() : error)};
}

QString GnomeCustomKeybinding::entry() const
{
    return QString::fromLatin1(entrySchema) + QLatin1Char(':') + m_path;
}

std::optional<bool> GnomeCustomKeybinding::isListed() const
{
    const Result list =
        run({QStringLiteral("get"), QString::fromLatin1(schema), QString::fromLatin1(listKey)});
    if (!list.ok)
        return std::nullopt;
    const std::optional<QStringList> paths = parseStringArray(list.output);
    if (!paths)
        return std::nullopt;
    return paths->contains(m_path);
}

GnomeCustomKeybinding::State GnomeCustomKeybinding::state(const Binding &binding) const
{
    const std::optional<bool> listed = isListed();
    if (!listed)
        return State::unavailable;
    if (!*listed)
        return State::absent;
    const auto value = [this](const char *key) {
        const Result result = run({QStringLiteral("get"), entry(), QString::fromLatin1(key)});
        return result.ok ? parseString(result.output) : std::nullopt;
    };
    if (value("command") == binding.command && value("binding") == binding.accelerator)
        return State::present;
    return State::changed;
}

std::optional<QString> GnomeCustomKeybinding::add(const Binding &binding) const
{
    const Result list =
        run({QStringLiteral("get"), QString::fromLatin1(schema), QString::fromLatin1(listKey)});
    if (!list.ok)
        return list.error;
    std::optional<QStringList> paths = parseStringArray(list.output);
    if (!paths)
        return QStringLiteral("GNOME guarda sus atajos de una forma que Orlette no entiende");
    // The entry first, so that GNOME never lists an entry without its command.
    const std::pair<const char *, QString> values[] = {
        {"name", binding.name}, {"command", binding.command}, {"binding", binding.accelerator}};
    for (const auto &[key, value] : values) {
        const Result written =
            run({QStringLiteral("set"), entry(), QString::fromLatin1(key), formatString(value)});
        if (!written.ok)
            return written.error;
    }
    if (paths->contains(m_path))
        return std::nullopt;
    paths->append(m_path);
    const Result listed = run({QStringLiteral("set"), QString::fromLatin1(schema),
                               QString::fromLatin1(listKey), formatStringArray(*paths)});
    if (!listed.ok)
        return listed.error;
    return std::nullopt;
}

QString GnomeCustomKeybinding::formatString(const QString &string)
{
    QString escaped = string;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString GnomeCustomKeybinding::formatStringArray(const QStringList &strings)
{
    QStringList quoted;
    for (const QString &string : strings)
        quoted << formatString(string);
    return QLatin1Char('[') + quoted.join(QLatin1String(", ")) + QLatin1Char(']');
}

namespace {

// Reads one quoted string (single or double quotes) at `position`, moving past it.
std::optional<QString> readQuoted(const QString &text, qsizetype &position)
{
    if (position >= text.size())
        return std::nullopt;
    const QChar quote = text.at(position);
    if (quote != QLatin1Char('\'') && quote != QLatin1Char('"'))
        return std::nullopt;
    QString value;
    for (++position; position < text.size(); ++position) {
        const QChar c = text.at(position);
        if (c == QLatin1Char('\\')) {
            if (++position >= text.size())
                return std::nullopt;
            value += text.at(position);
        } else if (c == quote) {
            ++position;
            return value;
        } else {
            value += c;
        }
    }
    return std::nullopt;
}

void skipSpaces(const QString &text, qsizetype &position)
{
    while (position < text.size() && text.at(position).isSpace())
        ++position;
}

} // namespace

std::optional<QString> GnomeCustomKeybinding::parseString(const QString &text)
{
    qsizetype position = 0;
    const QString trimmed = text.trimmed();
    std::optional<QString> value = readQuoted(trimmed, position);
    if (!value || position != trimmed.size())
        return std::nullopt;
    return value;
}

std::optional<QStringList> GnomeCustomKeybinding::parseStringArray(const QString &text)
{
    QString trimmed = text.trimmed();
    // An empty array carries its type: "@as []".
    if (trimmed.startsWith(QLatin1String("@as")))
        trimmed = trimmed.mid(3).trimmed();
    qsizetype position = 0;
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    ++position;
    QStringList strings;
    skipSpaces(trimmed, position);
    if (position < trimmed.size() && trimmed.at(position) == QLatin1Char(']'))
        return position + 1 == trimmed.size() ? std::optional(strings) : std::nullopt;
    while (true) {
        skipSpaces(trimmed, position);
        const std::optional<QString> value = readQuoted(trimmed, position);
        if (!value)
            return std::nullopt;
        strings << *value;
        skipSpaces(trimmed, position);
        if (position >= trimmed.size())
            return std::nullopt;
        if (trimmed.at(position) == QLatin1Char(']'))
            return position + 1 == trimmed.size() ? std::optional(strings) : std::nullopt;
        if (trimmed.at(position) != QLatin1Char(','))
            return std::nullopt;
        ++position;
    }
}
