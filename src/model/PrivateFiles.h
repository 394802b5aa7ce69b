// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

class QFileDevice;

// Keeps Orlette's own folders readable by their owner only (folders 0700, files 0600),
// whatever the umask, so that on a shared computer no other account reads the notes.
// Modes are only ever narrowed: a file the owner made read-only stays read-only.
namespace PrivateFiles {

// A file or folder that could not be made private, and why.
struct Problem
{
    QString path;
    QString reason;
};

// Creates `path` and its missing parents with mode 0700. Folders that already exist are
// left as they are (they may not be ours). True when the folder exists afterwards.
bool makeFolder(const QString &path);

// Creates an empty file with mode 0600 unless it exists; true when it exists afterwards.
// SQLite gives the -wal and -shm files the mode of the main file, so a store created
// through this keeps all three private.
bool makeFile(const QString &path);

// Takes group and other permissions away from a file or folder (symbolic links are
// followed). An absent path needs nothing and is no problem.
std::optional<Problem> restrict(const QString &path);

// `restrict` for a folder and everything inside it; symbolic links are neither followed
// nor changed, since what they point to is not ours to change.
QList<Problem> restrictTree(const QString &folder);

// For a file being written (a QSaveFile before its commit): owner read and write only.
void restrict(QFileDevice &file);

} // namespace PrivateFiles
