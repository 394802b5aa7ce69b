// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application: one instance per person and data folder, the delegate that owns
// everything, and the event loop. Its windows are "library" ("Biblioteca"), "welcome"
// ("Bienvenida") and "settings" ("Ajustes"), opened by the window request; the tray menu
// is the fourth scene.
class OrletteApp
{
public:
    static int run(int argc, char *argv[]);
};
