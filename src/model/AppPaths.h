// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
} // namespace AppPaths
