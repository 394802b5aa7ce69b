// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The XDG autostart entry that starts the application when the user logs in:
// $XDG_CONFIG_HOME/autostart/<application id>.desktop.
class AutostartEntry
{
public:
    // The entry of the running executable in the user's configuration folder.
    AutostartEntry();
    // An entry at `filePath` that starts `executable`.
    AutostartEntry(QString filePath, QString executable);

    static QString defaultFilePath();
    // The Exec value that runs `executable` with no arguments: the path in double quotes
    // with the characters the Desktop Entry rules reserve escaped.
    static QString execLine(const QString &executable);

    QString filePath() const { return m_filePath; }
    QString executable() const { return m_executable; }

    // The entry exists and neither hides itself nor is switched off for GNOME.
    bool isEnabled() const;
    // Each returns the reason of a failure, in words for the user, or none on success.
    std::optional<QString> enable() const;
    std::optional<QString> disable() const;

private:
    QString contents() const;

    QString m_filePath;
    QString m_executable;
};
