// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A custom keyboard shortcut of GNOME (the media-keys plugin of gnome-settings-daemon runs
// its command), kept under a path of this application's own so that adding it again
// changes it in place and another program's shortcuts are left as they were. GNOME on
// Wayland lets no application grab a key, so this is how a quick note is had from any
// application there; it is added only when the person asks for it.
//
// Read and written with the `gsettings` tool, which uses whatever settings back-end the
// session has (dconf, or the key file named by GSETTINGS_BACKEND=keyfile). Main thread;
// each call waits for the tool.
class GnomeCustomKeybinding
{
public:
    struct Binding
    {
        QString name;
        QString command;
        // In GTK's notation, e.g. "<Super><Alt>n".
        QString accelerator;
    };

    enum class State
    {
        // No GNOME settings here (no gsettings tool or no media-keys schema).
        unavailable,
        absent,
        // Ours, with this binding's command and accelerator.
        present,
        // Ours, but changed since (by the person, in GNOME's settings).
        changed,
    };

    static constexpr const char *schema = "org.gnome.settings-daemon.plugins.media-keys";
    static constexpr const char *entrySchema =
        "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
    static constexpr const char *listKey = "custom-keybindings";

    // `path` names this application's entry, e.g.
    // "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orlette/".
    explicit GnomeCustomKeybinding(QString path, QString program = QStringLiteral("gsettings"));

    State state(const Binding &binding) const;
    // Whether GNOME lists this entry, present or changed: one run of the tool, where state()
    // takes three. None when the tool cannot tell.
    std::optional<bool> isListed() const;
    // Adds (or rewrites) the entry and lists it. The error's text when the tool fails.
    std::optional<QString> add(const Binding &binding) const;

    // GVariant text of a string array and back (only what gsettings prints for "as").
    static QString formatStringArray(const QStringList &strings);
    static std::optional<QStringList> parseStringArray(const QString &text);
    static QString formatString(const QString &string);
    static std::optional<QString> parseString(const QString &text);

private:
    struct Result
    {
        bool ok = false;
        QString output;
        QString error;
    };
    Result run(const QStringList &arguments) const;
    QString entry() const;

    QString m_path;
    QString m_program;
};
