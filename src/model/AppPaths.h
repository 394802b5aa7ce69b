// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/PrivateFiles.h"

#include <QList>
#include <QString>

// The folders Orlette keeps its files in (XDG base directories).
namespace AppPaths {
// $XDG_DATA_HOME/Orlette, by default ~/.local/share/Orlette.
QString dataDirectory();
// dataDirectory()/default.store
QString storeFile();
// $XDG_CONFIG_HOME/Orlette, by default ~/.config/Orlette.
QString configDirectory();
// configDirectory()/Orlette.conf
QString settingsFile();
// Creates the data and settings folders owner-only and takes group and other access away
// from everything already in them (installs made before Orlette kept them private).
// What could not be narrowed is returned; nothing is ever refused for it.
QList<PrivateFiles::Problem> makeFoldersPrivate();
} // namespace AppPaths
