// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class ModelContext;
class UserDefaults;

// Finds notes that the sync brought in more than once, and carries out the cure: at the
// next start the store files go into a dated backup folder, so the sync downloads every
// note again into an empty store.
namespace StoreCheck {

struct Report
{
    int total = 0;
    // Identifiers held by two or more notes.
    int repeated = 0;
    // Notes beyond the first for each repeated identifier.
    int extraCopies = 0;

    // "1 copia de más", "N copias de más".
    QString extraCopiesText() const;
    friend bool operator==(const Report &, const Report &) = default;
};

// Counts the notes of `context` by identifier; a failed fetch gives a report of zeros.
Report run(ModelContext &context);

// What the reset works on; the defaults are those of the application.
struct ResetEnvironment
{
    // The folder holding "default.store".
    QString dataDirectory;
    // Local time of the reset, for the name of the backup folder.
    QDateTime now;
    // How long to wait for a previous instance of the application to let go of the store.
    std::chrono::milliseconds waitForOtherUsers{5000};
    // Renames a file; must fail rather than replace an existing file.
    std::function<bool(const QString &from, const QString &to)> moveFile;

    static ResetEnvironment current();
};

// "almacen-" followed by the stamp of `now` as yyyyMMdd-HHmmss.
QString backupFolderName(const QDateTime &now);

// Carries out a reset requested in the previous run. Must run before any container
// exists. Returns the backup folder when the store went into it, nothing otherwise; the
// request is cleared in every case, so a failure never repeats at the next start.
std::optional<QString> resetIfRequested();
std::optional<QString> resetIfRequested(UserDefaults &defaults,
                                        const ResetEnvironment &environment);

// Requests a reset for the next start, starts a new instance of the application and ends
// this one. `startNewInstance` and `quit` default to the real relaunch and quit.
void requestReset();
void requestReset(UserDefaults &defaults, const std::function<bool()> &startNewInstance,
                  const std::function<void()> &quit);
// Starts our own executable again, with the same arguments, as a separate process.
bool startNewInstance();

} // namespace StoreCheck
