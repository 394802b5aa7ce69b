// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// Puts the program from a downloaded release archive in place of the running executable.
// The archive is a tar file (.tar.gz, .tar.xz or .tar) holding one regular file named
// `orlette`, at the top or inside one top-level folder. Every check happens before the
// installed program is touched, and a refusal leaves it exactly as it was; the one that
// is replaced stays beside the new one as `<name>.previous`.
class UpdateInstaller
{
public:
    struct Result
    {
        bool installed = false;
        // Why it was not installed, in words for the person.
        QString error;

        explicit operator bool() const { return installed; }
    };

    // Runs a program with `--version` and returns what it printed, or nothing when it
    // could not run, failed or took too long.
    using VersionProbe = std::function<std::optional<QString>(const QString &program)>;

    struct Options
    {
        // Asks the unpacked program its version; runs it for real when empty.
        VersionProbe probe;
        std::chrono::milliseconds probeTimeout = std::chrono::seconds(10);
        // For listing and unpacking, so quitting never waits long on a broken archive.
        std::chrono::milliseconds tarTimeout = std::chrono::seconds(30);
        // The unpacked program may not be larger than this.
        qint64 maximumProgramSize = 512LL * 1024 * 1024;
    };

    UpdateInstaller();
    explicit UpdateInstaller(Options options);

    Result install(const QString &archive, const QString &expectedVersion,
                   const QString &targetExecutable) const;

    // Whether this user may put a new program in the folder of `targetExecutable`; not when
    // a package manager installed it.
    static bool canReplace(const QString &targetExecutable);
    // The text used when `canReplace` says no.
    static QString packageManagerMessage(const QString &version);

    static std::optional<QString> runVersionProbe(const QString &program,
                                                  std::chrono::milliseconds timeout);

private:
    Options m_options;
};
